// The mouse page's lighting panel in the main window on the simulated bus: each choice
// reaches the profile file, the mouse's setting block and the preview; the rows follow the
// effect; the music colours go into the profile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QSettings>
#include <QTest>

#include <array>
#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/sim_window.h"
#include "device/models/mouse_device.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/pages/mouse_page.h"
#include "ui/panels/color_palette.h"
#include "ui/panels/light_control.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;
using ui::CLightControlUI;

// The rows UpdateLayouts switches, in the order of the layout tables.
const char* const kRows[] = {"lighteffect_layout", "deng_7color_check", "deng_color_layout",
                             "colorpallet_layout", "deng_fx_layout",    "deng_light_layout",
                             "deng_speed_layout"};

class LightPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start({Link::Mouse}));
        bus_ = sim_.bus.get();
        window_ = sim_.window.get();
        devices_ = sim_.devices;
        page_ = dynamic_cast<ui::CMousePageUI*>(devices_->PageOfKind(kKindMouse));
        ASSERT_NE(page_, nullptr);
        panel_ = page_->LightPanel();
        ASSERT_NE(panel_, nullptr);
        ASSERT_TRUE(sim_.ConnectMouse());
    }

    CTessaronMouseDevice& Mouse() { return page_->Mouse(); }
    template <typename T = CControlUI>
    T* Find(const QString& name) const {
        return dynamic_cast<T*>(ui::CPaintManagerUI::FindSubControlByName(panel_, name));
    }
    bool Route(const char* type, CControlUI* sender) {
        return window_->Route(ui::TNotifyUI{QString::fromLatin1(type), sender, 0, 0});
    }
    std::vector<std::uint8_t> Setting() {
        return bus_->Firmware(Product::Mouse).ReadArea(sim::Area::Setting);
    }
    CMouseProfiledata Saved() {
        CMouseProfiledata saved;
        saved.LoadDocument(Mouse().GetProfilePath());
        return saved;
    }
    LightInfo SavedLight() { return Saved().ReadLightInfo(); }
    AudioLightInfo SavedAudio() { return Saved().ReadAudioLightInfo(); }

    void ChooseMode(int n) {
        auto* combo = Find<ui::CComboUI>("light_combo_modeSelect");
        ASSERT_NE(combo, nullptr);
        combo->SelectItem(n, false, false);
        Route("itemselect", combo);
    }
    void Slide(const char* name, int v) {
        auto* slider = Find<ui::CSliderUI>(name);
        ASSERT_NE(slider, nullptr);
        slider->SetValue(v);
        Route("valuechanged", slider);
    }
    void Check(const char* name, bool on) {
        CControlUI* c = Find(name);
        ASSERT_NE(c, nullptr);
        if (auto* option = dynamic_cast<ui::COptionUI*>(c))
            option->Selected(on, false);
        else
            dynamic_cast<ui::CCheckBoxUI*>(c)->Selected(on, false);
        Route("selectchanged", c);
    }
    void Type(const char* edit, const QString& text) {
        CControlUI* c = Find(edit);
        ASSERT_NE(c, nullptr);
        c->SetText(text);
        Route("killfocus", c);
    }
    bool Enabled(const char* name) const {
        const CControlUI* c = Find(name);
        return c != nullptr && c->IsEnabled();
    }
    bool Shown(const char* name) const {
        const CControlUI* c = Find(name);
        return c != nullptr && c->IsVisible();
    }
    // Enabled state of the table's rows, and whether the same-mode button shows.
    std::string RowStates() const {
        std::string s;
        for (const char* row : kRows)
            s += Enabled(row) ? '+' : '-';
        return s + (Shown("deng_same_mode") ? " same" : "");
    }
    static std::uint32_t Rgb(const LightInfo& l) {
        return CLightControlUI::Argb(l.red, l.green, l.blue);
    }

    test::SimWindow sim_;
    test::TempDir& dir_ = sim_.dir;
    sim::SimBus* bus_ = nullptr;
    CMainWnd* window_ = nullptr;
    CDeviceManager* devices_ = nullptr;
    ui::CMousePageUI* page_ = nullptr;
    CLightControlUI* panel_ = nullptr;
};

