#include "ui/pages/mouse_page.h"

#include <optional>

#include <QFontMetrics>
#include <QMetaObject>

#include <algorithm>

#include "base/name_index.h"
#include "profile/json_file.h"
#include "ui/controls/device_key_button.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/page_services.h"
#include "ui/panels/shoot_control.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {
namespace {

constexpr char kSettingsLayout[] = "mouse_device_seting_layout";
constexpr char kOptionLayout[] = "mouse_option_layout";
constexpr char kSettingsOption[] = "mouse_device_seting_option_";
constexpr char kSettingsTabs[] = "mouse_seting_switch";
constexpr int kPollingRates = 5;
constexpr int kKaldoMinDpi = 200;
constexpr int kKaldoMaxDpi = 6500;
// Brightness and speed steps of the lighting panel.
constexpr int kLightLevels = 4;
constexpr std::uint32_t kWhite = 0x00FFFFFF;
// The button list's rows: name column, assignment column.
constexpr int kListRowHeight = 25;
constexpr int kListNameWidth = 200;
constexpr int kListValueWidth = 180;
constexpr QRgb kListNameColour = 0xFFFFFFFF;
constexpr QRgb kListValueColour = 0xFF0099FF;
constexpr QRgb kListMarkColour = 0x4000A2FF;

// The settings tabs and the function tabs are one set: tab n shows function type kTabType[n]
// (DPI: cursor, performance: system, buttons: keys, lighting: light).
constexpr std::array<int, 4> kTabType = {5, 4, 2, 1};
constexpr int kMacroType = 3;

// The macro panel's page follows the settings tabs; no settings tab of its own selects it.
constexpr int kMacroPage = 4;

int TabOfType(int type) {
    if (type == kMacroType)
        return kMacroPage;
    const auto it = std::find(kTabType.begin(), kTabType.end(), type);
    return it == kTabType.end() ? -1 : static_cast<int>(it - kTabType.begin());
}

void EnableControl(CControlUI* c, bool on) {
    if (c != nullptr)
        c->SetEnabled(on);
}

KeyLabel Translated(std::string key) {
    return KeyLabel{KeyLabelPart{std::move(key), {}, false}};
}

void SetPlainText(CLabelUI* label, const QString& text, int width) {
    // Set on the QLabel itself: these texts are translated already, and a macro name that
    // happens to equal a language key must not be looked up.
    const int room = CPaintManagerUI::Scale(width);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideRight, room));
    label->setToolTip(text);
}

int SliderValue(const CSliderUI* slider) {
    return slider != nullptr ? slider->GetValue() : 0;
}

}  // namespace

CMousePageUI::CMousePageUI(std::unique_ptr<CTessaronMouseDevice> model)
    : CDevicePageUI(std::move(model), QStringLiteral("TessaronUSBDevice")) {}

std::vector<std::string> CMousePageUI::BoundControlNames() {
    std::vector<std::string> names = {
        kSettingsLayout,           kOptionLayout,         kSettingsTabs,
        "pointer_speed_slider",    "scroll_speed_slider", "double_click_slider",
        "pointer_precision_check", "scrolls_page_check",  "device_setkeyinfo_list",
        "device_tishi_info",       "LightControlItem",    "KeySetControlItem",
        "DeviceProfileItem",       "ShootControlItem",    "mouse_recoil_option"};
    for (int i = 0; i < kMouseDpiStages; ++i) {
        for (const char* prefix : {"DPI_layout_", "DPI_enable_check_", "DPI_select_check_",
                                   "DPI_color_option_", "DPI_slider_", "DPI_edit_"})
            names.push_back(prefix + std::to_string(i));
    }
    for (int i = 0; i < kPollingRates; ++i)
        names.push_back("polling_rate_option_" + std::to_string(i));
    for (std::size_t i = 0; i < kTabType.size(); ++i)
        names.push_back(kSettingsOption + std::to_string(i));
    return names;
}

// ---- Building ----

