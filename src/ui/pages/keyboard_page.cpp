#include "ui/pages/keyboard_page.h"

#include <QMetaObject>

#include <algorithm>

#include "device/device_tables.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/power_panel.h"
#include "ui/pages/window_key_feed.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/page_services.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::ui {
namespace {

constexpr int kKeyFunctionType = 2;
constexpr int kMacroFunctionType = 3;
constexpr int kLightLevels = 4;
constexpr int kDebounceMsPerStep = 3;
// Layout units of one key pitch on the drawn keyboard.
constexpr int kKeyPitch = 30;

// Keys only some keyboards have; before a keyboard was read the page shows the common set.
constexpr std::array kLayoutExtras = {62, 79, 80, 81, 82, 83, 100, 101, 102, 103};

// A layout extra takes part of a neighbour's room: the neighbour shrinks by these key
// pitches (left, right) while the extra is shown.
struct SharedRoom {
    int extra;
    int neighbour;
    double left;
    double right;
};
constexpr SharedRoom kSharedRooms[] = {
    {101, 34, 1, 0},                   // yen: backspace
    {62, 75, 1, 0},                    // non-US hash: enter
    {102, 84, 0, 1},                   // non-US backslash: left shift
    {100, 95, 1, 0},                   // ro: right shift
    {80, 108, 1, 0}, {82, 108, 1, 0},  // the space bar gives room on both sides
    {81, 108, 0, 1}, {79, 108, 0, 1}, {83, 108, 0, 1},
};

bool IsLayoutExtra(int key) {
    return std::find(kLayoutExtras.begin(), kLayoutExtras.end(), key) != kLayoutExtras.end();
}

const char* const kRateNames[] = {"polling_rate_option_0", "polling_rate_option_1",
                                  "polling_rate_option_2", "polling_rate_option_3"};
const char* const kDelayNames[] = {"repeat_delay_check_0", "repeat_delay_check_1",
                                   "repeat_delay_check_2", "repeat_delay_check_3"};

}  // namespace

CKeyboardPageUI::CKeyboardPageUI(std::unique_ptr<CTessaronKeyboardDevice> model)
    : CDevicePageUI(std::move(model), QStringLiteral("TessaronKeyboardDevice")) {}

std::vector<std::string> CKeyboardPageUI::BoundControlNames() {
    std::vector<std::string> names = {"keyboard_device_key_light",
                                      "Keyset_Fn_Layout",
                                      "keyset_fn",
                                      "winlockflag_option",
                                      "wflag_option",
                                      "6flag_option",
                                      "repeat_rate_slider",
                                      "key_shake_slider",
                                      "repeat_delay_time_label1",
                                      "key_shake_text",
                                      "text_test",
                                      "repeat_input_richedit",
                                      "DeviceProfileItem",
                                      "LightControlItem",
                                      "KeySetControlItem",
                                      "MacroControlItem",
                                      "keyboard_picture_layout",
                                      "reset_repeat_btn",
                                      "default_btn"};
    names.insert(names.end(), std::begin(kRateNames), std::end(kRateNames));
    names.insert(names.end(), std::begin(kDelayNames), std::end(kDelayNames));
    for (int key = 0; key < kKeyboardUiKeys; ++key)
        names.push_back("key_" + std::to_string(key));
    return names;
}

// ---- Building ----

void CKeyboardPageUI::BindControls() {
    auto find = [this](const char* name) { return FindOnPage(QLatin1String(name)); };
    for (std::size_t i = 0; i < rateOptions_.size(); ++i)
        rateOptions_[i] = find(kRateNames[i]);
    for (std::size_t i = 0; i < delayOptions_.size(); ++i)
        delayOptions_[i] = find(kDelayNames[i]);
    winLock_ = find("winlockflag_option");
    wFlag_ = find("wflag_option");
    rollover_ = find("6flag_option");
    fnLayer_ = find("keyset_fn");
    fnLayout_ = find("Keyset_Fn_Layout");
    picture_ = find("keyboard_picture_layout");
    repeatRate_ = dynamic_cast<CSliderUI*>(find("repeat_rate_slider"));
    debounce_ = dynamic_cast<CSliderUI*>(find("key_shake_slider"));
    delayLabel_ = find("repeat_delay_time_label1");
    debounceLabel_ = find("key_shake_text");
    textTest_ = find("text_test");
    repeatTest_ = dynamic_cast<CRichEditUI*>(find("repeat_input_richedit"));
}