TEST_F(LightPanelTest, EffectBrightnessSpeedAndDirectionReachProfileMouseAndPreview) {
    EXPECT_EQ(panel_->PanelKind(), kDeviceTypeMouse);
    ChooseMode(3);
    EXPECT_EQ(Mouse().LightState().selectItem, 3);
    EXPECT_EQ(SavedLight().selectItem, 3);
    EXPECT_EQ(Setting()[1], Mouse().LightModeCode(3));

    Slide("deng_light_slider", 1);
    Slide("deng_speed_slider", 1);
    EXPECT_EQ(SavedLight().light, 1);
    EXPECT_EQ(SavedLight().speed, 1);
    EXPECT_EQ(Setting()[2], 1);
    EXPECT_EQ(Setting()[3], 4 - 1);  // the mouse counts speed the other way round

    Check("deng_FXR_check", true);
    EXPECT_EQ(SavedLight().fx, 0);
    EXPECT_EQ(Setting()[4], 0);
    EXPECT_FALSE(Find<ui::COptionUI>("deng_FXL_check")->IsSelected());
    Check("deng_FXL_check", true);
    EXPECT_EQ(SavedLight().fx, 1);
    EXPECT_EQ(Setting()[4], 1);

    // The swatch's colour on a static effect: every LED of the preview shows it.
    const std::uint32_t swatch = panel_->GetOptionColour(2);
    ASSERT_NE(swatch, 0u);
    Route("click", Find("color_option_2"));
    const LightInfo saved = SavedLight();
    EXPECT_EQ(Rgb(saved), swatch);
    EXPECT_EQ(Setting()[6], saved.red);
    EXPECT_EQ(Setting()[7], saved.green);
    EXPECT_EQ(Setting()[8], saved.blue);
    Mouse().EffectStatic();
    const std::uint32_t dim = Mouse().GetLedColour(0);
    const std::uint32_t bgr = saved.red | saved.green << 8 | saved.blue << 16;
    EXPECT_EQ(dim & 0xFFFFFFu, bgr);
    EXPECT_EQ(Mouse().GetLedColour(Mouse().LedCount() - 1) & 0xFFFFFFu, bgr);
    Slide("deng_light_slider", 4);
    Mouse().EffectStatic();
    EXPECT_GT(Mouse().GetLedColour(0) >> 24, dim >> 24);  // brighter
    // Later changes keep the earlier ones.
    EXPECT_EQ(SavedLight().selectItem, 3);
    EXPECT_EQ(SavedLight().speed, 1);
    EXPECT_EQ(SavedLight().fx, 1);
}

TEST_F(LightPanelTest, ColourEditsClampRewriteAndSwitchMulticolourOff) {
    ChooseMode(0);
    Check("deng_7color_check", true);
    EXPECT_EQ(SavedLight().multiColor, 1);
    EXPECT_EQ(Setting()[5], 1);

    Type("deng_edit_R", "12");
    Type("deng_edit_G", "300");
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kGreen), "255");
    LightInfo saved = SavedLight();
    EXPECT_EQ(saved.green, 255);
    EXPECT_EQ(saved.red, 12);
    EXPECT_EQ(saved.multiColor, 0);
    EXPECT_FALSE(panel_->GetMulticolour());
    EXPECT_EQ(Setting()[5], 0);
    EXPECT_EQ(Setting()[7], 255);

    Type("deng_edit_B", "");
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kBlue), "0");
    EXPECT_EQ(SavedLight().blue, 0);
    Type("deng_edit_B", "7x");  // the number the text starts with
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kBlue), "7");
    Type("deng_edit_R", "-4");
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kRed), "0");
    saved = SavedLight();
    EXPECT_EQ(saved.red, 0);
    EXPECT_EQ(saved.blue, 7);
    // The palette and the colour button follow the edits.
    EXPECT_EQ(panel_->GetPaletteColour(), CLightControlUI::Argb(0, 255, 7));
    EXPECT_EQ(Find("deng_colordp_btn")->GetBkColor().rgba(), CLightControlUI::Argb(0, 255, 7));
}