void CMousePageUI::BindControls() {
    auto indexed = [this](const char* prefix, int i) {
        return FindOnPage(QLatin1String(prefix) + QString::number(i));
    };
    for (int i = 0; i < kMouseDpiStages; ++i) {
        StageRow& r = stages_[static_cast<std::size_t>(i)];
        r.row = indexed("DPI_layout_", i);
        r.enable = indexed("DPI_enable_check_", i);
        r.select = indexed("DPI_select_check_", i);
        r.swatch = indexed("DPI_color_option_", i);
        r.slider = dynamic_cast<CSliderUI*>(indexed("DPI_slider_", i));
        r.edit = dynamic_cast<CEditUI*>(indexed("DPI_edit_", i));
    }
    for (int i = 0; i < kPollingRates; ++i)
        rateOptions_[static_cast<std::size_t>(i)] = indexed("polling_rate_option_", i);
    pointerSpeed_ = dynamic_cast<CSliderUI*>(FindOnPage(QStringLiteral("pointer_speed_slider")));
    scrollSpeed_ = dynamic_cast<CSliderUI*>(FindOnPage(QStringLiteral("scroll_speed_slider")));
    doubleClick_ = dynamic_cast<CSliderUI*>(FindOnPage(QStringLiteral("double_click_slider")));
    pointerPrecision_ = FindOnPage(QStringLiteral("pointer_precision_check"));
    scrollByPage_ = FindOnPage(QStringLiteral("scrolls_page_check"));
    settingsTabs_ = dynamic_cast<CTabLayoutUI*>(FindOnPage(QLatin1String(kSettingsTabs)));
    settingsOptions_.clear();
    for (std::size_t i = 0; i < kTabType.size(); ++i)
        settingsOptions_.push_back(indexed(kSettingsOption, static_cast<int>(i)));
    keyList_ = dynamic_cast<CListUI*>(FindOnPage(QStringLiteral("device_setkeyinfo_list")));
    hint_ = FindOnPage(QStringLiteral("device_tishi_info"));
    recoilOption_ = FindOnPage(QStringLiteral("mouse_recoil_option"));
    shootPanel_ = dynamic_cast<CShootControlUI*>(FindOnPage(QStringLiteral("ShootControlItem")));
    if (shootPanel_ != nullptr)
        shootPanel_->InitShootData(Mouse());
}

void CMousePageUI::BuildPage() {
    // The base binds the keys and LEDs of the SelectPanel among the page's own children, so
    // the page itself is the settings layout.
    CDevicePageUI::InitPage();
    settingsLayout_ = nullptr;
    extraLeds_.clear();
    logoLed_ = nullptr;
    keyTips_.assign(KeyButtons().size(), {});
    if (Model().DeviceXmlPath().empty())
        return;
    BindControls();
    settingsLayout_ = GetName().compare(QLatin1String(kSettingsLayout), Qt::CaseInsensitive) == 0
                          ? this
                          : FindOnPage(QLatin1String(kSettingsLayout));
    auto* settings = dynamic_cast<IContainerUI*>(settingsLayout_);
    if (settings == nullptr)
        return;
    const int leds = Model().LedCount();
    for (int p = 0; p < settings->GetCount(); ++p) {
        auto* panel = dynamic_cast<IContainerUI*>(settings->GetItemAt(p));
        if (panel == nullptr || settings->GetItemAt(p)->GetClass() != u"SelectPanel")
            continue;
        for (int i = 0; i < panel->GetCount(); ++i) {
            auto* cell = dynamic_cast<CDeviceKeyButtonUI*>(panel->GetItemAt(i));
            if (cell == nullptr || cell->GetClass() != u"DeviceKeyButton")
                continue;
            const SplitName byName = SplitNameIndex(cell->GetName().toStdString());
            const auto at = static_cast<std::size_t>(byName.index);
            const bool led = EqualsNoCase(byName.prefix, "light_") && byName.index < leds &&
                             at < LedControls().size() && LedControls()[at] != cell;
            const bool logo = EqualsNoCase(byName.prefix, "light_0_");
            if (byName.hasIndex && byName.index >= 0 && (led || logo)) {
                extraLeds_.emplace_back(byName.index, cell);
                cell->SetKeyLight(kWhite, 255, true);
            }
            if (cell->GetToolTipKey().compare(u"logo", Qt::CaseInsensitive) == 0)
                logoLed_ = cell;
        }
    }
    SetUpPanels(kLightLevels);
    // The page opens on the function the model starts with.
    OnFunctionTab(Mouse().GetFunctionType());
}

