#include "ui/pages/mouse_page.h"

#include <QFontMetrics>
#include <QMetaObject>

#include <algorithm>
#include <limits>

#include "base/name_index.h"
#include "profile/json_file.h"
#include "ui/controls/device_key_button.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
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

void EnableControl(CControlUI* c, bool on) {
    if (c != nullptr)
        c->SetEnabled(on);
}

// Like atoi, but a number too long for an int saturates instead of wrapping.
long long ParseNumber(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < t.size() && t[i] == u'-';
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        ++i;
    constexpr long long kCap = std::numeric_limits<int>::max();
    long long value = 0;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i)
        value = std::min(kCap, value * 10 + (t[i].unicode() - u'0'));
    return negative ? -value : value;
}

CSliderUI* AsSlider(CControlUI* c) {
    return dynamic_cast<CSliderUI*>(c);
}

CControlUI* FirstOfClass(CControlUI* root, const QString& className) {
    auto* container = dynamic_cast<IContainerUI*>(root);
    if (container == nullptr)
        return nullptr;
    for (int i = 0; i < container->GetCount(); ++i) {
        CControlUI* child = container->GetItemAt(i);
        if (child == nullptr)
            continue;
        if (child->GetClass() == className)
            return child;
        if (CControlUI* found = FirstOfClass(child, className))
            return found;
    }
    return nullptr;
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

}  // namespace

CMousePageUI::CMousePageUI(std::unique_ptr<CTessaronMouseDevice> model)
    : CDevicePageUI(std::move(model), QStringLiteral("TessaronUSBDevice")) {}

CControlUI* CMousePageUI::FindIndexed(const QString& prefix, int i) const {
    return FindOnPage(prefix + QString::number(i));
}

CControlUI* CMousePageUI::Stage(const char* prefix, int i) const {
    return FindIndexed(QLatin1String(prefix), i);
}

// ---- Building ----

void CMousePageUI::BuildPage() {
    // The base binds the keys and LEDs of the SelectPanel among the page's own children, so
    // the page itself is the settings layout.
    CDevicePageUI::InitPage();
    settingsLayout_ = nullptr;
    extraLeds_.clear();
    logoPanel_ = nullptr;
    logoLed_ = nullptr;
    keyTips_.assign(KeyButtons().size(), {});
    if (Model().DeviceXmlPath().empty())
        return;
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
                if (logo && logoPanel_ == nullptr)
                    logoPanel_ = settings->GetItemAt(p);
            }
            if (cell->GetToolTipKey().compare(u"logo", Qt::CaseInsensitive) == 0)
                logoLed_ = cell;
        }
    }
    // The macro and shoot panels arrive with their own work; their places stay empty.
    if (CKeySetControlUI* keys = KeySetPanel()) {
        keys->SetPanelDeviceType(kDeviceTypeMouse);
        Mouse().LoadDefaultData();
        QStringList macros;
        for (const std::string& name : Mouse().DefaultData().macroNames)
            macros << QString::fromStdString(name);
        keys->FillMacroList(macros);
        keys->SetVisible(false);
    }
    if (CLightControlUI* light = LightPanel()) {
        CTessaronMouseDevice& mouse = Mouse();
        light->SetPanelKind(mouse.DeviceType());
        mouse.LoadDefaultData();
        const CDeviceDefaultData& data = mouse.DefaultData();
        light->FillModeList(data.lightModeNames, data.lightModeVisible, kLightLevels, kLightLevels);
    }
    if (auto* profiles = dynamic_cast<CDeviceProfileUI*>(FindOnPage("DeviceProfileItem"))) {
        CTessaronMouseDevice& mouse = Mouse();
        profiles->SetDeviceType(mouse.DeviceType());
        profiles->SetFolders(mouse.GetUserDataFolder(), mouse.GetDefaultProfilePath());
        profiles->InitProfileList();
        profiles->SelectOperationPage(1);
        // The panel's choice wins over whatever the model would pick by itself.
        if (!profiles->GetCurrentProfileId().empty())
            mouse.SetProfileName(profiles->GetCurrentProfileId());
    }
    SelectSettingsPage(0);
}

