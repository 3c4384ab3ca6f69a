// The headset's voice changer and sound panels built from their shipped layouts in a window
// of their own: numbered choices at their edges, setters that never notify, getters of a
// panel without controls, and both panels fitting their page area in each language.
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "app/fit_check.h"
#include "app/sim_window.h"
#include "ui/panels/magic_control.h"
#include "ui/panels/voice6533_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit_test_support.h"

namespace morva::app {
namespace {

using ui::CMagicControlUI;
using ui::CVoice6533ControlUI;

constexpr char kMagicLayout[] = "XML/CustomControlXML/MagicControl.xml";
constexpr char kVoiceLayout[] = "XML/CustomControlXML/Voice6533Control.xml";

class SoundPanelsTest : public ::testing::Test {
protected:
    // The main window brings the program's resources, fonts and languages.
    void SetUp() override { ASSERT_TRUE(sim_.Start({})); }

    // The page area the headset gives its panels, at 96 DPI.
    template <typename T>
    T* Show(const char* layout) {
        window_ = std::make_unique<ui::test::TestWindow>(QLatin1String(layout));
        window_->ShowWindow();
        window_->resize(940, 400);
        QCoreApplication::processEvents();
        window_->notes.clear();  // the window's own start-up
        return dynamic_cast<T*>(window_->GetRoot());
    }
    // The one selected option of 1..n; 0 for none, -1 for several.
    int Selected(const char* prefix, int n) const {
        int on = 0;
        for (int i = 1; i <= n; ++i)
            if (ui::IsOn(window_->FindControl(QLatin1String(prefix) + QString::number(i))))
                on = on == 0 ? i : -1;
        return on;
    }
    bool Enabled(const char* name) const {
        return window_->FindControl(QLatin1String(name))->IsEnabled();
    }

    test::SimWindow sim_;
    std::unique_ptr<ui::test::TestWindow> window_;
};

TEST_F(SoundPanelsTest, NumberedChoicesShowOneOptionOrNoneAndNeverNotify) {
    using Case = std::pair<int, int>;  // asked, shown
    auto* voice = Show<CVoice6533ControlUI>(kVoiceLayout);
    ASSERT_NE(voice, nullptr);
    for (const auto& [n, shown] :
         {Case{13, 13}, Case{1, 1}, Case{14, 0}, Case{12, 12}, Case{0, 0}, Case{-1, 0}}) {
        voice->ShowEqPreset(n);
        EXPECT_EQ(voice->ShownPreset(), shown) << n;
        EXPECT_EQ(Selected("6533_eq_option_", 13), shown) << n;
    }
    EXPECT_TRUE(window_->notes.empty()) << window_->Trace().join(u' ').toStdString();

    auto* magic = Show<CMagicControlUI>(kMagicLayout);
    ASSERT_NE(magic, nullptr);
    for (const auto& [n, shown] : {Case{4, 4}, Case{5, 0}, Case{1, 1}, Case{0, 0}}) {
        magic->SelectVoiceEffect(n);
        EXPECT_EQ(magic->ShownEffect(), shown) << n;
        EXPECT_EQ(Selected("magic_option_", 4), shown) << n;
    }
    for (const bool on : {true, false}) {
        magic->SetVoiceChangerOn(on);
        EXPECT_EQ(magic->IsVoiceChangerOn(), on ? 1 : 0);
        EXPECT_EQ(Enabled("magic_option_layout"), on);
    }
    EXPECT_TRUE(window_->notes.empty()) << window_->Trace().join(u' ').toStdString();
}

TEST_F(SoundPanelsTest, SoundSettersAreSilentAndReadBackAsSet) {
    auto* voice = Show<CVoice6533ControlUI>(kVoiceLayout);
    ASSERT_NE(voice, nullptr);
    voice->SetMicOption(true);
    voice->SetMonitorOption(false);
    voice->SetMicSlider(42);
    // The presets reach both ends of the band range.
    voice->SetBandSlider(0, -13);
    voice->SetBandSlider(9, 18);
    EXPECT_TRUE(ui::IsOn(window_->FindControl(QStringLiteral("6533_MicIn_option"))));
    EXPECT_FALSE(ui::IsOn(window_->FindControl(QStringLiteral("6533_MicMoniter_option"))));
    EXPECT_EQ(voice->GetMicSlider(), 42);
    EXPECT_EQ(voice->GetBandSlider(0), -13);
    EXPECT_EQ(voice->GetBandSlider(9), 18);
    EXPECT_EQ(voice->GetBandSlider(10), -1);
    // A curve named like a language key keeps its name.
    for (const char* name : {"Mine", "hs_eq_save", "Late"})
        voice->AddCustomName(QLatin1String(name));
    auto* combo =
        dynamic_cast<ui::CComboUI*>(window_->FindControl(QStringLiteral("custom_eq_name_combo")));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->GetItemText(1), "hs_eq_save");
    EXPECT_EQ(voice->GetCustomName(1), "hs_eq_save");
    voice->SetCustomNameText(QStringLiteral("typed"));
    EXPECT_EQ(voice->GetCustomNameText(), "typed");
    voice->SelectCustom(2);
    EXPECT_EQ(voice->GetCustomSelection(), 2);
    EXPECT_EQ(voice->GetCustomNameText(), "") << "choosing a curve clears the name";
    voice->RemoveCustomAt(0);
    EXPECT_EQ(voice->GetCustomCount(), 2);
    for (const bool on : {true, false}) {
        voice->SetCustomAreaEnabled(on);
        EXPECT_EQ(Enabled("custom_eq_option_layout"), on);
    }
    voice->RemoveAllCustom();
    EXPECT_EQ(voice->GetCustomCount(), 0);
    EXPECT_EQ(voice->GetCustomSelection(), -1);
    EXPECT_TRUE(window_->notes.empty()) << window_->Trace().join(u' ').toStdString();
}

TEST_F(SoundPanelsTest, PanelsWithoutTheirControlsGiveEmptyValues) {
    CMagicControlUI magic;
    magic.SetVoiceChangerOn(true);
    EXPECT_EQ(magic.IsVoiceChangerOn(), 0);
    CVoice6533ControlUI voice;
    voice.AddCustomName(QStringLiteral("x"));
    EXPECT_EQ(voice.GetMicSlider(), -1);
    EXPECT_EQ(voice.GetBandSlider(0), -1);
    EXPECT_EQ(voice.GetCustomSelection(), -1);
    EXPECT_EQ(voice.GetCustomCount(), 0);
    EXPECT_EQ(voice.GetCustomName(0), "");
    EXPECT_EQ(voice.GetCustomNameText(), "");
}

TEST_F(SoundPanelsTest, BothPanelsFitThePageAreaInEveryLanguage) {
    for (int language = 0; language < sim_.language->Entries().size(); ++language) {
        sim_.window->ApplyLanguage(language);
        for (const char* layout : {kMagicLayout, kVoiceLayout}) {
            ASSERT_NE(Show<ui::CControlUI>(layout), nullptr) << layout;
            for (const test::FitProblem& p : test::FindFitProblems(window_.get()))
                ADD_FAILURE() << language << " " << layout << ": " << p.control.toStdString() << " "
                              << p.problem.toStdString() << " " << p.detail.toStdString();
        }
    }
}

}  // namespace
}  // namespace morva::app