void CMousePageUI::PresentLightFrame() {
    CTessaronUSBDevice& model = Model();
    if (model.HostLighting() && (!extraLeds_.empty() || (logoLed_ && model.LogoLed() >= 0))) {
        const std::vector<LedColour> frame = model.Engine().Frame();
        for (const auto& [index, cell] : extraLeds_) {
            const auto i = static_cast<std::size_t>(index);
            if (i < frame.size() && cell->IsVisible())
                cell->SetKeyLight(frame[i].ButtonColour(), frame[i].alpha, true);
        }
        const auto logo = static_cast<std::size_t>(model.LogoLed());
        if (logoLed_ != nullptr && model.LogoLed() >= 0 && logo < frame.size())
            logoLed_->SetKeyLight(frame[logo].ButtonColour(), frame[logo].alpha, true);
    }
    CDevicePageUI::PresentLightFrame();
}

void CMousePageUI::SetFunctionType(int type) {
    CDevicePageUI::SetFunctionType(type);
    if (hint_ != nullptr)
        hint_->SetVisible(false);
    const int tab = TabOfType(type);
    if (tab >= 0)
        SelectSettingsPage(tab);
}

void CMousePageUI::Report(const OpResult& result) {
    if (Services() != nullptr)
        Services()->Report(result);
}

// ---- Showing the model ----

void CMousePageUI::ShowModel() {
    UpdateKeyLabels();
    ShowStages();
    const MouseSystemStages system = Mouse().GetSystemValues();
    const int rate = system.reportRate < kPollingRates ? system.reportRate : 0;
    for (int k = 0; k < kPollingRates; ++k)
        SetOn(rateOptions_[static_cast<std::size_t>(k)], k == rate);
    if (pointerSpeed_ != nullptr)
        pointerSpeed_->SetValue(system.mouseSpeed);
    SetOn(pointerPrecision_, system.pointerPrecision != 0);
    SetOn(scrollByPage_, system.scorllPage != 0);
    if (scrollSpeed_ != nullptr) {
        scrollSpeed_->SetValue(system.wheelScorlllinse);
        // Lines per notch mean nothing while the wheel scrolls by pages.
        scrollSpeed_->SetEnabled(system.scorllPage == 0);
    }
    if (doubleClick_ != nullptr)
        doubleClick_->SetValue(system.doubleClickTime);
    if (CLightControlUI* light = LightPanel()) {
        light->ShowLightInfo(Mouse().LightState());
        light->ShowAudioLightInfo(Mouse().Profile().ReadAudioLightInfo());
    }
}

void CMousePageUI::ShowStages() {
    const MouseSensor sensor = Mouse().Sensor();
    const std::vector<DpiStage> stages = Mouse().GetDpiStages();
    // Before the mouse was read its range is unknown: the sliders keep room for the stored
    // values, or a later save would write them back cut to 0.
    int range = sensor.maxSlider;
    if (range <= 0) {
        for (const DpiStage& s : stages)
            range = std::max(range, s.DpiX());
    }
    const int active = Mouse().ActiveDpiStage();
    for (int i = 0; i < kMouseDpiStages; ++i) {
        const StageRow& r = stages_[static_cast<std::size_t>(i)];
        const bool present = static_cast<std::size_t>(i) < stages.size();
        const DpiStage s = present ? stages[static_cast<std::size_t>(i)] : DpiStage{};
        const bool on = s.stageActive != 0;
        if (r.slider != nullptr) {
            r.slider->SetMinValue(0);
            r.slider->SetMaxValue(range);
        }
        // The row's other controls follow the stage; disabling the row itself would also
        // disable the check that switches the stage back on.
        for (CControlUI* c : {r.select, r.swatch, static_cast<CControlUI*>(r.slider)})
            EnableControl(c, on);
        // Typed DPI needs the sensor's scale: the edits wait until the mouse has been read.
        EnableControl(r.edit, on && sensor.maxSlider > 0);
        SetOn(r.enable, on);
        // The stage in use and the last one on cannot be switched off.
        EnableControl(r.enable, !(on && !Mouse().CanDisableStage(i)));
        SetOn(r.select, i == active);
        if (r.row != nullptr)
            r.row->SetBorderColor(QColor::fromRgba(i == active ? theme::kAccent : theme::kBorder));
        if (r.swatch != nullptr && present)
            r.swatch->SetBkColor(
                QColor::fromRgba(0xFF000000u | s.colorR << 16 | s.colorG << 8 | s.colorB));
        ShowStageValue(i, s.DpiX());
    }
}

