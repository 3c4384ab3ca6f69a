// The headset page in the main window on the simulated headset: the sound panels' input
// reaches the model and the audio store through the window's router, and what the audio back
// end cannot do is shown unavailable.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/sim_window.h"
#include "box_answers.h"
#include "sim/audio_store.h"
#include "ui/pages/headset_page.h"
#include "ui/panels/magic_control.h"
#include "ui/panels/voice6533_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::app {
namespace {

using sim::Link;

class HeadsetPageTest : public ::testing::Test {
protected:
    ui::CHeadsetPageUI* Open() {
        if (!sim_.Start({Link::Headset}))
            return nullptr;
        sim_.devices->PollDevicesOnce();
        QCoreApplication::processEvents();
        auto* page = dynamic_cast<ui::CHeadsetPageUI*>(sim_.devices->PageOfKind(kKindHeadset));
        if (page == nullptr || !sim_.FireEntryTimer(page->TabEntry(), kEntryTimerStartup))
            return nullptr;
        QCoreApplication::processEvents();
        page->Headset().StopLightThread();
        page_ = page;
        return page;
    }
    ui::CControlUI* Find(const QString& name) const {
        return ui::CPaintManagerUI::FindSubControlByName(page_, name);
    }
    void Click(const QString& option) {
        auto* o = dynamic_cast<ui::COptionUI*>(Find(option));
        ASSERT_NE(o, nullptr) << option.toStdString();
        o->Selected(!o->IsSelected(), false);
        sim_.Route("selectchanged", o);
    }
    void Slide(const QString& slider, int value) {
        auto* s = dynamic_cast<ui::CSliderUI*>(Find(slider));
        ASSERT_NE(s, nullptr) << slider.toStdString();
        s->SetValue(value);
        sim_.Route("valuechanged", s);
    }
    QString Text(const char* key) const { return sim_.language->Text(QLatin1String(key)); }

    test::SimWindow sim_;
    ui::CHeadsetPageUI* page_ = nullptr;
};

TEST_F(HeadsetPageTest, SoundPanelsDriveTheHeadsetThroughTheWindow) {
    ui::CHeadsetPageUI* page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(page->SelectPanel(), nullptr);
    EXPECT_EQ(page->SelectPanel()->GetName(), "vu6533_device_key_light");
    ASSERT_EQ(page->LedControls().size(), static_cast<std::size_t>(kHeadsetLeds));
    ui::CVoice6533ControlUI* sound = page->SoundPanel();
    ui::CMagicControlUI* magic = page->MagicPanel();
    ASSERT_NE(sound, nullptr);
    ASSERT_NE(magic, nullptr);
    CTessaronVU6533Device& headset = page->Headset();
    EXPECT_FALSE(Find(QStringLiteral("headset_sound_notice"))->IsVisible());

    Click(QStringLiteral("6533_eq_option_3"));
    EXPECT_EQ(headset.SoundView().stages.eqType, 3);
    EXPECT_EQ(sound->GetBandSlider(0), EqPresets()[2][0]);
    EXPECT_FALSE(Find(QStringLiteral("custom_eq_option_layout"))->IsEnabled());

    // A band moved by hand makes the equaliser custom; its curve is saved under the name
    // typed meanwhile.
    Click(QStringLiteral("6533_eq_option_13"));
    EXPECT_TRUE(Find(QStringLiteral("custom_eq_option_layout"))->IsEnabled());
    sound->SetCustomNameText(QStringLiteral("Mine"));
    Slide(QStringLiteral("6533_eq_hz_slider_2"), 7);
    EXPECT_EQ(sound->ShownPreset(), kEqCustom);
    EXPECT_EQ(sound->GetCustomNameText(), "Mine") << "moving a band keeps the name typed";
    sim_.Route("click", Find(QStringLiteral("hs_EQ_btn_save")));
    ASSERT_EQ(sound->GetCustomCount(), 1);
    EXPECT_EQ(sound->GetCustomName(0), "Mine");
    EXPECT_EQ(headset.Profile().ReadCustomEqValues(0)[2], 7);
    {
        test::BoxAnswers answers;
        sound->SetCustomNameText(QStringLiteral("MINE"));
        sim_.Route("click", Find(QStringLiteral("hs_EQ_btn_save")));
        ASSERT_EQ(answers.texts.size(), 1);
        EXPECT_EQ(answers.texts[0], Text("message_text_5"));
    }
    EXPECT_EQ(sound->GetCustomCount(), 1);
    EXPECT_EQ(sound->GetCustomNameText(), "MINE") << "a refused name stays to be changed";

    Slide(QStringLiteral("6533_MicIn_slider"), 37);
    Click(QStringLiteral("6533_MicIn_option"));
    Click(QStringLiteral("magic_enable_option"));
    Click(QStringLiteral("magic_option_2"));
    const HeadsetSystemSetStages s = headset.SoundView().stages;
    EXPECT_EQ(s.micInValue, 37);
    EXPECT_EQ(s.micInSelect, 0);
    EXPECT_EQ(s.magicEnable, 1);
    EXPECT_EQ(s.magicType, 2);
    EXPECT_TRUE(Find(QStringLiteral("magic_option_layout"))->IsEnabled());

    sound->SelectCustom(0);
    sim_.Route("click", Find(QStringLiteral("hs_EQ_btn_delete")));
    EXPECT_EQ(sound->GetCustomCount(), 0);
    EXPECT_EQ(sound->ShownPreset(), 1) << "the last curve gone, preset 1 plays";
}

TEST_F(HeadsetPageTest, WhatTheBackEndCannotDoIsDisabledAndSaidUntilTheCardComes) {
    // The sound card is not there when the headset's page is built; it comes later.
    bool cardThere = false;
    sim_.makeAudioBridge = [&cardThere](const SupportedInterface&) {
        return audio::MakeAudioBridge(
            std::make_unique<sim::SimAudioStore>(sim::SimAudioOptions{{}, !cardThere}));
    };
    ASSERT_NE(Open(), nullptr);
    for (const char* name : {"6533_MicIn_slider", "6533_MicIn_option", "6533_MicMoniter_slider",
                             "6533_eq_option_1", "6533_eq_hz_slider_9", "magic_enable_option"}) {
        ui::CControlUI* control = Find(QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_FALSE(control->IsEnabled()) << name;
        EXPECT_EQ(control->GetToolTip(), Text("sound_unavailable_tip")) << name;
    }
    ui::CControlUI* notice = Find(QStringLiteral("headset_sound_notice"));
    EXPECT_TRUE(notice->IsVisible());
    EXPECT_EQ(notice->GetText(), Text("sound_not_found"));

    cardThere = true;
    sim_.devices->OnSoundCardsChanged();
    EXPECT_TRUE(Find(QStringLiteral("6533_MicIn_slider"))->IsEnabled());
    EXPECT_TRUE(Find(QStringLiteral("6533_MicIn_slider"))->GetToolTip().isEmpty());
    EXPECT_FALSE(notice->IsVisible());
}

}  // namespace
}  // namespace morva::app