CLightControlUI* CMousePageUI::LightPanel() const {
    return dynamic_cast<CLightControlUI*>(FindOnPage(QStringLiteral("LightControlItem")));
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
        if (logoPanel_ != nullptr && model.WindowActive())
            logoPanel_->GetWidget()->update();
        const auto logo = static_cast<std::size_t>(model.LogoLed());
        if (logoLed_ != nullptr && model.LogoLed() >= 0 && logo < frame.size())
            logoLed_->SetKeyLight(frame[logo].ButtonColour(), frame[logo].alpha, true);
    }
    CDevicePageUI::PresentLightFrame();
}

void CMousePageUI::SetFunctionType(int type) {
    CDevicePageUI::SetFunctionType(type);
    if (CControlUI* hint = FindOnPage(QStringLiteral("device_tishi_info")))
        hint->SetVisible(false);
}

// ---- Showing the model ----

void CMousePageUI::ShowModel() {
    UpdateKeyLabels();
    const MouseSensor sensor = Mouse().Sensor();
    const std::vector<DpiStage> stages = Mouse().GetDpiStages();
    // Before the mouse was read its range is unknown: the sliders keep room for the stored
    // values, or a later save would write them back cut to 0.
    int range = sensor.maxSlider;
    if (range <= 0) {
        for (const DpiStage& s : stages)
            range = std::max(range, s.DpiX());
    }
    for (int i = 0; i < kMouseDpiStages; ++i) {
        if (CSliderUI* slider = AsSlider(Stage("DPI_slider_", i))) {
            slider->SetMinValue(0);
            slider->SetMaxValue(range);
        }
    }
    const std::size_t shown = std::min<std::size_t>(stages.size(), kMouseDpiStages);
    for (std::size_t i = 0; i < shown; ++i) {
        const DpiStage& s = stages[i];
        const int stage = static_cast<int>(i);
        SetDpiStageEnabled(stage, s.stageActive != 0);
        SetDpiSliderValue(stage, s.DpiX());
        SetDpiColour(stage, 0xFF000000u | s.colorR << 16 | s.colorG << 8 | s.colorB);
    }
    const MouseSystemStages system = Mouse().GetSystemValues();
    SetPollingRate(system.reportRate);
    if (CSliderUI* speed = AsSlider(FindOnPage(QStringLiteral("pointer_speed_slider"))))
        speed->SetValue(system.mouseSpeed);
    SetOn(FindOnPage(QStringLiteral("pointer_precision_check")), system.pointerPrecision != 0);
    SetScroll(system.scorllPage != 0, system.wheelScorlllinse);
    if (CSliderUI* click = AsSlider(FindOnPage(QStringLiteral("double_click_slider"))))
        click->SetValue(system.doubleClickTime);
    if (CLightControlUI* light = LightPanel()) {
        light->ShowLightInfo(Mouse().LightState());
        light->ShowAudioLightInfo(Mouse().Profile().ReadAudioLightInfo());
    }
    // Typed DPI needs the sensor's scale: the edits wait until the mouse has been read.
    if (sensor.maxSlider <= 0) {
        for (int i = 0; i < kMouseDpiStages; ++i) {
            if (CControlUI* edit = Stage("DPI_edit_", i))
                edit->SetEnabled(false);
        }
    }
}

// ---- DPI stages ----

void CMousePageUI::SelectDpiStage(int i) {
    Mouse().SelectDpiStage(i);
    ShowActiveStage();
}

void CMousePageUI::ShowActiveStage() {
    const int active = Mouse().ActiveDpiStage();
    for (int k = 0; k < kMouseDpiStages; ++k) {
        SetOn(Stage("DPI_select_check_", k), k == active);
        if (CControlUI* row = Stage("DPI_layout_", k))
            row->SetBorderColor(QColor::fromRgba(k == active ? theme::kAccent : theme::kBorder));
    }
    UpdateStageLocks();
}

