#include "ui/pages/device_page.h"

#include <QMetaObject>
#include <QThread>

#include "base/name_index.h"
#include "device/device_folders.h"
#include "device/models/default_data.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/device_option.h"
#include "ui/pages/power_panel.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/macro_control.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/window.h"

namespace morva::ui {
namespace {

bool OnUiThread(const QObject* object) {
    return QThread::currentThread() == object->thread();
}

constexpr std::uint32_t kWhite = 0x00FFFFFF;

// The first "SelectPanel" below `root`, nearer levels first: a page may hold its drawn device
// inside a row of its own.
CControlUI* FindSelectPanel(IContainerUI* root) {
    std::vector<IContainerUI*> level{root};
    while (!level.empty()) {
        std::vector<IContainerUI*> next;
        for (IContainerUI* container : level) {
            for (int i = 0; i < container->GetCount(); ++i) {
                CControlUI* child = container->GetItemAt(i);
                if (child == nullptr)
                    continue;
                if (child->GetClass() == QLatin1String("SelectPanel"))
                    return child;
                if (auto* inner = dynamic_cast<IContainerUI*>(child))
                    next.push_back(inner);
            }
        }
        level = std::move(next);
    }
    return nullptr;
}

}  // namespace

CDevicePageUI::CDevicePageUI(std::unique_ptr<CTessaronUSBDevice> model, QString className)
    : model_(std::move(model)), className_(std::move(className)) {
    model_->SetHost(this);
}

CDevicePageUI::~CDevicePageUI() {
    // The model's threads call back into this page: stop them while it is still whole.
    model_->StopThreads();
    model_->SetHost(nullptr);
}

void CDevicePageUI::SetPowerPanel(CMpDevicePowerUI* panel) {
    powerPanel_ = panel;
    if (panel != nullptr)
        panel->SetPowerLayoutVisible(model_->PowerPanelShown());
}

CControlUI* CDevicePageUI::FindOnPage(const QString& name) const {
    return CPaintManagerUI::FindSubControlByName(this, name);
}

void CDevicePageUI::InitPage() {
    selectPanel_ = nullptr;
    lightPanel_ = dynamic_cast<CLightControlUI*>(FindOnPage(QStringLiteral("LightControlItem")));
    keySetPanel_ = dynamic_cast<CKeySetControlUI*>(FindOnPage(QStringLiteral("KeySetControlItem")));
    profilePanel_ =
        dynamic_cast<CDeviceProfileUI*>(FindOnPage(QStringLiteral("DeviceProfileItem")));
    macroPanel_ = dynamic_cast<CMacroControlUI*>(FindOnPage(QStringLiteral("MacroControlItem")));
    if (model_->DeviceXmlPath().empty()) {
        model_->SetKeyCount(0);
        model_->SetLedCount(0);
        keyButtons_.clear();
        ledControls_.clear();
        return;
    }
    keyButtons_.assign(static_cast<std::size_t>(model_->KeyCount()), nullptr);
    ledControls_.assign(static_cast<std::size_t>(model_->LedCount()), nullptr);
    selectPanel_ = FindSelectPanel(this);
    auto* panel = dynamic_cast<IContainerUI*>(selectPanel_);
    if (panel == nullptr)
        return;
    for (int i = 0; i < panel->GetCount(); ++i) {
        auto* cell = dynamic_cast<CDeviceKeyButtonUI*>(panel->GetItemAt(i));
        if (cell == nullptr || cell->GetClass() != QLatin1String("DeviceKeyButton"))
            continue;
        const SplitName byName = SplitNameIndex(cell->GetName().toStdString());
        if (byName.hasIndex && EqualsNoCase(byName.prefix, "key_") && byName.index >= 0 &&
            byName.index < static_cast<int>(keyButtons_.size())) {
            keyButtons_[static_cast<std::size_t>(byName.index)] = cell;
        }
        const SplitName byData = SplitNameIndex(cell->GetUserData().toStdString());
        if (byData.hasIndex && EqualsNoCase(byData.prefix, "light_") && byData.index >= 0 &&
            byData.index < static_cast<int>(ledControls_.size())) {
            ledControls_[static_cast<std::size_t>(byData.index)] = cell;
            cell->SetKeyLight(kWhite, 255, true);
        }
    }
}

void CDevicePageUI::PresentLightFrame() {
    if (!model_->HostLighting())
        return;
    const std::vector<LedColour> frame = model_->Engine().Frame();
    const std::size_t count = std::min(frame.size(), ledControls_.size());
    for (std::size_t i = 0; i < count; ++i) {
        CDeviceKeyButtonUI* cell = ledControls_[i];
        if (cell != nullptr && cell->IsVisible())
            cell->SetKeyLight(frame[i].ButtonColour(), frame[i].alpha, true);
    }
    model_->PresentLightFrame();
}

void CDevicePageUI::SetFunctionType(int type) {
    model_->SetFunctionType(type);
    auto* functions = dynamic_cast<CTabLayoutUI*>(FindOnPage("device_function_switch"));
    auto* keyFunctions = dynamic_cast<CTabLayoutUI*>(FindOnPage("device_key_function_switch"));
    if (functions == nullptr || keyFunctions == nullptr)
        return;
    const FunctionPages pages = FunctionPagesFor(type, model_->DeviceType());
    if (pages.functionSwitch >= 0)
        functions->SelectItem(pages.functionSwitch);
    if (pages.keyFunctionSwitch >= 0)
        keyFunctions->SelectItem(pages.keyFunctionSwitch);
}

void CDevicePageUI::StartEntryTimer(int id, int ms) {
    // Always queued: reader threads never touch controls, and the UI thread gets the same
    // order of events whoever asked.
    QMetaObject::invokeMethod(
        this,
        [this, id, ms] {
            if (entry_ != nullptr)
                entry_->StartTimer(id, ms);
        },
        Qt::QueuedConnection);
}

void CDevicePageUI::SendOwnerMessage(int message, std::intptr_t wParam, std::intptr_t lParam) {
    if (owner_ == nullptr)
        return;
    // Off the UI thread the message is queued: a device thread that waited here could not be
    // stopped by a UI thread that waits for it.
    if (OnUiThread(this))
        owner_->SendMessage(message, wParam, lParam);
    else
        owner_->PostMessage(message, wParam, lParam);
}

void CDevicePageUI::ShowPowerStatus(std::span<const std::uint8_t> status) {
    if (powerPanel_ == nullptr)
        return;
    if (OnUiThread(this)) {
        powerPanel_->ShowPowerStatus(status.data(), static_cast<int>(status.size()));
        return;
    }
    std::vector<std::uint8_t> copy(status.begin(), status.end());
    QMetaObject::invokeMethod(
        this,
        [this, copy] {
            if (powerPanel_ != nullptr)
                powerPanel_->ShowPowerStatus(copy.data(), static_cast<int>(copy.size()));
        },
        Qt::QueuedConnection);
}

void CDevicePageUI::RefreshPage() {
    if (OnUiThread(this)) {
        ShowModel();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { ShowModel(); }, Qt::QueuedConnection);
}

void CDevicePageUI::SetUpPanels(int lightLevels) {
    CTessaronUSBDevice& model = *model_;
    model.LoadDefaultData();
    const CDeviceDefaultData* data = model.PresetData();
    if (keySetPanel_ != nullptr && data != nullptr) {
        keySetPanel_->SetPanelDeviceType(model.DeviceType());
        QStringList macros;
        for (const std::string& name : data->macroNames)
            macros << QString::fromStdString(name);
        keySetPanel_->FillMacroList(macros);
        keySetPanel_->SetVisible(false);
    }
    if (lightPanel_ != nullptr && data != nullptr) {
        lightPanel_->SetPanelKind(model.DeviceType());
        lightPanel_->FillModeList(data->lightModeNames, data->lightModeVisible, lightLevels,
                                  lightLevels);
    }
    if (profilePanel_ != nullptr) {
        profilePanel_->SetDeviceType(model.DeviceType());
        profilePanel_->SetFolders(model.GetUserDataFolder(), model.GetDefaultProfilePath());
        profilePanel_->InitProfileList();
        // The panel's choice wins over whatever the model would pick by itself.
        if (!profilePanel_->GetCurrentProfileId().empty())
            model.SetProfileName(profilePanel_->GetCurrentProfileId());
    }
    if (macroPanel_ != nullptr) {
        macroPanel_->Bind(&model, services_);
        macroPanel_->LoadMacroList(0);
    }
}

std::vector<std::string> CDevicePageUI::OtherProfilePaths() const {
    std::vector<std::string> paths;
    if (profilePanel_ == nullptr)
        return paths;
    const int current = profilePanel_->GetSelectedIndex();
    for (int i = 0; i < profilePanel_->GetProfileCount(); ++i) {
        if (i != current)
            paths.push_back(profilePanel_->GetProfilePathAt(i));
    }
    return paths;
}

}  // namespace morva::ui