void CKeyboardPageUI::BuildPage() {
    CDevicePageUI::InitPage();
    keyTips_.assign(KeyButtons().size(), {});
    sharedCells_.clear();
    if (Model().DeviceXmlPath().empty())
        return;
    BindControls();
    if (repeatRate_ != nullptr) {
        repeatRate_->SetMinValue(kKeyboardRepeatRateMin);
        repeatRate_->SetMaxValue(kKeyboardRepeatRateMax);
    }
    if (debounce_ != nullptr) {
        debounce_->SetMinValue(0);
        debounce_->SetMaxValue(kKeyboardDebounceMax);
    }
    for (const SharedRoom& room : kSharedRooms) {
        const auto at = static_cast<std::size_t>(room.neighbour);
        const bool known = std::any_of(sharedCells_.begin(), sharedCells_.end(),
                                       [&](const auto& c) { return c.first == room.neighbour; });
        if (!known && at < KeyButtons().size() && KeyButtons()[at] != nullptr)
            sharedCells_.emplace_back(room.neighbour, KeyButtons()[at]->GetFloatPos());
    }
    SetUpPanels(kLightLevels);
    ShowKeys();
    OnFunctionTab(Keyboard().GetFunctionType());
    // Keys typed in the program light the preview's reactive modes while the page is seen.
    if (keyFeed_ == nullptr && GetWidget() != nullptr) {
        keyFeed_ = new CWindowKeyFeed(GetWidget(), [this](int key, int action) {
            if (GetWidget()->isVisible())
                Keyboard().OnKeyAction(key, action);
        });
    }
}

void CKeyboardPageUI::ReloadProfileList() {
    CDeviceProfileUI* profiles = ProfilePanel();
    if (profiles == nullptr)
        return;
    profiles->InitProfileList();
    if (!profiles->GetCurrentProfileId().empty())
        Keyboard().SetProfileName(profiles->GetCurrentProfileId());
}

void CKeyboardPageUI::SetFunctionType(int type) {
    CDevicePageUI::SetFunctionType(type);
    if (fnLayout_ != nullptr)
        fnLayout_->SetVisible(type == kKeyFunctionType);
    // The macro editor needs the room; the drawn keyboard has nothing to do with it.
    if (picture_ != nullptr)
        picture_->SetVisible(type != kMacroFunctionType);
    // Macros and settings have nothing to do with the battery.
    if (CMpDevicePowerUI* power = PowerPanel())
        power->SetPowerLayoutVisible(Model().PowerPanelShown() && type != 3 && type != 4);
    ShowKeys();
}

void CKeyboardPageUI::PresentLightFrame() {
    if (Model().GetFunctionType() != kKeyFunctionType || !Model().HostLighting()) {
        CDevicePageUI::PresentLightFrame();
        return;
    }
    for (CDeviceKeyButtonUI* cell : LedControls()) {
        if (cell != nullptr && cell->IsVisible())
            cell->SetKeyLight(0, 0, true);
    }
    Model().PresentLightFrame();
}

void CKeyboardPageUI::Report(const OpResult& result) {
    if (Services() != nullptr)
        Services()->Report(result);
}

QString CKeyboardPageUI::Translate(const char* key) const {
    if (textTest_ == nullptr)
        return CPaintManagerUI::ResolveText(GetManager(), QLatin1String(key));
    textTest_->SetText(QLatin1String(key));
    return textTest_->GetText();
}

// ---- Showing the model ----

