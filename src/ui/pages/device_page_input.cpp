// What every family's page does with the user's input on its keys, function tabs and key
// assignment panel; the changes themselves are the model's operations.
#include <QScreen>
#include <QWidget>

#include "device/device_tables.h"
#include "device/models/default_data.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/profile_list_store.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/device_page.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/page_services.h"

namespace morva::ui {

namespace {

constexpr int kLightFunctionType = 1;
constexpr int kKeyFunctionType = 2;
const QString kProfileFilter = QStringLiteral("Profile Files(*.json)");
const QString kProfilePattern = QStringLiteral("*.json;");

}  // namespace

void CDevicePageUI::SyncScreen() {
    if (services_ != nullptr) {
        const QSize screen = services_->ScreenPixels();
        model_->SetScreenPixels(screen.width(), screen.height());
    }
}

void CDevicePageUI::OnKeyClicked(int key) {
    // Only the key page assigns keys; on the lighting page a click colours the key where
    // the mode keeps colours per key.
    if (model_->GetFunctionType() != kKeyFunctionType) {
        if (model_->GetFunctionType() == kLightFunctionType && lightPanel_ != nullptr) {
            const OpResult result = model_->SetCustomKeyColour(key, lightPanel_->GetCustomMode());
            // Modes without per-key colours just ignore the click.
            if (services_ != nullptr && result.code != kResultRefused)
                services_->Report(result);
        }
        return;
    }
    if (const OpResult allowed = model_->CanAssignKey(key); !allowed.Ok()) {
        if (services_ != nullptr)
            services_->Report(allowed);
        return;
    }
    SelectKey(key);
}

void CDevicePageUI::OnFunctionTab(int type) {
    SetFunctionType(type);
    if (profilePanel_ != nullptr)
        profilePanel_->SelectOperationPage(type);
}

void CDevicePageUI::SelectKey(int n) {
    model_->SelectKey(n);
    MarkSelectedKey(n);
    if (keySetPanel_ == nullptr)
        return;
    // The macro list may have changed since the page was built.
    model_->LoadDefaultData();
    if (const CDeviceDefaultData* presets = model_->PresetData()) {
        QStringList macros;
        for (const std::string& name : presets->macroNames)
            macros << QString::fromStdString(name);
        keySetPanel_->FillMacroList(macros);
    }
    keySetPanel_->SetVisible(true);
    const std::vector<KeyListEntry> keys = model_->KeyList();
    if (n >= 0 && static_cast<std::size_t>(n) < keys.size())
        keySetPanel_->SetKeyEntryParts(keys[static_cast<std::size_t>(n)], model_->EditsFnLayer());
}

void CDevicePageUI::MarkSelectedKey(int n) {
    for (std::size_t i = 0; i < keyButtons_.size(); ++i) {
        if (keyButtons_[i] != nullptr)
            keyButtons_[i]->SetKeySelected(static_cast<int>(i) == n ? 1 : 0);
    }
}

void CDevicePageUI::ApplyKeyAssignment(bool cancel) {
    if (keySetPanel_ == nullptr)
        return;
    const int key = model_->SelectedKey();
    if (key < 0)
        return;
    // Cancel puts back what the key had when it was chosen, on the device too.
    const KeyListEntry entry = cancel ? keySetPanel_->RestoreChosenEntry()
                                      : keySetPanel_->ReadKeyEntry(model_->EditsFnLayer());
    SyncScreen();
    const OpResult result = model_->AssignKey(key, entry, CTessaronUSBDevice::KeySend::KeyTable);
    if (services_ == nullptr)
        return;
    services_->Report(result);
    services_->SetEditingState(0, cancel ? 1 : 0);
}

void CDevicePageUI::OnKeyCategoryChosen() {
    if (keySetPanel_ == nullptr)
        return;
    const int category = keySetPanel_->CurrentCategory();
    keySetPanel_->ShowCategory(category);
    if (category == kCategoryKeyboard) {
        keySetPanel_->SetKeyboardText(QString());
        keySetPanel_->SetComboModifier(-1);
    }
    ApplyKeyAssignment();
}

void CDevicePageUI::OnKeyMacroRepeatChosen() {
    if (keySetPanel_ == nullptr)
        return;
    keySetPanel_->UpdateMacroCycleRow();
    ApplyKeyAssignment();
}

void CDevicePageUI::OnKeyModifierChosen(int n, bool selected) {
    if (keySetPanel_ == nullptr || !selected)
        return;
    keySetPanel_->SetComboModifier(n);
    ApplyKeyAssignment();
}

void CDevicePageUI::OnKeyDefault() {
    if (keySetPanel_ == nullptr)
        return;
    keySetPanel_->ShowDefault();
    if (services_ != nullptr)
        services_->SetEditingState(0, 0);
}

void CDevicePageUI::OnKeySaveToDevice() {
    if (keySetPanel_ == nullptr || services_ == nullptr)
        return;
    const OpResult result = model_->SaveKeysToDevice();
    services_->Report(result);
    if (result.messageKey == kMsgMacrosTooLarge) {
        // The macros do not fit: the change is given up.
        keySetPanel_->ShowDefault();
        ApplyKeyAssignment();
        return;
    }
    if (result.Ok())
        services_->ShowNote(QStringLiteral("op_saved_to_device"));
    services_->SetEditingState(0, 1);
}

// ---- Profile panel ----

namespace {

// The device takes the panel's current profile, as after a switch.
void Follow(CTessaronUSBDevice& model, CDeviceProfileUI& panel, IPageServices& services) {
    model.SetProfileName(panel.GetCurrentProfileId());
    services.Report(model.ApplyProfile());
}

void ReportFileResult(int result, IPageServices& services) {
    if (result < 0)
        services.ShowMessage(QString::fromLatin1(kMsgProfileNotSaved), 0,
                             QString::fromStdString(TakeLastWriteError()));
}

}  // namespace

// Adding and deleting move the list's selection: the device follows it, or it would go on
// with (and save into) a profile the list no longer marks, or no longer has.
void CDevicePageUI::OnProfileAdd() {
    if (profilePanel_ == nullptr || services_ == nullptr ||
        profilePanel_->GetProfileCount() >= CProfileListStore::kMaxAddedProfiles)
        return;
    SyncScreen();
    if (profilePanel_->AddProfile() < 0)
        ReportFileResult(-1, *services_);
    else
        Follow(*model_, *profilePanel_, *services_);
}

void CDevicePageUI::OnProfileDelete() {
    if (profilePanel_ == nullptr || services_ == nullptr || profilePanel_->GetSelectedIndex() < 0 ||
        profilePanel_->GetProfileCount() <= 1)
        return;
    if (!services_->Confirm(QStringLiteral("message_delete_profile")))
        return;
    SyncScreen();
    if (profilePanel_->DeleteProfile() < 0)
        ReportFileResult(-1, *services_);
    else
        Follow(*model_, *profilePanel_, *services_);
}

void CDevicePageUI::OnProfileCopy() {
    if (profilePanel_ != nullptr && services_ != nullptr && profilePanel_->GetSelectedIndex() >= 0)
        ReportFileResult(profilePanel_->CopyProfile(), *services_);
}

void CDevicePageUI::OnProfileImport() {
    if (profilePanel_ == nullptr || services_ == nullptr || profilePanel_->GetSelectedIndex() < 0)
        return;
    const QString path = services_->OpenFile(kProfileFilter, kProfilePattern);
    if (path.isEmpty())
        return;
    const Json::Value doc = ReadJsonFile(path.toStdString());
    if (!json::Has(doc, "profilename") || !json::Has(doc, "profileUUID")) {
        services_->ShowMessage(QStringLiteral("profile_import_error"));
        return;
    }
    if (profilePanel_->ImportProfile(path.toStdString()) < 0)
        ReportFileResult(-1, *services_);
    else
        services_->ShowNote(QStringLiteral("op_import_done"));
}

void CDevicePageUI::OnProfileExport() {
    if (profilePanel_ == nullptr || services_ == nullptr || profilePanel_->GetSelectedIndex() < 0)
        return;
    const QString path = services_->SaveFile(kProfileFilter, kProfilePattern);
    if (path.isEmpty())
        return;
    if (profilePanel_->ExportProfile(path.toStdString()) < 0)
        ReportFileResult(-1, *services_);
    else
        services_->ShowNote(QStringLiteral("op_export_done"));
}

void CDevicePageUI::OnProfileRename() {
    if (profilePanel_ == nullptr || services_ == nullptr)
        return;
    const QString name = profilePanel_->GetNameEditText();
    if (name.isEmpty())
        return;
    switch (profilePanel_->RenameProfile(name)) {
        case 0:
            services_->ShowMessage(QStringLiteral("message_text_5"));
            break;
        case 2:
            services_->ShowMessage(QStringLiteral("message_text_25"));
            break;
        case 1:
            break;
        default:
            ReportFileResult(-1, *services_);
            break;
    }
}

void CDevicePageUI::OnProfileReset() {
    if (services_ == nullptr || !services_->Confirm(QStringLiteral("message_text_22")))
        return;
    // The box waited for the user; the panel is looked at only now.
    if (profilePanel_ == nullptr)
        return;
    if (profilePanel_->ResetProfile() < 0) {
        ReportFileResult(-1, *services_);
        return;
    }
    SyncScreen();
    const OpResult result = model_->ApplyProfile(true);
    services_->ResetMusicStyles();
    if (CControlUI* keys = FindOnPage(QStringLiteral("keyset_layout")))
        keys->SetVisible(false);
    services_->Report(result);
    // The key assignment panel shows what was restored: nothing is left unsaved.
    services_->SetEditingState(0, 1);
}

void CDevicePageUI::OnProfileMenuToggle() {
    if (profilePanel_ != nullptr)
        profilePanel_->ShowProfileMenu(!profilePanel_->IsProfileMenuShown());
}

void CDevicePageUI::OnProfilePrograms() {
    CProfileListStore* store = profilePanel_ != nullptr ? profilePanel_->Store() : nullptr;
    const int selected = store != nullptr ? store->GetSelectedIndex() : -1;
    if (services_ == nullptr || selected < 0)
        return;
    const ProfileEntry entry = store->Entries()[static_cast<std::size_t>(selected)];
    services_->EditProgramBindings(store->UserDataFolder(), entry.id,
                                   QString::fromStdString(entry.name));
}

void CDevicePageUI::OnProfileSwitch() {
    if (profilePanel_ == nullptr || services_ == nullptr || profilePanel_->GetSelectedIndex() < 0)
        return;
    if (profilePanel_->SelectProfile(profilePanel_->GetSelectedIndex(), false) < 0) {
        ReportFileResult(-1, *services_);
        return;
    }
    SyncScreen();
    Follow(*model_, *profilePanel_, *services_);
}

std::optional<OpResult> CDevicePageUI::FollowProgram(const std::string& id) {
    if (profilePanel_ == nullptr)
        return std::nullopt;
    const std::string before = profilePanel_->GetCurrentProfileId();
    if (profilePanel_->SelectForProgram(id) < 0 || profilePanel_->GetCurrentProfileId() == before)
        return std::nullopt;
    SyncScreen();
    model_->SetProfileName(profilePanel_->GetCurrentProfileId());
    // A device not connected only takes the profile's name: it reads it when it comes.
    if (!model_->CommandChannel().IsOpen())
        return OpResult::Done();
    return model_->ApplyProfile();
}

}  // namespace morva::ui