void CMousePageUI::ShowStageValue(int i, int sliderValue) {
    const StageRow& r = stages_[static_cast<std::size_t>(i)];
    if (r.slider != nullptr) {
        r.slider->SetValue(sliderValue);
        sliderValue = r.slider->GetValue();
    }
    if (r.edit != nullptr)
        r.edit->SetText(QString::number(Mouse().Sensor().DpiOfSliderValue(sliderValue)));
}

bool CMousePageUI::IsDpiStageEnabled(int i) const {
    return i >= 0 && i < kMouseDpiStages && IsOn(stages_[static_cast<std::size_t>(i)].enable);
}

int CMousePageUI::GetDpiSliderValue(int i) const {
    return i >= 0 && i < kMouseDpiStages ? SliderValue(stages_[static_cast<std::size_t>(i)].slider)
                                         : 0;
}

// ---- Input ----

void CMousePageUI::OnStageEnableChanged(int i) {
    if (i < 0 || i >= kMouseDpiStages)
        return;
    SyncScreen();
    Report(Mouse().ChangeStageEnabled(i, IsDpiStageEnabled(i)));
}

void CMousePageUI::OnStageChosen(int i) {
    // The option group also announces the stage that lost the choice.
    if (i < 0 || i >= kMouseDpiStages || !IsOn(stages_[static_cast<std::size_t>(i)].select))
        return;
    SyncScreen();
    Report(Mouse().ChangeActiveStage(i));
}

void CMousePageUI::OnStageColourClicked(int i) {
    if (i < 0 || i >= kMouseDpiStages || Services() == nullptr)
        return;
    const std::optional<std::uint32_t> colour = Services()->PickColour(GetDpiColour(i));
    if (colour)
        Report(Mouse().ChangeStageColour(i, *colour));
}

std::uint32_t CMousePageUI::GetDpiColour(int i) const {
    if (i < 0 || i >= kMouseDpiStages)
        return 0;
    const CControlUI* swatch = stages_[static_cast<std::size_t>(i)].swatch;
    return swatch != nullptr ? swatch->GetBkColor().rgba() : 0;
}

void CMousePageUI::OnStageSliderMoved(int i, int value) {
    if (i >= 0 && i < kMouseDpiStages)
        ShowStageValue(i, value);
}

void CMousePageUI::OnStageSliderReleased(int i) {
    if (i < 0 || i >= kMouseDpiStages)
        return;
    SyncScreen();
    Report(Mouse().ChangeStageDpi(i, GetDpiSliderValue(i)));
}

void CMousePageUI::OnStageEditCommitted(int i) {
    if (i < 0 || i >= kMouseDpiStages)
        return;
    const CEditUI* edit = stages_[static_cast<std::size_t>(i)].edit;
    const QString text = edit != nullptr ? edit->GetText().trimmed() : QString();
    bool number = false;
    const long long dpi = text.toLongLong(&number);
    if (!number) {
        ShowStages();  // nothing usable typed: the stored value again
        return;
    }
    SyncScreen();
    Report(Mouse().ChangeStageDpiValue(i, static_cast<int>(std::clamp<long long>(dpi, 0, 0xFFFF))));
}

void CMousePageUI::OnReportRateChosen(int n) {
    if (n < 0 || n >= kPollingRates || !IsOn(rateOptions_[static_cast<std::size_t>(n)]))
        return;
    SyncScreen();
    Report(Mouse().ChangeReportRate(n));
}

void CMousePageUI::OnSystemValueChanged() {
    MouseSystemStages v = Mouse().GetSystemValues();
    v.mouseSpeed = static_cast<std::uint16_t>(SliderValue(pointerSpeed_));
    v.pointerPrecision = IsOn(pointerPrecision_) ? 1 : 0;
    v.scorllPage = IsOn(scrollByPage_) ? 1 : 0;
    v.wheelScorlllinse = static_cast<std::uint16_t>(SliderValue(scrollSpeed_));
    v.doubleClickTime = static_cast<std::uint16_t>(SliderValue(doubleClick_));
    Report(Mouse().ChangeSystemValues(v));
}

void CMousePageUI::OnSettingsTabChosen(int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= kTabType.size() ||
        !IsOn(settingsOptions_[static_cast<std::size_t>(n)]))
        return;
    OnFunctionTab(kTabType[static_cast<std::size_t>(n)]);
}