void CKeyboardPageUI::ShowModel() {
    const CTessaronKeyboardDevice& keyboard = Keyboard();
    const KeyboardSystemStages stages = keyboard.GetSystemStages();
    for (int k = 0; k < kKeyboardPollingRates; ++k)
        SetOn(rateOptions_[static_cast<std::size_t>(k)],
              k == (stages.pollingRate < kKeyboardPollingRates ? stages.pollingRate : 0));
    ShowRepeatDelay(stages.repeatDelay);
    SetOn(winLock_, stages.winFlag != 0);
    SetOn(wFlag_, stages.wFlag != 0);
    SetOn(rollover_, stages.key6Flag != 0);
    if (repeatRate_ != nullptr)
        repeatRate_->SetValue(stages.repeat);
    ShowDebounce(stages.keyShake);
    if (repeatTest_ != nullptr) {
        repeatTest_->SetText(QString());
        repeatTest_->setPlaceholderText(Translate("Repeat_input_text"));
    }
    SetOn(fnLayer_, keyboard.FnLayerView());
    if (CLightControlUI* light = LightPanel()) {
        light->ShowLightInfo(Keyboard().LightState());
        light->SelectCustomMode(Keyboard().Profile().ReadCustomLightGroup());
        light->ShowAudioLightInfo(Keyboard().Profile().ReadAudioLightInfo());
    }
    ShowKeys();
    ShowKeyLabels();
}

void CKeyboardPageUI::ShowRepeatDelay(int option) {
    if (option < 0 || option >= kKeyboardRepeatDelays)
        option = 0;
    for (int k = 0; k < kKeyboardRepeatDelays; ++k)
        SetOn(delayOptions_[static_cast<std::size_t>(k)], k == option);
    if (delayLabel_ != nullptr)
        delayLabel_->SetText(Translate("Repeat_Delay_Time") +
                             QString::number(RepeatDelayMs(option)) + QStringLiteral("ms"));
}

void CKeyboardPageUI::ShowDebounce(int step) {
    if (debounce_ != nullptr)
        debounce_->SetValue(step);
    if (debounceLabel_ != nullptr)
        debounceLabel_->SetText(QString::number(step * kDebounceMsPerStep) + QStringLiteral(" ms"));
}

void CKeyboardPageUI::ShowKeys() {
    const CTessaronKeyboardDevice& keyboard = Keyboard();
    const bool read = keyboard.KeyPositions() > 0;
    const std::vector<CDeviceKeyButtonUI*>& buttons = KeyButtons();
    const std::size_t count = std::min<std::size_t>(buttons.size(), kKeyboardUiKeys);
    for (std::size_t i = 0; i < count; ++i) {
        CDeviceKeyButtonUI* cell = buttons[i];
        if (cell == nullptr)
            continue;
        const int key = static_cast<int>(i);
        const bool blank = KeyboardFactoryCode(key) == KeyCode{0x20, 0, 0};
        const bool shown =
            read ? keyboard.KeyPosition(key) != kKeyAbsent : !blank && !IsLayoutExtra(key);
        cell->SetVisible(shown);
        cell->SetEnabled(keyboard.KeyEnabled(key));
    }
    for (const auto& [neighbour, home] : sharedCells_) {
        LayoutRect pos = home;
        for (const SharedRoom& room : kSharedRooms) {
            const auto extra = static_cast<std::size_t>(room.extra);
            if (room.neighbour != neighbour || extra >= buttons.size() ||
                buttons[extra] == nullptr || !buttons[extra]->IsVisible())
                continue;
            pos.left += static_cast<int>(room.left * kKeyPitch);
            pos.right -= static_cast<int>(room.right * kKeyPitch);
        }
        CDeviceKeyButtonUI* cell = buttons[static_cast<std::size_t>(neighbour)];
        if (!(cell->GetFloatPos() == pos))
            cell->SetFloatPos(pos);
    }
}