std::uint32_t CMousePageUI::GetDpiColour(int i) const {
    const CControlUI* swatch = Stage("DPI_color_option_", i);
    return swatch != nullptr && swatch->GetBkColor().isValid() ? swatch->GetBkColor().rgba() : 0;
}

void CMousePageUI::SetDpiColour(int i, std::uint32_t argb) {
    if (CControlUI* swatch = Stage("DPI_color_option_", i))
        swatch->SetBkColor(QColor::fromRgba(argb));
}

void CMousePageUI::SetDpiStageEnabled(int i, bool on) {
    // The row's other controls follow the stage; disabling the row itself would also disable
    // the check that switches the stage back on.
    for (const char* prefix :
         {"DPI_select_check_", "DPI_color_option_", "DPI_slider_", "DPI_edit_"})
        EnableControl(Stage(prefix, i), on);
    SetOn(Stage("DPI_enable_check_", i), on);
    UpdateStageLocks();
}

bool CMousePageUI::IsDpiStageEnabled(int i) const {
    return IsOn(Stage("DPI_enable_check_", i));
}

bool CMousePageUI::CanDisableDpiStage(int i) const {
    if (i == Mouse().ActiveDpiStage())
        return false;
    for (int k = 0; k < kMouseDpiStages; ++k) {
        if (k != i && IsDpiStageEnabled(k))
            return true;
    }
    return false;
}

void CMousePageUI::UpdateStageLocks() {
    const int active = Mouse().ActiveDpiStage();
    int enabled = 0;
    for (int k = 0; k < kMouseDpiStages; ++k)
        enabled += IsDpiStageEnabled(k) ? 1 : 0;
    for (int k = 0; k < kMouseDpiStages; ++k) {
        const bool on = IsDpiStageEnabled(k);
        EnableControl(Stage("DPI_enable_check_", k), !(on && (k == active || enabled == 1)));
    }
}

void CMousePageUI::SetDpiSliderValue(int i, int value) {
    CSliderUI* slider = AsSlider(Stage("DPI_slider_", i));
    if (slider != nullptr) {
        slider->SetValue(value);
        value = slider->GetValue();  // what the slider holds is what gets stored
    }
    const bool active = i == Mouse().ActiveDpiStage();
    SetOn(Stage("DPI_select_check_", i), active);
    if (CControlUI* row = Stage("DPI_layout_", i))
        row->SetBorderColor(QColor::fromRgba(active ? theme::kAccent : theme::kBorder));
    if (CControlUI* edit = Stage("DPI_edit_", i))
        edit->SetText(QString::number(Mouse().Sensor().DpiOfSliderValue(value)));
    UpdateStageLocks();
}

int CMousePageUI::GetDpiEditValue(int i) const {
    const CControlUI* edit = Stage("DPI_edit_", i);
    const auto dpi = static_cast<int>(edit != nullptr ? ParseNumber(edit->GetText()) : 0);
    return Mouse().Sensor().SliderValueOfDpi(dpi);
}

int CMousePageUI::GetDpiSliderValue(int i) const {
    const CSliderUI* slider = AsSlider(Stage("DPI_slider_", i));
    return slider != nullptr ? slider->GetValue() : 0;
}

// ---- Polling rate and system values ----

void CMousePageUI::SetPollingRate(int n) {
    if (n < 0 || n >= kPollingRates)
        n = 0;
    for (int k = 0; k < kPollingRates; ++k)
        SetOn(Stage("polling_rate_option_", k), k == n);
}

void CMousePageUI::SetScroll(bool byPage, int lines) {
    SetOn(FindOnPage(QStringLiteral("scrolls_page_check")), byPage);
    if (CSliderUI* speed = AsSlider(FindOnPage(QStringLiteral("scroll_speed_slider")))) {
        speed->SetValue(lines);
        // Lines per notch mean nothing while the wheel scrolls by pages.
        speed->SetEnabled(!byPage);
    }
}

int CMousePageUI::GetPointerSpeed() const {
    const CSliderUI* s = AsSlider(FindOnPage(QStringLiteral("pointer_speed_slider")));
    return s != nullptr ? s->GetValue() : 0;
}

