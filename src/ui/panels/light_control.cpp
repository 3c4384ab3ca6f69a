#include "ui/panels/light_control.h"

#include <QListView>
#include <QStandardItemModel>

#include <algorithm>
#include <initializer_list>

#include "base/debug_log.h"
#include "base/parse_int.h"
#include "ui/panels/color_palette.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {
namespace {

constexpr char kModeCombo[] = "light_combo_modeSelect";
constexpr char kCustomCombo[] = "light_combo_custommodeSelect";
constexpr char kZoneCombo[] = "light_combo_ZZCCmodeSelect";
constexpr char kBrightness[] = "deng_light_slider";
constexpr char kSpeed[] = "deng_speed_slider";
constexpr char kPalette[] = "deng_Color_Pallet";
constexpr char kColourButton[] = "deng_colordp_btn";
constexpr char kMulticolour[] = "deng_7color_check";
constexpr char kFirstDirection[] = "deng_FXL_check";
constexpr char kSecondDirection[] = "deng_FXR_check";
constexpr char kSameMode[] = "deng_same_mode";
constexpr char kSwatch[] = "color_option_";
constexpr const char* kEdits[] = {"deng_edit_R", "deng_edit_G", "deng_edit_B"};

constexpr char kAudioCombo[] = "light_combo_audiomodeSelect";
constexpr char kAudioMulticolour[] = "deng_7audiocolor_check";
constexpr char kAudioBackground[] = "audio_BkColor_check";
constexpr char kAudioForeground[] = "audio_FgColor_check";
constexpr char kAudioPalette[] = "deng_audioColor_Pallet";
constexpr char kAudioColourButton[] = "deng_audiocolordp_btn";
constexpr char kAudioColourLayout[] = "light_audiocolor_layout";
constexpr char kAudioPaletteLayout[] = "audiocolorpallet_layout";
constexpr char kAudioSwatch[] = "audiocolor_option_";
constexpr const char* kAudioEdits[] = {"deng_audioedit_R", "deng_audioedit_G", "deng_audioedit_B"};
// The music mode whose colours come from the music itself.
constexpr int kAudioModeOwnColours = 3;

constexpr const char* kColumns[] = {"lighteffect_layout", kMulticolour,        "deng_color_layout",
                                    "colorpallet_layout", "deng_fx_layout",    "deng_light_layout",
                                    "deng_speed_layout",  "light_color_layout"};

// Enable (+), disable (-) or leave (.) each column of a layout row.
enum Cell : signed char { kOff = 0, kOn = 1, kKeep = -1 };
constexpr Cell P = kOn, M = kOff, K = kKeep;

// The keyboard's rows also switch texts and sub-layouts.
struct Extra {
    const char* firstText = nullptr;
    const char* secondText = nullptr;
    bool hideSpeed = false;
    bool showZone = false;
    bool showCustom = false;
    bool showAudio = false;
};

struct LayoutRow {
    std::vector<int> modes;  // empty: every mode no other row names
    std::array<Cell, 8> cells;
    bool same = false;
    Extra extra{};
};

struct LayoutTable {
    int lastMode;  // modes beyond it use the fallback row
    std::vector<LayoutRow> rows;
};

const LayoutTable& KeyboardTable() {
    static const LayoutTable table{
        30,
        {{{}, {P, M, M, M, M, M, M, P}},
         {{20}, {P, M, M, M, M, M, M, P}},
         {{1, 2}, {P, P, P, P, P, P, P, P}},
         {{3, 24},
          {P, P, P, P, P, P, P, P},
          false,
          {"light_set_clockwise_text", "light_set_anticlockwise_text"}},
         {{4}, {P, M, M, M, M, P, P, M}, true},
         {{5, 23}, {P, P, P, P, M, P, P, P}, true},
         {{6}, {P, P, P, P, M, P, M, P}, true},
         {{7, 8, 9, 10, 13, 14, 15, 22, 25}, {P, P, P, P, M, P, P, P}},
         {{11, 26}, {P, M, M, M, M, P, P, M}},
         {{12},
          {P, P, P, P, P, P, P, P},
          false,
          {"light_set_down_to_up_text", "light_set_up_to_down_text"}},
         {{16}, {P, P, P, P, M, P, M, P}},
         {{17}, {P, M, M, M, M, P, P, M}, false, {nullptr, nullptr, true, true}},
         {{18},
          {P, M, M, M, P, P, M, M},
          false,
          {"light_set_outside_to_inside_text", "light_set_inside_to_outside_text"}},
         {{19}, {P, M, P, P, M, P, M, P}, false, {nullptr, nullptr, true, false, true}},
         {{21},
          {P, P, P, P, P, P, P, P},
          false,
          {"light_set_up_to_down_text", "light_set_down_to_up_text"}},
         {{27}, {P, M, M, M, M, P, P, P}},
         {{28}, {P, M, M, M, M, M, M, P}, true},
         {{29}, {P, P, P, P, P, P, M, P}, false, {nullptr, nullptr, true, false, false, true}},
         {{30}, {P, M, M, M, M, P, M, M}}}};
    return table;
}

const LayoutTable& MouseTable() {
    static const LayoutTable table{9,
                                   {{{0, 5}, {P, P, P, P, P, P, P, K}},
                                    {{1}, {P, M, M, M, M, P, P, K}, true},
                                    {{2, 4, 6}, {P, P, P, P, M, P, P, K}, true},
                                    {{3}, {P, M, P, P, M, P, M, K}, true},
                                    {{7, 8}, {P, M, M, M, M, P, P, K}},
                                    {{9}, {P, M, M, M, M, M, M, K}, true},
                                    {{}, {P, M, M, M, M, M, M, K}}}};
    return table;
}

const LayoutTable& PadTable() {
    static const LayoutTable table{8,
                                   {{{0}, {P, P, P, P, P, P, P, K}},
                                    {{1}, {P, M, M, M, M, P, P, K}, true},
                                    {{2, 4}, {P, P, P, P, M, P, P, K}, true},
                                    {{3}, {P, M, P, P, M, P, M, K}, true},
                                    {{8}, {P, M, M, M, M, M, M, K}, true},
                                    {{}, {P, M, M, M, M, M, M, K}}}};
    return table;
}

const LayoutTable& Kind5Table() {
    static const LayoutTable table{5,
                                   {{{0, 2, 3}, {P, P, P, P, K, P, P, K}},
                                    {{1}, {P, M, P, P, K, P, M, K}},
                                    {{4}, {P, M, M, M, K, P, P, K}},
                                    {{}, {P, M, M, M, K, M, M, K}}}};
    return table;
}

const LayoutRow& RowOf(const LayoutTable& table, int mode) {
    const LayoutRow* fallback = &table.rows.front();
    for (const LayoutRow& row : table.rows) {
        if (row.modes.empty()) {
            fallback = &row;
            continue;
        }
        if (mode <= table.lastMode &&
            std::find(row.modes.begin(), row.modes.end(), mode) != row.modes.end())
            return row;
    }
    return *fallback;
}

std::uint32_t BkColourOf(const CControlUI* c) {
    return c != nullptr && c->GetBkColor().isValid() ? c->GetBkColor().rgba() : 0;
}

int ByteAt(std::uint32_t v, int i) {
    return static_cast<int>(v >> (8 * i) & 0xFF);
}

std::uint32_t Pack(std::initializer_list<int> bytes) {
    std::uint32_t v = 0;
    int shift = 0;
    for (int b : bytes) {
        v |= static_cast<std::uint32_t>(b & 0xFF) << shift;
        shift += 8;
    }
    return v;
}

}  // namespace