TEST_F(LightPanelTest, SwatchKeepsSynchronisedLightingOtherChoicesEndIt) {
    std::atomic<bool>& external = Mouse().CommandChannel().externalColour;
    external = true;
    Route("click", Find("color_option_5"));
    EXPECT_TRUE(external);
    EXPECT_EQ(Rgb(SavedLight()), panel_->GetOptionColour(5));

    auto* palette = Find<ui::CColorPaletteUI>("deng_Color_Pallet");
    ASSERT_NE(palette, nullptr);
    palette->SetSelectColor(0xFF204060u);
    const std::uint32_t picked = palette->GetSelectColor();
    Route("colorchanged", palette);
    EXPECT_FALSE(external);
    EXPECT_EQ(Rgb(SavedLight()), picked);
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kRed), QString::number(picked >> 16 & 0xFF));

    for (const auto& step : std::vector<std::function<void()>>{
             [&] { ChooseMode(2); }, [&] { Slide("deng_speed_slider", 3); },
             [&] { Check("deng_7color_check", true); }, [&] { Type("deng_edit_R", "9"); }}) {
        external = true;
        step();
        EXPECT_FALSE(external);
    }
}

TEST_F(LightPanelTest, PaletteTurnsPointsIntoColours) {
    auto* palette = Find<ui::CColorPaletteUI>("deng_Color_Pallet");
    ASSERT_NE(palette, nullptr);
    palette->SetSelectColor(0xFF00FF00u);
    EXPECT_EQ(palette->GetSelectColor(), 0xFF00FF00u);
    // Black keeps the hue: raising the brightness again gives the colour back.
    palette->SetSelectColor(0xFF000000u);
    EXPECT_EQ(palette->GetSelectColor(), 0xFF000000u);
    palette->resize(301, 120);  // hue steps of 1/300 across
    const QRect strip = palette->StripRect();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(strip.right(), strip.center().y()));
    EXPECT_EQ(palette->GetSelectColor(), 0xFF00FF00u);
    // Along the top row the hues run red, green, blue; the bottom row is white.
    const QRect field = palette->FieldRect();
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(field.left() + 200, field.top()));
    EXPECT_EQ(palette->GetSelectColor(), 0xFF0000FFu);
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(field.center().x(), field.bottom()));
    EXPECT_EQ(palette->GetSelectColor(), 0xFFFFFFFFu);
    // A click goes on to the device like any pick.
    EXPECT_EQ(Rgb(SavedLight()), 0xFFFFFFFFu);
}

TEST_F(LightPanelTest, MouseRowsFollowTheEffect) {
    panel_->SetSameModeAllowed(1);
    ChooseMode(9);
    EXPECT_EQ(RowStates(), "+------ same");
    EXPECT_EQ(Setting()[1], Mouse().LightModeCode(9));
    panel_->SetSameModeAllowed(0);
    EXPECT_EQ(RowStates(), "+------");

    panel_->SetSameModeAllowed(1);
    const std::vector<std::pair<int, std::string>> rows = {
        {0, "+++++++"},      {1, "+----++ same"}, {2, "++++-++ same"}, {3, "+-++-+- same"},
        {4, "++++-++ same"}, {5, "+++++++"},      {6, "++++-++ same"}, {7, "+----++"},
        {8, "+----++"},      {10, "+------"},     {200, "+------"}};
    for (const auto& [mode, expected] : rows) {
        panel_->UpdateLayouts(mode);
        EXPECT_EQ(RowStates(), expected) << "mode " << mode;
    }
    // The mouse leaves the colour page's row alone; the keyboard switches it.
    Find("light_color_layout")->SetEnabled(false);
    panel_->UpdateLayouts(0);
    EXPECT_FALSE(Enabled("light_color_layout"));
    panel_->SetPanelKind(1);
    panel_->UpdateLayouts(1);
    EXPECT_TRUE(Enabled("light_color_layout"));
}