bool CMousePageUI::IsPointerPrecision() const {
    return IsOn(FindOnPage(QStringLiteral("pointer_precision_check")));
}

bool CMousePageUI::IsScrollByPage() const {
    return IsOn(FindOnPage(QStringLiteral("scrolls_page_check")));
}

int CMousePageUI::GetScrollLines() const {
    const CSliderUI* s = AsSlider(FindOnPage(QStringLiteral("scroll_speed_slider")));
    return s != nullptr ? s->GetValue() : 0;
}

int CMousePageUI::GetDoubleClickTime() const {
    const CSliderUI* s = AsSlider(FindOnPage(QStringLiteral("double_click_slider")));
    return s != nullptr ? s->GetValue() : 0;
}

int CMousePageUI::GetDoubleClickMax() const {
    const CSliderUI* s = AsSlider(FindOnPage(QStringLiteral("double_click_slider")));
    return s != nullptr ? s->GetMaxValue() : 0;
}

// ---- Second DPI family ----

void CMousePageUI::ShowKaldoDpiValue(int n, int value) {
    if (CControlUI* edit = FindIndexed(QStringLiteral("kaldo_DPI_edit_"), n))
        edit->SetText(QString::number(value));
}

void CMousePageUI::CommitKaldoDpiEdit(int n) {
    CControlUI* edit = FindIndexed(QStringLiteral("kaldo_DPI_edit_"), n);
    if (edit == nullptr)
        return;
    const auto dpi = static_cast<int>(
        std::clamp<long long>(ParseNumber(edit->GetText()), kKaldoMinDpi, kKaldoMaxDpi));
    edit->SetText(QString::number(dpi));
    if (CSliderUI* slider = AsSlider(FindIndexed(QStringLiteral("kaldo_DPI_slider_"), n)))
        slider->SetValue(dpi);
}

// ---- Settings tabs ----

void CMousePageUI::SelectSettingsPage(int n) {
    auto* tabs =
        dynamic_cast<CTabLayoutUI*>(FirstOfClass(settingsLayout_, QStringLiteral("TabLayoutUI")));
    if (tabs != nullptr) {
        if (n < 0 || n >= tabs->GetCount())
            n = 0;
        tabs->SelectItem(n);
    }
    auto* options = dynamic_cast<IContainerUI*>(FindOnPage(QLatin1String(kOptionLayout)));
    if (options == nullptr)
        return;
    const QString wanted = QLatin1String(kSettingsOption) + QString::number(n);
    for (int i = 0; i < options->GetCount(); ++i) {
        CControlUI* option = options->GetItemAt(i);
        if (option != nullptr && option->GetClass() == u"OptionUI")
            SetOn(option, option->GetName().compare(wanted, Qt::CaseInsensitive) == 0);
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
    auto* list = dynamic_cast<CListUI*>(FindOnPage(QStringLiteral("device_setkeyinfo_list")));
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

bool CMousePageUI::OnLedSelectionEnd(CControlUI* container, QSize screen) {
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
    mouse.DownloadSettings(0, 0, 1, screen.width(), screen.height());
    mouse.ApplyLightSettings();
    return true;
}

CKeySetControlUI* CMousePageUI::KeySetPanel() const {
    return dynamic_cast<CKeySetControlUI*>(FindOnPage(QStringLiteral("KeySetControlItem")));
}

void CMousePageUI::SelectKey(int n) {
    Mouse().SelectKey(n);
    CKeySetControlUI* keys = KeySetPanel();
    if (keys == nullptr)
        return;
    // The macro list may have changed since the page was built.
    Mouse().LoadDefaultData();
    QStringList macros;
    for (const std::string& name : Mouse().DefaultData().macroNames)
        macros << QString::fromStdString(name);
    keys->FillMacroList(macros);
    keys->SetVisible(true);
    const std::vector<KeyListEntry> list = Mouse().KeyList();
    if (n >= 0 && static_cast<std::size_t>(n) < list.size())
        keys->SetKeyEntryParts(list[static_cast<std::size_t>(n)]);
}

}  // namespace morva::ui
