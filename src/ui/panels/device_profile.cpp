#include "ui/panels/device_profile.h"

#include <QSize>

#include <array>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {
namespace {

constexpr char kCombo[] = "device_profile_combo";
constexpr char kNameEdit[] = "device_profile_name_edit";
constexpr char kMenu[] = "profile_menu_layout";
// The menu row adds its own height and the gap above it when it opens.
constexpr int kMenuRowHeight = 40;

constexpr std::array<const char*, CDeviceProfileUI::kOperationPages> kTabs = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"};

struct TabRule {
    int deviceType;
    std::initializer_list<const char*> hidden;
    std::initializer_list<const char*> shown;
};

const TabRule kTabRules[] = {
    {1, {"cursor_Op_tab"}, {}},
    {3, {"cursor_Op_tab", "macro_Op_tab", "system_Op_tab", "key_Op_tab"}, {}},
    {4, {"cursor_Op_tab", "macro_Op_tab", "key_Op_tab"}, {}},
    {5, {"cursor_Op_tab", "macro_Op_tab", "system_Op_tab", "key_Op_tab"}, {}},
    {7,
     {"cursor_Op_tab", "macro_Op_tab", "system_Op_tab", "key_Op_tab"},
     {"6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab"}},
};

}  // namespace

CDeviceProfileUI::CDeviceProfileUI() = default;
CDeviceProfileUI::~CDeviceProfileUI() = default;

template <typename T>
T* CDeviceProfileUI::Sub(const char* name) const {
    return dynamic_cast<T*>(CPaintManagerUI::FindSubControlByName(this, QLatin1String(name)));
}

CComboUI* CDeviceProfileUI::Combo() const {
    return Sub<CComboUI>(kCombo);
}

COptionUI* CDeviceProfileUI::OperationTab(int page) const {
    return page >= 1 && page <= kOperationPages
               ? Sub<COptionUI>(kTabs[static_cast<std::size_t>(page - 1)])
               : nullptr;
}

void CDeviceProfileUI::SetFolders(const std::string& userDataFolder,
                                  const std::string& defaultProfilePath) {
    userDataFolder_ = userDataFolder;
    defaultProfilePath_ = defaultProfilePath;
    store_ = std::make_unique<CProfileListStore>(deviceType_, userDataFolder_, defaultProfilePath_,
                                                 writer_);
}

int CDeviceProfileUI::InitProfileList() {
    if (!store_)
        return -1;
    const int result = store_->InitProfileList();
    if (Combo() == nullptr)
        return result;
    ShowStore();
    ApplyTabVisibility();
    return result;
}

void CDeviceProfileUI::ShowStore() {
    CComboUI* combo = Combo();
    if (combo == nullptr || !store_)
        return;
    combo->RemoveAll();
    const QSize itemSize(0, CPaintManagerUI::Scale(kItemHeight));
    for (const ProfileEntry& entry : store_->Entries()) {
        const QString name = QString::fromStdString(entry.name);
        const int at = combo->AddItem(name);
        combo->setItemData(at, name, Qt::ToolTipRole);
        combo->setItemData(at, itemSize, Qt::SizeHintRole);
    }
    const int selected = store_->GetSelectedIndex();
    combo->SelectItem(selected, false, false);
    if (selected >= 0)
        SetNameEditText(
            QString::fromStdString(store_->Entries()[static_cast<std::size_t>(selected)].name));
}

void CDeviceProfileUI::ApplyTabVisibility() {
    for (const TabRule& rule : kTabRules) {
        if (rule.deviceType != deviceType_)
            continue;
        for (const char* name : rule.hidden) {
            if (auto* tab = Sub<CControlUI>(name))
                tab->SetVisible(false);
        }
        for (const char* name : rule.shown) {
            if (auto* tab = Sub<CControlUI>(name))
                tab->SetVisible(true);
        }
    }
}

int CDeviceProfileUI::GetSelectedIndex() const {
    const CComboUI* combo = Combo();
    return combo ? combo->GetCurSel() : -1;
}