TEST_F(LightPanelTest, OtherDeviceTablesSwitchTheirExtras) {
    panel_->SetPanelKind(1);
    panel_->UpdateLayouts(17);
    EXPECT_TRUE(Shown("light_combo_ZZCCmodeSelectLayout"));
    EXPECT_FALSE(Shown("deng_speed_layout"));
    panel_->UpdateLayouts(29);
    EXPECT_FALSE(Shown("light_combo_ZZCCmodeSelectLayout"));
    EXPECT_TRUE(Shown("light_combo_AudiomodeSelectLayout"));
    EXPECT_EQ(Find<ui::CTabLayoutUI>("light_color_tablayout")->GetCurSel(), 1);
    panel_->UpdateLayouts(18);
    EXPECT_EQ(Find("deng_FXL_check")->GetTextKey(), "light_set_outside_to_inside_text");
    EXPECT_EQ(RowStates(), "+---++-");
    panel_->UpdateLayouts(31);  // beyond the table: the first row, and everything reset
    EXPECT_EQ(RowStates(), "+------");
    EXPECT_TRUE(Shown("deng_speed_layout"));
    EXPECT_FALSE(Shown("light_combo_AudiomodeSelectLayout"));
    EXPECT_EQ(Find<ui::CTabLayoutUI>("light_color_tablayout")->GetCurSel(), 0);
    EXPECT_EQ(Find("deng_FXL_check")->GetTextKey(), "light_set_right_to_left_text");

    panel_->SetPanelKind(3);
    panel_->UpdateLayouts(8);
    EXPECT_EQ(RowStates(), "+------");
    panel_->UpdateLayouts(5);
    EXPECT_EQ(RowStates(), "+------");
    panel_->SetPanelKind(5);  // never touches the direction row
    Find("deng_fx_layout")->SetEnabled(false);
    panel_->UpdateLayouts(0);
    EXPECT_EQ(RowStates(), "++++-++");
}

TEST_F(LightPanelTest, ModeListOffersOnlyVisibleEffects) {
    auto* combo = Find<ui::CComboUI>("light_combo_modeSelect");
    ASSERT_NE(combo, nullptr);
    const CDeviceDefaultData& data = Mouse().DefaultData();
    ASSERT_EQ(combo->GetCount(), static_cast<int>(data.lightModeNames.size()));
    auto* view = qobject_cast<QListView*>(combo->view());
    ASSERT_NE(view, nullptr);
    for (int i = 0; i < combo->GetCount(); ++i) {
        EXPECT_EQ(combo->GetItemTextKey(i).toStdString(), data.lightModeNames[i]);
        EXPECT_EQ(view->isRowHidden(i), data.lightModeVisible[i] == 0) << i;
    }

    panel_->FillModeList({"light_mode_wave", "light_mode_reserved", "light_mode_off"}, {1, 0, 1}, 3,
                         2);
    ASSERT_EQ(combo->GetCount(), 3);
    EXPECT_FALSE(view->isRowHidden(0));
    EXPECT_TRUE(view->isRowHidden(1));
    EXPECT_FALSE(view->isRowHidden(2));
    EXPECT_EQ(combo->itemData(0, Qt::ToolTipRole).toString(), combo->GetItemText(0));
    EXPECT_EQ(Find<ui::CSliderUI>("deng_light_slider")->GetMaxValue(), 3);
    EXPECT_EQ(Find<ui::CSliderUI>("deng_speed_slider")->GetMaxValue(), 2);
}

TEST_F(LightPanelTest, PageShowsTheModelsLightState) {
    LightInfo l;
    l.selectItem = 2, l.light = 3, l.speed = 1, l.fx = 0, l.multiColor = 1;
    l.red = 10, l.green = 20, l.blue = 30;
    Mouse().Profile().WriteLightInfo(l);
    Mouse().ApplyLightSettings();
    Mouse().RefreshPage();
    QCoreApplication::processEvents();
    EXPECT_EQ(panel_->GetMode(), 2);
    EXPECT_EQ(panel_->GetBrightness(), 3);
    EXPECT_EQ(panel_->GetSpeed(), 1);
    EXPECT_EQ(panel_->GetDirection(), 0);
    EXPECT_TRUE(panel_->GetMulticolour());
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kRed), "10");
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kGreen), "20");
    EXPECT_EQ(panel_->GetColourText(CLightControlUI::kBlue), "30");
    EXPECT_EQ(panel_->GetPaletteColour(), CLightControlUI::Argb(10, 20, 30));
    EXPECT_EQ(RowStates(), "++++-++");  // mode 2's row

    const auto packed = CLightControlUI::PackLightInfo(l);
    EXPECT_EQ(packed[0], 2u | 3u << 8 | 1u << 16);
    EXPECT_EQ(packed[1], 1u | 10u << 8 | 20u << 16 | 30u << 24);
}