int ColourChannelOf(const QString& text) {
    return static_cast<int>(ParseLeadingInt(text.trimmed().toStdString(), 0, 255));
}

template <typename T>
T* CLightControlUI::Sub(const QString& name) const {
    auto it = cache_.constFind(name);
    CControlUI* c = nullptr;
    if (it != cache_.constEnd()) {
        c = it.value();
    } else {
        c = CPaintManagerUI::FindSubControlByName(this, name);
        if (c != nullptr)
            cache_.insert(name, c);
    }
    return dynamic_cast<T*>(c);
}

CControlUI* CLightControlUI::Row(const char* name) const {
    return CPaintManagerUI::FindSubControlByName(this, QLatin1String(name));
}

void CLightControlUI::Enable(const char* name, bool on) const {
    if (CControlUI* c = Row(name))
        c->SetEnabled(on);
}

void CLightControlUI::Show(const char* name, bool on) const {
    if (CControlUI* c = Row(name))
        c->SetVisible(on);
}

// ---- Effect list and LightInfo ----

void CLightControlUI::FillModeList(const std::vector<std::string>& names,
                                   const std::vector<std::uint8_t>& visible, int maxBrightness,
                                   int maxSpeed) {
    if (auto* combo = Sub<CComboUI>(kModeCombo)) {
        combo->RemoveAll();
        auto* view = qobject_cast<QListView*>(combo->view());
        auto* model = qobject_cast<QStandardItemModel*>(combo->model());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const QString key = QString::fromStdString(names[i]);
            const int row = combo->AddItem(key);
            combo->setItemData(row, CPaintManagerUI::ResolveText(GetManager(), key),
                               Qt::ToolTipRole);
            combo->setItemData(row, QSize(0, CPaintManagerUI::Scale(kItemHeight)),
                               Qt::SizeHintRole);
            const bool shown = i >= visible.size() || visible[i] != 0;
            if (view != nullptr)
                view->setRowHidden(row, !shown);
            // A hidden row must not come back through the keyboard or the wheel either.
            if (model != nullptr && model->item(row) != nullptr)
                model->item(row)->setEnabled(shown);
        }
    }
    if (auto* slider = Sub<CSliderUI>(kBrightness))
        slider->SetMaxValue(maxBrightness);
    if (auto* slider = Sub<CSliderUI>(kSpeed))
        slider->SetMaxValue(maxSpeed);
}