std::string CDeviceProfileUI::GetCurrentProfileId() const {
    return store_ ? store_->GetCurrentProfileId() : std::string();
}

std::string CDeviceProfileUI::GetCurrentProfilePath() const {
    return store_ ? store_->GetCurrentProfilePath() : std::string();
}

QString CDeviceProfileUI::GetNameEditText() const {
    const CEditUI* edit = Sub<CEditUI>(kNameEdit);
    return edit ? edit->GetText() : QString();
}

void CDeviceProfileUI::SetNameEditText(const QString& text) {
    if (CEditUI* edit = Sub<CEditUI>(kNameEdit))
        edit->SetText(text);
}

void CDeviceProfileUI::ShowProfileMenu(bool show) {
    CControlUI* menu = Sub<CControlUI>(kMenu);
    if (menu == nullptr || menu->IsVisible() == show)
        return;
    menu->SetVisible(show);
    // The page gives the panel a fixed height: it grows by the row it opens.
    if (GetFixedHeight() > 0)
        SetFixedHeight(GetFixedHeight() + (show ? kMenuRowHeight : -kMenuRowHeight));
}

bool CDeviceProfileUI::IsProfileMenuShown() const {
    const CControlUI* menu = Sub<CControlUI>(kMenu);
    return menu != nullptr && menu->IsVisible();
}

int CDeviceProfileUI::GetProfileCount() {
    return store_ ? store_->GetProfileCount() : 0;
}

std::string CDeviceProfileUI::GetProfilePathAt(int index) const {
    return store_ ? store_->GetProfilePathAt(index) : std::string();
}

int CDeviceProfileUI::SelectProfile(int index, bool notify) {
    CComboUI* combo = Combo();
    if (combo == nullptr || !store_)
        return -1;
    const int before = combo->GetCurSel();
    const int result = store_->SelectProfile(index);
    // On failure the combo goes back to what the file and the device still hold.
    ShowStore();
    if (result >= 0 && notify && result != before) {
        combo->SelectItem(before, false, false);
        combo->SelectItem(result, false, true);
    }
    return result;
}

int CDeviceProfileUI::SelectForProgram(const std::string& id) {
    if (!store_)
        return -1;
    const int result = store_->SelectForProgram(id);
    ShowStore();
    return result;
}

int CDeviceProfileUI::AddProfile() {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->AddProfile();
    ShowStore();
    return result;
}

int CDeviceProfileUI::CopyProfile() {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->CopyProfile();
    ShowStore();
    return result;
}

int CDeviceProfileUI::DeleteProfile() {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->DeleteProfile();
    ShowStore();
    return result;
}

int CDeviceProfileUI::RenameProfile(const QString& name) {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->RenameProfile(name.toStdString());
    ShowStore();
    return result;
}

int CDeviceProfileUI::ImportProfile(const std::string& path) {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->ImportProfile(path);
    ShowStore();
    return result;
}

int CDeviceProfileUI::ExportProfile(const std::string& path) {
    if (Combo() == nullptr || !store_)
        return -1;
    return store_->ExportProfile(path);
}

int CDeviceProfileUI::ResetProfile() {
    if (Combo() == nullptr || !store_)
        return -1;
    const int result = store_->ResetProfile();
    ShowStore();
    return result;
}

void CDeviceProfileUI::SelectOperationPage(int page) {
    std::array<COptionUI*, kOperationPages> tabs{};
    for (int p = 1; p <= kOperationPages; ++p) {
        tabs[static_cast<std::size_t>(p - 1)] = OperationTab(p);
        if (tabs[static_cast<std::size_t>(p - 1)] == nullptr)
            return;
    }
    const bool known = page >= 1 && page <= kOperationPages;
    for (int p = 1; p <= kOperationPages; ++p) {
        if (!known && p == kOperationPages)
            break;
        tabs[static_cast<std::size_t>(p - 1)]->Selected(p == page, false);
    }
}
}  // namespace morva::ui
