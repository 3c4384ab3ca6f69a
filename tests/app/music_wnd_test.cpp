// The music style window opened from the keyboard's lighting panel in the real main window:
// what the user changes in it reaches the capture hook, the store and the file on OK.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <filesystem>
#include <optional>

#include "app/music_wnd.h"
#include "app/sim_window.h"
#include "profile/audio_style_store.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/slider.h"

namespace morva::app {
namespace {

using ui::CControlUI;

constexpr char kUserFile[] = R"({"Device": {"AudioLightInfo": {"nAudioStyle": 1,
    "nStyleName1": "Warm", "nStyleName2": "Cold", "nStyleName3": "Calm", "nStyleName4": "Deep",
    "nStyleR0": 9, "nStyleG0": 2, "nStyleB0": 0, "nStyleR1": 0, "nStyleG1": 6, "nStyleB1": 9,
    "nStyleR2": 2, "nStyleG2": 9, "nStyleB2": 3, "nStyleR3": 8, "nStyleG3": 0, "nStyleB3": 9}}})";

QString Text(CMusicWnd& w, const char* name) {
    CControlUI* c = w.FindControl(QLatin1String(name));
    return c != nullptr ? c->GetText() : QStringLiteral("<none>");
}

std::array<int, 3> Sliders(CMusicWnd& w) {
    std::array<int, 3> v{-1, -1, -1};
    const char* names[] = {"audio_r_slider", "audio_g_slider", "audio_b_slider"};
    for (int i = 0; i < 3; ++i) {
        if (auto* s = dynamic_cast<ui::CSliderUI*>(w.FindControl(QLatin1String(names[i])))) {
            v[static_cast<std::size_t>(i)] = s->GetValue();
            EXPECT_EQ(s->GetMaxValue(), kAudioStyleLevelMax);
        }
    }
    return v;
}

TEST(MusicWndTest, TheConfirmedStyleGoesToTheCaptureHookThenTheFile) {
    test::SimWindow sim;
    const std::string folder = sim.dir.File("MORVA TR510 Device");
    std::filesystem::create_directories(folder);
    sim.dir.Write("MORVA TR510 Device/AudioFile.json", kUserFile);
    ASSERT_TRUE(sim.Start({sim::Link::Keyboard}));
    ASSERT_TRUE(sim.ConnectKeyboard());
    std::optional<AudioStyle> sent;
    sim.window->SetStyleChosenHook([&](const AudioStyle& s) {
        sent = s;
        EXPECT_EQ(sim.window->AudioStyles().Current().style, 1) << "sent before it is stored";
    });
    sim.window->show();

    // The keyboard's lighting panel in music mode shows the button.
    ui::CDevicePageUI* page = sim.devices->CurrentDevice();
    auto find = [&](const char* name) {
        return ui::CPaintManagerUI::FindSubControlByName(page, QLatin1String(name));
    };
    auto* modes = dynamic_cast<ui::CComboUI*>(find("light_combo_modeSelect"));
    ASSERT_NE(modes, nullptr);
    int music = -1;
    for (int i = 0; i < modes->count(); ++i) {
        if (modes->GetItemTextKey(i) == QLatin1String("light_mode_music"))
            music = i;
    }
    ASSERT_GE(music, 0);
    modes->setCurrentIndex(music);
    emit modes->activated(music);
    CControlUI* button = find("music_setting_btn");
    ASSERT_TRUE(button != nullptr && button->GetWidget()->isVisible());

    bool seen = false;
    QTimer::singleShot(0, [&] {
        CMusicWnd* w = CMusicWnd::Current();
        ASSERT_TRUE(w != nullptr && w->isVisible());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));  // focus moves only in the active window
        seen = true;
        auto* tab2 =
            dynamic_cast<ui::COptionUI*>(w->FindControl(QStringLiteral("audio_select_tab2")));
        EXPECT_TRUE(tab2 != nullptr && tab2->IsSelected());
        EXPECT_EQ(Sliders(*w), (std::array<int, 3>{0, 6, 9}));
        EXPECT_EQ(Text(*w, "audio_edit_name4"), "Deep");

        QTest::mouseClick(w->FindControl(QStringLiteral("audio_select_tab3"))->GetWidget(),
                          Qt::LeftButton);
        EXPECT_EQ(Sliders(*w), (std::array<int, 3>{2, 9, 3}));
        QTest::keyClick(w->FindControl(QStringLiteral("audio_r_slider"))->GetWidget(),
                        Qt::Key_Right);

        QWidget* name2 = w->FindControl(QStringLiteral("audio_edit_name2"))->GetWidget();
        name2->setFocus();
        QTest::keyClick(name2, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(name2, Qt::Key_Backspace);
        QWidget* name3 = w->FindControl(QStringLiteral("audio_edit_name3"))->GetWidget();
        name3->setFocus();  // name 2 loses it
        EXPECT_EQ(Text(*w, "audio_edit_name2"), "Group 2");
        QTest::keyClick(name3, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name3, "Chill");
        QTest::mouseClick(w->FindControl(QStringLiteral("okbtn"))->GetWidget(), Qt::LeftButton);
    });
    QTest::mouseClick(button->GetWidget(), Qt::LeftButton);  // returns once the window closed
    ASSERT_TRUE(seen);

    AudioStyle expected;
    expected.style = 2;
    expected.names = {"Warm", "Group 2", "Chill", "Deep"};
    expected.colour = {{{9, 2, 0}, {0, 6, 9}, {3, 9, 3}, {8, 0, 9}}};
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(*sent, expected);
    EXPECT_EQ(sim.window->AudioStyles().Current(), expected);
    CAudioStyleStore reread(folder + "/AudioFile.json", {});
    reread.Load();
    EXPECT_EQ(reread.Current(), expected);

    // Closed without OK, nothing changes.
    sent.reset();
    QTimer::singleShot(0, [&] {
        CMusicWnd* w = CMusicWnd::Current();
        ASSERT_NE(w, nullptr);
        QTest::mouseClick(w->FindControl(QStringLiteral("audio_select_tab1"))->GetWidget(),
                          Qt::LeftButton);
        QTest::mouseClick(w->FindControl(QStringLiteral("closebtn"))->GetWidget(), Qt::LeftButton);
    });
    QTest::mouseClick(button->GetWidget(), Qt::LeftButton);
    EXPECT_FALSE(sent.has_value());
    EXPECT_EQ(sim.window->AudioStyles().Current(), expected);
}

}  // namespace
}  // namespace morva::app