std::array<std::uint32_t, 4> CLightControlUI::PackLightInfo(const LightInfo& l) {
    return {Pack({l.selectItem, l.light, l.speed, l.fx}),
            Pack({l.multiColor, l.red, l.green, l.blue}),
            Pack({l.reserved1, l.reserved2, l.present, l.zzccLedMode}),
            Pack({l.customGroup, l.oldLedmode})};
}

void CLightControlUI::ShowLightInfo(const LightInfo& info) {
    const auto [a, b, c, d] = PackLightInfo(info);
    ShowLightInfo(a, b, c, d);
}

void CLightControlUI::ShowLightInfo(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                    std::uint32_t /*d*/) {
    const int mode = ByteAt(a, 0);
    SelectMode(mode);
    SetBrightness(ByteAt(a, 1));
    SetSpeed(ByteAt(a, 2));
    const int r = ByteAt(b, 1), g = ByteAt(b, 2), bl = ByteAt(b, 3);
    SetColourText(kRed, QString::number(r));
    SetColourText(kGreen, QString::number(g));
    SetColourText(kBlue, QString::number(bl));
    SetPaletteColour(Argb(r, g, bl));
    SetMulticolour(ByteAt(b, 0) != 0);
    SelectZoneMode(ByteAt(c, 3));
    SetDirection(ByteAt(a, 3));
    UpdateLayouts(mode);
}

// ---- Single controls ----

void CLightControlUI::SelectMode(int n) {
    if (auto* combo = Sub<CComboUI>(kModeCombo))
        combo->SelectItem(n, false, false);
    UpdateLayouts(n);
}

int CLightControlUI::GetMode() const {
    const auto* combo = Sub<CComboUI>(kModeCombo);
    return combo != nullptr ? combo->GetCurSel() : -1;
}

void CLightControlUI::SelectCustomMode(int n) {
    if (auto* combo = Sub<CComboUI>(kCustomCombo))
        combo->SelectItem(n, false, false);
}