void CMousePageUI::OnRecoilTabChosen() {
    // The recoil page has no function type: it is found by its panel, not by its place.
    if (!IsOn(recoilOption_) || settingsTabs_ == nullptr || shootPanel_ == nullptr)
        return;
    settingsTabs_->SelectItem(shootPanel_);
}

void CMousePageUI::OnRestoreDefaults() {
    if (Services() == nullptr || !Services()->Confirm(QStringLiteral("message_text_22")))
        return;
    SyncScreen();
    Report(Mouse().RestoreDefaults());
}

void CMousePageUI::OnKaldoSliderMoved(int n, int value) {
    if (CControlUI* edit = FindOnPage(QStringLiteral("kaldo_DPI_edit_") + QString::number(n)))
        edit->SetText(QString::number(value));
}

void CMousePageUI::OnKaldoEditCommitted(int n) {
    CControlUI* edit = FindOnPage(QStringLiteral("kaldo_DPI_edit_") + QString::number(n));
    if (edit == nullptr)
        return;
    const auto dpi = static_cast<int>(
        std::clamp<long long>(edit->GetText().trimmed().toLongLong(), kKaldoMinDpi, kKaldoMaxDpi));
    edit->SetText(QString::number(dpi));
    if (auto* slider = dynamic_cast<CSliderUI*>(
            FindOnPage(QStringLiteral("kaldo_DPI_slider_") + QString::number(n))))
        slider->SetValue(dpi);
}

// ---- Settings tabs ----

void CMousePageUI::SelectSettingsPage(int n) {
    if (settingsTabs_ != nullptr) {
        if (n < 0 || n >= settingsTabs_->GetCount())
            n = 0;
        settingsTabs_->SelectItem(n);
    }
    for (std::size_t i = 0; i < settingsOptions_.size(); ++i)
        SetOn(settingsOptions_[i], static_cast<int>(i) == n);
    SetOn(recoilOption_, false);
}

int CMousePageUI::SettingsPage() const {
    return settingsTabs_ != nullptr ? settingsTabs_->GetCurSel() : -1;
}

void CMousePageUI::MarkSelectedKey(int n) {
    CDevicePageUI::MarkSelectedKey(n);
    markedKey_ = n;
    if (keyList_ == nullptr)
        return;
    for (int i = 0; i < keyList_->GetCount(); ++i) {
        if (CControlUI* row = keyList_->GetItemAt(i))
            row->SetBkColor(i == n ? QColor::fromRgba(kListMarkColour) : QColor());
    }
}

// ---- Button names ----

QString CMousePageUI::Text(const KeyLabel& label) const {
    QStringList parts;
    for (const KeyLabelPart& part : label) {
        const QString text = QString::fromStdString(part.text);
        if (part.plain) {
            parts << text;
            continue;
        }
        const QString shown = CPaintManagerUI::ResolveText(GetManager(), text);
        parts << (shown == text && !part.fallback.empty() ? QString::fromStdString(part.fallback)
                                                          : shown);
    }
    return parts.join(u'+');
}

QString CMousePageUI::KeyToolTitle(int button) const {
    const auto i = static_cast<std::size_t>(button);
    return button >= 0 && i < keyTips_.size() ? keyTips_[i].first : QString();
}

QString CMousePageUI::KeyToolText(int button) const {
    const auto i = static_cast<std::size_t>(button);
    return button >= 0 && i < keyTips_.size() ? keyTips_[i].second : QString();
}

