// Macro recording in the real window on an X server of the test's own: xdotool types and
// clicks, the desktop hook records, and the keyboard is held only while recording.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "app/main_wnd.h"
#include "app/sim_window.h"
#include "macro/macro_store.h"
#include "platform/x11/keyboard_grab.h"
#include "support/xvfb_server.h"
#include "ui/panels/macro_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using ui::CControlUI;

std::string g_display;

MacroEvent Key(bool down, int usage, int delay = 0) {
    return {down, usage, macro_type::kKey, delay};
}
constexpr int kA = 4, kB = 5, kC = 6, kD = 7;

class RecordingX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (g_display.empty())
            GTEST_SKIP() << "no Xvfb";
        sim_.desktopInput = true;
        ASSERT_TRUE(sim_.Start({Link::Keyboard}));
        ASSERT_TRUE(sim_.ConnectKeyboard());
        page_ = sim_.devices->CurrentDevice();
        panel_ = page_->MacroPanel();
        ASSERT_NE(panel_, nullptr);
        page_->OnFunctionTab(3);  // the macro tab
        sim_.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sim_.window.get()));
        ASSERT_TRUE(Click("macro_btn_name_add"));
    }
    template <typename T = CControlUI>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(
            ui::CPaintManagerUI::FindSubControlByName(page_, QString::fromLatin1(name)));
    }
    bool Click(const char* name) { return sim_.Route("click", Find(name)); }
    ui::CListUI* Rows() const { return Find<ui::CListUI>("macro_action_list"); }

    // Runs xdotool while the UI thread goes on handling the hook's events.
    // posix_spawn rather than fork: the window's process has threads of its own.
    void XdoTool(const QStringList& args) {
        std::vector<std::string> words = {"xdotool"};
        for (const QString& a : args)
            words.push_back(a.toStdString());
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ), 0);
        int status = -1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 10000));
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << args.join(' ').toStdString();
    }
    bool WaitForRows(int count) {
        return QTest::qWaitFor([&] { return Rows()->GetCount() >= count; }, 5000) &&
               Rows()->GetCount() == count;
    }
    void StoreRows(const std::vector<MacroEvent>& events) {
        CMacroStore store(page_->Model().GetUserDataFolder());
        store.LoadMacroList();
        ASSERT_EQ(store.SaveMacroEvents(0, events), MacroResult::kOk);
        panel_->ShowMacro();
    }
    std::vector<MacroEvent> Saved() const {
        CMacroStore store(page_->Model().GetUserDataFolder());
        store.LoadMacroList();
        return store.GetMacroEvents(0);
    }
    // What a second client gets when it asks for the keyboard now.
    x11::CKeyboardGrab::GrabResult ProbeGrab() {
        x11::CKeyboardGrab probe(g_display);
        return probe.Grab();
    }

    test::SimWindow sim_;
    ui::CDevicePageUI* page_ = nullptr;
    ui::CMacroControlUI* panel_ = nullptr;
};

TEST_F(RecordingX11Test, RealTimeConstantAndNoDelayModes) {
    // Real time: each action carries the time to the next, within a tolerance.
    ASSERT_TRUE(Click("macro_btn_starredio"));
    EXPECT_EQ(sim_.window->Hook().CurrentReach(), CDeviceHook::Reach::Desktop);
    XdoTool({"keydown", "a", "sleep", "0.2", "keyup", "a", "sleep", "0.3", "keydown", "b", "sleep",
             "0.1", "keyup", "b"});
    ASSERT_TRUE(WaitForRows(4));
    ASSERT_TRUE(Click("macro_btn_stopredio"));
    XdoTool({"key", "x"});
    QTest::qWait(200);
    EXPECT_EQ(Rows()->GetCount(), 4) << "the hook is gone once recording stops";
    std::vector<MacroEvent> saved = Saved();
    ASSERT_EQ(saved.size(), 4u);
    const int expected[] = {200, 300, 100, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(saved[i].button, i < 2 ? kA : kB);
        EXPECT_EQ(saved[i].down, i % 2 == 0);
        EXPECT_NEAR(saved[i].delay, expected[i], 80) << "row " << i;
    }

    // Constant: every new action gets the fixed delay.
    ASSERT_TRUE(Click("macro_btn_deleteall"));
    Find<ui::CCheckBoxUI>("macro_check_time")->Selected(true, false);
    Find("macro_fixed_time_edit")->SetText(QStringLiteral("120"));
    ASSERT_TRUE(Click("macro_btn_starredio"));
    XdoTool({"key", "--delay", "50", "c", "d"});
    ASSERT_TRUE(WaitForRows(4));
    ASSERT_TRUE(Click("macro_btn_stopredio"));
    EXPECT_EQ(Saved(), (std::vector<MacroEvent>{Key(true, kC, 120), Key(false, kC, 120),
                                                Key(true, kD, 120), Key(false, kD, 120)}));

    // None, with a key held long enough for the server to repeat it: one press, one release.
    ASSERT_TRUE(Click("macro_btn_deleteall"));
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kEnd);
    XdoTool({"keydown", "a", "sleep", "1.2", "keyup", "a"});
    ASSERT_TRUE(WaitForRows(2));
    QTest::qWait(200);  // any late repeat would show up by now
    sim_.window->EndRecording();
    EXPECT_EQ(Saved(), (std::vector<MacroEvent>{Key(true, kA), Key(false, kA)}));
}