int CLightControlUI::GetCustomMode() const {
    const auto* combo = Sub<CComboUI>(kCustomCombo);
    return combo != nullptr ? combo->GetCurSel() : -1;
}

void CLightControlUI::SelectZoneMode(int n) {
    if (auto* combo = Sub<CComboUI>(kZoneCombo))
        combo->SelectItem(n, false, false);
}

int CLightControlUI::GetZoneMode() const {
    const auto* combo = Sub<CComboUI>(kZoneCombo);
    return combo != nullptr ? combo->GetCurSel() : -1;
}

void CLightControlUI::SetBrightness(int v) {
    if (auto* slider = Sub<CSliderUI>(kBrightness))
        slider->SetValue(v);
}

int CLightControlUI::GetBrightness() const {
    const auto* slider = Sub<CSliderUI>(kBrightness);
    return slider != nullptr ? slider->GetValue() : 0;
}

void CLightControlUI::SetSpeed(int v) {
    if (auto* slider = Sub<CSliderUI>(kSpeed))
        slider->SetValue(v);
}

int CLightControlUI::GetSpeed() const {
    const auto* slider = Sub<CSliderUI>(kSpeed);
    return slider != nullptr ? slider->GetValue() : 0;
}

void CLightControlUI::SetColourText(int channel, const QString& text) {
    if (channel < kRed || channel > kBlue)
        return;
    if (CControlUI* edit = Sub(QLatin1String(kEdits[channel])))
        edit->SetText(text);
}

QString CLightControlUI::GetColourText(int channel) const {
    if (channel < kRed || channel > kBlue)
        return {};
    const CControlUI* edit = Sub(QLatin1String(kEdits[channel]));
    return edit != nullptr ? edit->GetText() : QString();
}

void CLightControlUI::SetPaletteColour(std::uint32_t argb) {
    if (auto* palette = Sub<CColorPaletteUI>(kPalette))
        palette->SetSelectColor(argb);
    if (CControlUI* button = Sub(kColourButton))
        button->SetBkColor(QColor::fromRgba(argb));
}

std::uint32_t CLightControlUI::GetPaletteColour() const {
    const auto* palette = Sub<CColorPaletteUI>(kPalette);
    return palette != nullptr ? palette->GetSelectColor() : 0xFF000000u;
}

std::uint32_t CLightControlUI::GetOptionColour(int n) const {
    return BkColourOf(Sub(QLatin1String(kSwatch) + QString::number(n)));
}

void CLightControlUI::SetMulticolour(bool on) {
    SetOn(Sub(kMulticolour), on);
}

bool CLightControlUI::GetMulticolour() const {
    return IsOn(Sub(kMulticolour));
}

void CLightControlUI::SetDirection(int flag) {
    SetOn(Sub(kFirstDirection), flag != 0);
    SetOn(Sub(kSecondDirection), flag == 0);
}

int CLightControlUI::GetDirection() const {
    return IsOn(Sub(kFirstDirection)) ? 1 : 0;
}

void CLightControlUI::SetSameModeAllowed(int flag) {
    sameModeAllowed_ = flag;
    UpdateLayouts(GetMode());
}

void CLightControlUI::ShowSameMode(bool show) {
    if (CControlUI* button = Sub(kSameMode))
        button->SetVisible(show && sameModeAllowed_ != 0);
}

void CLightControlUI::ShowMusicWaiting(bool on) {
    if (CControlUI* label = Sub("light_music_wait_label");
        label != nullptr && label->IsVisible() != on)
        label->SetVisible(on);
}

bool CLightControlUI::ShowsMusicWaiting() const {
    const CControlUI* label = Sub("light_music_wait_label");
    return label != nullptr && label->IsVisible();
}

// ---- Rows by device type and effect ----