TEST_F(LightPanelTest, MusicColoursGoToTheEditedColour) {
    auto* palette = Find<ui::CColorPaletteUI>("deng_audioColor_Pallet");
    ASSERT_NE(palette, nullptr);
    Check("audio_FgColor_check", true);
    palette->SetSelectColor(0xFF112233u);
    Route("colorchanged", palette);
    AudioLightInfo saved = SavedAudio();
    EXPECT_EQ(CLightControlUI::Argb(saved.fgColorR, saved.fgColorG, saved.fgColorB), 0xFF112233u);
    EXPECT_EQ(Mouse().GetLightSelection()[1] & 0xFFFFFF, 0x332211);
    EXPECT_EQ(Mouse().GetLightSelection()[2], 1);

    // Background: the controls now show the background, and choices go there.
    Check("audio_BkColor_check", true);
    EXPECT_EQ(Mouse().GetLightSelection()[2], 0);
    EXPECT_EQ(Find("deng_audioedit_R")->GetText(), QString::number(saved.bkColorR));
    const std::uint32_t swatch = panel_->GetAudioOptionColour(4);
    Route("click", Find("audiocolor_option_4"));
    saved = SavedAudio();
    EXPECT_EQ(CLightControlUI::Argb(saved.bkColorR, saved.bkColorG, saved.bkColorB), swatch);
    EXPECT_EQ(CLightControlUI::Argb(saved.fgColorR, saved.fgColorG, saved.fgColorB), 0xFF112233u);
    Type("deng_audioedit_G", "999");
    EXPECT_EQ(SavedAudio().bkColorG, 255);
    EXPECT_EQ(SavedAudio().fgColorG, 0x22);

    // Foreground multicolour is switched off by a foreground swatch.
    Check("audio_FgColor_check", true);
    Check("deng_7audiocolor_check", true);
    EXPECT_EQ(SavedAudio().sevenColorFlags, 1);
    Route("click", Find("audiocolor_option_0"));
    EXPECT_EQ(SavedAudio().sevenColorFlags, 0);

    // The music mode whose colours come from the music locks the colour rows.
    auto* modes = Find<ui::CComboUI>("light_combo_audiomodeSelect");
    modes->SelectItem(3, false, false);
    Route("itemselect", modes);
    EXPECT_EQ(SavedAudio().audioMode, 3);
    EXPECT_FALSE(Enabled("light_audiocolor_layout"));
    EXPECT_FALSE(Enabled("audiocolorpallet_layout"));
    modes->SelectItem(1, false, false);
    Route("itemselect", modes);
    EXPECT_TRUE(Enabled("light_audiocolor_layout"));
}

TEST_F(LightPanelTest, MusicEditingFlagFollowsTheChecks) {
    panel_->ShowAudioLightInfo(0x03020100u, 0x00060504u, 0);
    EXPECT_TRUE(Find<ui::COptionUI>("audio_BkColor_check")->IsSelected());
    EXPECT_EQ(Find("deng_audioedit_B")->GetText(), "3");
    EXPECT_EQ(panel_->ReadAudioLightInfo(false).colorTypeFlags, 0);
    // Neither check: the foreground is edited.
    Find<ui::COptionUI>("audio_BkColor_check")->Selected(false, false);
    EXPECT_EQ(panel_->ReadAudioLightInfo(false).colorTypeFlags, 1);
    // Taking the colour button's colour into the foreground leaves the background alone.
    Find("deng_audiocolordp_btn")->SetBkColor(QColor::fromRgba(0xFF0A0B0Cu));
    const AudioLightInfo r = panel_->ReadAudioLightInfo(true);
    EXPECT_EQ(CLightControlUI::Argb(r.fgColorR, r.fgColorG, r.fgColorB), 0xFF0A0B0Cu);
    EXPECT_EQ(CLightControlUI::Argb(r.bkColorR, r.bkColorG, r.bkColorB), 0xFF010203u);
    EXPECT_EQ(panel_->GetAudioColourText(3), "");
}

}  // namespace
}  // namespace morva::app