TEST_F(RecordingX11Test, ButtonsAreRecordedButNotTheClickThatStops) {
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kEnd);
    QWidget* list = Rows()->GetWidget();
    const QPoint inList = list->mapToGlobal(list->rect().center());
    XdoTool({"mousemove", QString::number(inList.x()), QString::number(inList.y()), "click", "3"});
    ASSERT_TRUE(WaitForRows(2));
    QWidget* stop = Find("macro_btn_stopredio")->GetWidget();
    const QPoint onStop = stop->mapToGlobal(stop->rect().center());
    XdoTool({"mousemove", QString::number(onStop.x()), QString::number(onStop.y()), "click", "1"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim_.window->IsRecording(); }, 5000));
    EXPECT_EQ(Saved(), (std::vector<MacroEvent>{{true, 2, macro_type::kMouseButton, 0},
                                                {false, 2, macro_type::kMouseButton, 0}}));
}

TEST_F(RecordingX11Test, BeforeAfterAndReplaceWorkOnTheSelectedRow) {
    StoreRows({Key(true, kA, 1), Key(false, kA, 2), Key(true, kA, 3), Key(false, kA, 4),
               Key(true, kA, 5)});
    ASSERT_TRUE(sim_.Route("itemselect", Rows(), 2));
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kBefore);
    XdoTool({"key", "b"});
    ASSERT_TRUE(WaitForRows(7));
    sim_.window->EndRecording();
    EXPECT_EQ(panel_->Actions().Selected(), 4) << "the row recording started from";

    ASSERT_TRUE(sim_.Route("itemselect", Rows(), 0));
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kAfter);
    XdoTool({"key", "c"});
    ASSERT_TRUE(WaitForRows(9));
    sim_.window->EndRecording();

    ASSERT_TRUE(sim_.Route("itemselect", Rows(), 4));
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kReplace);
    XdoTool({"key", "d"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel_->Actions().At(4).button == kD; }, 5000));
    sim_.window->EndRecording();
    // Recording after row 0 gave it the (zero) time to the first new row.
    EXPECT_EQ(Saved(),
              (std::vector<MacroEvent>{Key(true, kA), Key(true, kC), Key(false, kC),
                                       Key(false, kA, 2), Key(true, kD), Key(false, kB),
                                       Key(true, kA, 3), Key(false, kA, 4), Key(true, kA, 5)}));
}

TEST_F(RecordingX11Test, StopsAtTheLimitAndHoldsTheKeyboardOnlyWhileRecording) {
    StoreRows(std::vector<MacroEvent>(CMacroStore::kMaxRecordedEvents - 1, Key(true, kA)));
    EXPECT_EQ(ProbeGrab(), x11::CKeyboardGrab::GrabResult::Grabbed);
    ASSERT_TRUE(Click("macro_btn_starredio"));
    EXPECT_EQ(sim_.window->Hook().GrabState(), CDeviceHook::Grab::Held);
    EXPECT_EQ(ProbeGrab(), x11::CKeyboardGrab::GrabResult::AlreadyGrabbed);
    XdoTool({"key", "b"});
    ASSERT_TRUE(WaitForRows(CMacroStore::kMaxRecordedEvents));
    QTest::qWait(200);
    ASSERT_TRUE(Click("macro_btn_stopredio"));
    EXPECT_EQ(Saved().size(), static_cast<std::size_t>(CMacroStore::kMaxRecordedEvents));
    EXPECT_EQ(Saved().back(), Key(true, kB)) << "the release did not fit";
    EXPECT_EQ(ProbeGrab(), x11::CKeyboardGrab::GrabResult::Grabbed)
        << "released when recording stops";

    ASSERT_TRUE(Click("macro_btn_starredio"));
    EXPECT_EQ(ProbeGrab(), x11::CKeyboardGrab::GrabResult::AlreadyGrabbed);
    sim_.window->hide();
    EXPECT_FALSE(sim_.window->IsRecording());
    EXPECT_EQ(ProbeGrab(), x11::CKeyboardGrab::GrabResult::Grabbed)
        << "released when the window hides";
}

}  // namespace
}  // namespace morva::app

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // An X server for the whole run, with its screen size for the window.
    morva::test::XvfbServer server;
    if (morva::test::XvfbServer::Available() && server.Start({"-screen", "0", "1280x800x24"})) {
        morva::app::g_display = server.Display();
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