void CLightControlUI::SetDirectionTexts(const char* first, const char* second) const {
    if (CControlUI* c = Sub(kFirstDirection))
        c->SetText(QLatin1String(first));
    if (CControlUI* c = Sub(kSecondDirection))
        c->SetText(QLatin1String(second));
}

void CLightControlUI::UpdateLayouts(int mode) {
    const LayoutTable* table = nullptr;
    switch (kind_) {
        case 1:
            table = &KeyboardTable();
            Show("lightcustom_layout", false);
            ShowSameMode(false);
            Enable("deng_fx_layout", true);
            Show("deng_speed_layout", true);
            Show("light_combo_ZZCCmodeSelectLayout", false);
            Enable("light_color_layout", true);
            SetDirectionTexts("light_set_right_to_left_text", "light_set_left_to_right_text");
            Show("light_combo_AudiomodeSelectLayout", false);
            if (auto* tabs = dynamic_cast<CTabLayoutUI*>(Row("light_color_tablayout")))
                tabs->SelectItem(0);
            break;
        case 2:
        case 3:
        case 4:
        case 7:
            table = kind_ == 2 ? &MouseTable() : &PadTable();
            ShowSameMode(false);
            Enable("deng_fx_layout", true);
            break;
        case 5:
            table = &Kind5Table();
            break;
        default:
            return;
    }
    const LayoutRow& row = RowOf(*table, mode);
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        if (row.cells[i] != kKeep)
            Enable(kColumns[i], row.cells[i] == kOn);
    }
    if (row.same)
        ShowSameMode(true);
    const Extra& x = row.extra;
    if (x.firstText != nullptr)
        SetDirectionTexts(x.firstText, x.secondText);
    if (x.hideSpeed)
        Show("deng_speed_layout", false);
    if (x.showZone)
        Show("light_combo_ZZCCmodeSelectLayout", true);
    if (x.showCustom)
        Show("lightcustom_layout", true);
    if (x.showAudio) {
        Show("light_combo_AudiomodeSelectLayout", true);
        if (auto* tabs = dynamic_cast<CTabLayoutUI*>(Row("light_color_tablayout")))
            tabs->SelectItem(1);
    }
}

// ---- Music lighting ----

std::array<std::uint32_t, 2> CLightControlUI::PackAudioLightInfo(const AudioLightInfo& i) {
    return {Pack({i.audioMode, i.bkColorR, i.bkColorG, i.bkColorB}),
            Pack({i.fgColorR, i.fgColorG, i.fgColorB, i.sevenColorFlags})};
}

void CLightControlUI::ShowAudioLightInfo(const AudioLightInfo& info) {
    const auto [a, b] = PackAudioLightInfo(info);
    ShowAudioLightInfo(a, b, info.colorTypeFlags);
}