void CMousePageUI::UpdateKeyLabels() {
    CListUI* list = keyList_;
    if (list != nullptr)
        list->RemoveAll();
    keyTips_.assign(KeyButtons().size(), {});
    const std::vector<KeyListEntry> keys = Mouse().KeyList();
    const std::vector<std::string>& macros = Mouse().DefaultData().macroNames;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::optional<KeyLabel> label = MouseAssignmentLabel(keys[i].assignment.code, macros);
        if (!label || i >= KeyButtons().size() || KeyButtons()[i] == nullptr)
            continue;
        CDeviceKeyButtonUI* button = KeyButtons()[i];
        const QString title = Text({MouseButtonName(static_cast<int>(i))});
        const QString text = Text(*label);
        keyTips_[i] = {title, text};
        button->GetWidget()->setToolTip(title + u'\n' + text);
        if (list == nullptr)
            continue;
        while (static_cast<std::size_t>(list->GetCount()) < i + 1) {
            auto* row = new CListContainerElementUI;
            row->SetFixedHeight(kListRowHeight);
            row->SetVisible(false);
            row->SetEnabled(false);
            auto* name = new CLabelUI;
            name->SetFixedWidth(kListNameWidth);
            name->SetTextColor(QColor::fromRgba(kListNameColour));
            auto* value = new CLabelUI;
            value->SetFixedWidth(kListValueWidth);
            value->SetTextColor(QColor::fromRgba(kListValueColour));
            list->Add(row);  // the list owns the row, the row its labels
            row->Add(name);
            row->Add(value);
        }
        auto* row = dynamic_cast<CListContainerElementUI*>(list->GetItemAt(static_cast<int>(i)));
        if (row == nullptr || row->GetCount() < 2)
            continue;
        SetPlainText(static_cast<CLabelUI*>(row->GetItemAt(0)), title, kListNameWidth);
        SetPlainText(static_cast<CLabelUI*>(row->GetItemAt(1)), text, kListValueWidth);
        row->SetVisible(button->IsVisible());
    }
    if (logoLed_ != nullptr) {
        const CDeviceDefaultData& data = Mouse().DefaultData();
        const int mode = Mouse().LightState().selectItem;
        QString text =
            Text(Translated("Light_Set")) + u'\n' + Text(Translated("Overall_Light_Set"));
        if (mode < kMouseLightModes &&
            static_cast<std::size_t>(mode) < data.lightModeNames.size()) {
            text += Text(Translated(data.lightModeNames[static_cast<std::size_t>(mode)]));
        } else if (mode >= kMouseLightModes && static_cast<std::size_t>(mode - kMouseLightModes) <
                                                   data.customEffectNames.size()) {
            text += QString::fromStdString(
                data.customEffectNames[static_cast<std::size_t>(mode - kMouseLightModes)]);
        }
        logoLed_->GetWidget()->setToolTip(QStringLiteral("Logo\n") + text);
    }
    if (list != nullptr) {
        list->SetVisible(true);
        MarkSelectedKey(markedKey_);
        list->GetWidget()->update();
    }
}

void CMousePageUI::RefreshText() {
    CDevicePageUI::RefreshText();
    if (settingsLayout_ == nullptr)
        return;
    // Queued: the reload is walking the controls this would remove and add.
    QMetaObject::invokeMethod(
        this, [this] { UpdateKeyLabels(); }, Qt::QueuedConnection);
}

// ---- Rubber band ----

bool CMousePageUI::OnLedSelectionEnd(CControlUI* container) {
    auto* cells = dynamic_cast<IContainerUI*>(container);
    if (cells == nullptr)
        return false;
    const int count = Model().LedCount();
    std::vector<char> marks(static_cast<std::size_t>(std::max(count, 0)), 0);
    bool anySelected = false;
    for (int i = 0; i < cells->GetCount(); ++i) {
        auto* cell = dynamic_cast<CDeviceKeyButtonUI*>(cells->GetItemAt(i));
        if (cell == nullptr || cell->GetClass() != u"DeviceKeyButton")
            continue;
        const bool selected = cell->IsKeySelected() != 0;
        for (const QString& id : {cell->GetName(), cell->GetUserData()}) {
            const SplitName split = SplitNameIndex(id.toStdString());
            if (!split.hasIndex || !EqualsNoCase(split.prefix, "light_"))
                continue;
            anySelected = anySelected || selected;
            if (split.index >= 0 && split.index < count)
                marks[static_cast<std::size_t>(split.index)] = selected || !cell->IsVisible();
        }
    }
    const bool whole = std::all_of(marks.begin(), marks.end(), [](char m) { return m != 0; });
    if (!anySelected || !whole)
        return false;
    CTessaronMouseDevice& mouse = Mouse();
    if (ReadJsonFile(mouse.GetProfilePath()).isNull())
        return false;
    mouse.LoadProfile();
    mouse.RefreshPage();
    const QSize screen = Services() != nullptr ? Services()->ScreenPixels() : QSize(1920, 1080);
    mouse.DownloadSettings(0, 0, 1, screen.width(), screen.height());
    mouse.ApplyLightSettings();
    return true;
}

}  // namespace morva::ui