void CKeyboardPageUI::ShowKeyLabels() {
    const CTessaronKeyboardDevice& keyboard = Keyboard();
    const std::vector<KeyListEntry> keys = keyboard.KeyList();
    const std::vector<std::string>& macros = keyboard.DefaultData().macroNames;
    const bool fn = keyboard.FnLayerView();
    keyTips_.resize(KeyButtons().size());
    auto text = [this](const KeyLabel& label) {
        QStringList parts;
        for (const KeyLabelPart& part : label) {
            const QString key = QString::fromStdString(part.text);
            if (part.plain) {
                parts << key;
                continue;
            }
            const QString shown = CPaintManagerUI::ResolveText(GetManager(), key);
            parts << (shown == key && !part.fallback.empty() ? QString::fromStdString(part.fallback)
                                                             : shown);
        }
        return parts.join(u'+');
    };
    for (std::size_t i = 0; i < keys.size() && i < KeyButtons().size(); ++i) {
        CDeviceKeyButtonUI* cell = KeyButtons()[i];
        if (cell == nullptr)
            continue;
        const KeyCode code = fn ? keys[i].fnAssignment.code : keys[i].assignment.code;
        const std::optional<KeyLabel> assigned = KeyboardAssignmentLabel(code, macros);
        if (!assigned)
            continue;  // kinds the page names no further keep their label
        const std::optional<KeyLabel> factory =
            KeyboardAssignmentLabel(KeyboardFactoryCode(static_cast<int>(i)), macros);
        const QString title = factory ? text(*factory) : QString();
        const QString name = text(*assigned);
        keyTips_[i] = {title, Translate("Key_Set") + name};
        cell->SetKeysetImageHidden(title == name);
        cell->GetWidget()->setToolTip(keyTips_[i].first + u'\n' + keyTips_[i].second);
    }
}

QString CKeyboardPageUI::KeyToolTitle(int key) const {
    const auto i = static_cast<std::size_t>(key);
    return key >= 0 && i < keyTips_.size() ? keyTips_[i].first : QString();
}

QString CKeyboardPageUI::KeyToolText(int key) const {
    const auto i = static_cast<std::size_t>(key);
    return key >= 0 && i < keyTips_.size() ? keyTips_[i].second : QString();
}

void CKeyboardPageUI::RefreshText() {
    CDevicePageUI::RefreshText();
    if (textTest_ == nullptr)
        return;
    // Queued: the reload is walking the controls this would change.
    QMetaObject::invokeMethod(
        this, [this] { ShowModel(); }, Qt::QueuedConnection);
}

// ---- Input ----

void CKeyboardPageUI::OnPollingRateChosen(int n) {
    // The option group also announces the option that lost the choice.
    if (n < 0 || n >= kKeyboardPollingRates || !IsOn(rateOptions_[static_cast<std::size_t>(n)]))
        return;
    Report(Keyboard().ChangePollingRate(n));
}

void CKeyboardPageUI::OnRepeatDelayChosen(int n) {
    if (n < 0 || n >= kKeyboardRepeatDelays || !IsOn(delayOptions_[static_cast<std::size_t>(n)]))
        return;
    Report(Keyboard().ChangeRepeatDelay(n));
}

void CKeyboardPageUI::OnWinLockChanged() {
    Report(Keyboard().ChangeWinLock(IsOn(winLock_)));
}

void CKeyboardPageUI::OnWFlagChanged() {
    Report(Keyboard().ChangeWFlag(IsOn(wFlag_)));
}

void CKeyboardPageUI::OnRolloverChanged() {
    Report(Keyboard().ChangeRollover(IsOn(rollover_)));
}

void CKeyboardPageUI::OnRepeatRateChanged() {
    if (repeatRate_ != nullptr)
        Report(Keyboard().ChangeRepeatRate(repeatRate_->GetValue()));
}

void CKeyboardPageUI::OnDebounceChanged() {
    if (debounce_ != nullptr)
        Report(Keyboard().ChangeDebounce(debounce_->GetValue()));
}

void CKeyboardPageUI::OnFnLayerToggled() {
    Report(Keyboard().ChangeFnLayerView(!Keyboard().FnLayerView()));
}

void CKeyboardPageUI::OnRepeatTestReset() {
    if (repeatTest_ != nullptr)
        repeatTest_->SetText(QString());
}

void CKeyboardPageUI::OnRestoreDefaults() {
    if (Services() == nullptr || !Services()->Confirm(QStringLiteral("message_text_22")))
        return;
    SyncScreen();
    Report(Keyboard().RestoreDefaults());
}

}  // namespace morva::ui