void CLightControlUI::ShowAudioLightInfo(std::uint32_t a, std::uint32_t b, int editing) {
    auto* combo = Sub<CComboUI>(kAudioCombo);
    CControlUI* background = Sub(kAudioBackground);
    CControlUI* foreground = Sub(kAudioForeground);
    CControlUI* multicolour = Sub(kAudioMulticolour);
    auto* palette = Sub<CColorPaletteUI>(kAudioPalette);
    CControlUI* button = Sub(kAudioColourButton);
    CControlUI* colours = Sub(kAudioColourLayout);
    CControlUI* paletteRow = Sub(kAudioPaletteLayout);
    std::array<CControlUI*, 3> edits{};
    for (int i = 0; i < 3; ++i)
        edits[static_cast<std::size_t>(i)] = Sub(QLatin1String(kAudioEdits[i]));
    if (!combo || !background || !foreground || !multicolour || !palette || !button || !colours ||
        !paletteRow || std::find(edits.begin(), edits.end(), nullptr) != edits.end()) {
        // A layout without the music controls is a packaging fault: say so, keep running.
        DebugLog(" SetAudioLightInfo control is NULL\n");
        return;
    }
    audio_ = AudioLightInfo{
        static_cast<std::uint8_t>(ByteAt(a, 0)), static_cast<std::uint8_t>(ByteAt(a, 1)),
        static_cast<std::uint8_t>(ByteAt(a, 2)), static_cast<std::uint8_t>(ByteAt(a, 3)),
        static_cast<std::uint8_t>(ByteAt(b, 0)), static_cast<std::uint8_t>(ByteAt(b, 1)),
        static_cast<std::uint8_t>(ByteAt(b, 2)), static_cast<std::uint8_t>(ByteAt(b, 3)),
        static_cast<std::uint8_t>(editing)};
    const int mode = ByteAt(a, 0);
    combo->SelectItem(mode, false, false);
    std::array<int, 3> rgb{};
    if (editing == 1) {
        rgb = {ByteAt(b, 0), ByteAt(b, 1), ByteAt(b, 2)};
        SetOn(background, false);
        SetOn(foreground, true);
        SetOn(multicolour, ByteAt(b, 3) != 0);
    } else {
        rgb = {ByteAt(a, 1), ByteAt(a, 2), ByteAt(a, 3)};
        SetOn(foreground, false);
        SetOn(background, true);
    }
    for (std::size_t i = 0; i < 3; ++i)
        edits[i]->SetText(QString::number(rgb[i]));
    const std::uint32_t colour = Argb(rgb[0], rgb[1], rgb[2]);
    palette->SetSelectColor(colour);
    button->SetBkColor(QColor::fromRgba(colour));
    colours->SetEnabled(mode != kAudioModeOwnColours);
    paletteRow->SetEnabled(mode != kAudioModeOwnColours);
}

AudioLightInfo CLightControlUI::ReadAudioLightInfo(bool takeColour) {
    const auto* combo = Sub<CComboUI>(kAudioCombo);
    const CControlUI* background = Sub(kAudioBackground);
    const CControlUI* foreground = Sub(kAudioForeground);
    const CControlUI* multicolour = Sub(kAudioMulticolour);
    if (!combo || !background || !foreground || !multicolour) {
        DebugLog("GetAudioLightInfo control is NULL\n");
        return audio_;
    }
    audio_.audioMode = static_cast<std::uint8_t>(std::max(combo->GetCurSel(), 0));
    audio_.sevenColorFlags = IsOn(multicolour) ? 1 : 0;
    const bool bk = IsOn(background);
    const bool fg = IsOn(foreground);
    if (audio_.colorTypeFlags == 1)
        audio_.colorTypeFlags = bk ? 0 : 1;
    else
        audio_.colorTypeFlags = bk && !fg ? 0 : 1;
    if (takeColour) {
        const CControlUI* button = Sub(kAudioColourButton);
        if (button == nullptr) {
            DebugLog("GetLightAudioColor control is NULL\n");
            return audio_;
        }
        const std::uint32_t c = BkColourOf(button);
        const auto r = static_cast<std::uint8_t>(ByteAt(c, 2));
        const auto g = static_cast<std::uint8_t>(ByteAt(c, 1));
        const auto b = static_cast<std::uint8_t>(ByteAt(c, 0));
        if (audio_.colorTypeFlags == 1) {
            audio_.fgColorR = r, audio_.fgColorG = g, audio_.fgColorB = b;
        } else {
            audio_.bkColorR = r, audio_.bkColorG = g, audio_.bkColorB = b;
        }
    }
    return audio_;
}

std::uint32_t CLightControlUI::GetAudioOptionColour(int n) const {
    return BkColourOf(Sub(QLatin1String(kAudioSwatch) + QString::number(n)));
}

std::uint32_t CLightControlUI::GetAudioPaletteColour() const {
    const auto* palette = Sub<CColorPaletteUI>(kAudioPalette);
    return palette != nullptr ? palette->GetSelectColor() : 0xFF000000u;
}

QString CLightControlUI::GetAudioColourText(int i) const {
    if (i < 0 || i > 2)
        return {};
    const CControlUI* edit = Sub(QLatin1String(kAudioEdits[i]));
    return edit != nullptr ? edit->GetText() : QString();
}

}  // namespace morva::ui
