// The active window watcher on a private Xvfb: under a real window manager (openbox) that
// xdotool asks to activate windows, and under a root window the test announces by hand.
#include "platform/x11/active_window_watcher.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Xlib last: its macros (None, Bool) break the headers above.
#include "support/x11_test_client.h"

#include <X11/Xatom.h>

namespace morva::x11 {

void PrintTo(const ActiveProgram& p, std::ostream* out) {
    *out << "{" << p.window << " " << p.instance << " " << p.windowClass << " " << p.executable
         << "}";
}

namespace {

class ActiveWindowTest : public testing::Test {
protected:
    void SetUp() override {
        if (!test::XvfbServer::Available())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(client_.Open(server_.Display()));
        watcher_.SetHandler([this](const ActiveProgram& p) { reports_.push_back(p); });
    }

    Display* D() const { return client_.D(); }
    Window Root() const { return client_.Root(); }
    Atom A(const char* name) const { return XInternAtom(D(), name, False); }
    void SetLongs(Window w, const char* property, Atom type, std::vector<long> values) {
        XChangeProperty(D(), w, A(property), type, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(values.data()),
                        static_cast<int>(values.size()));
        XSync(D(), False);
    }
    bool PumpUntil(const std::function<bool()>& condition) {
        return test::UntilReadable(
            watcher_.Fd(), [&] { watcher_.Pump(); }, condition);
    }
    bool Reported(Window w) const { return !reports_.empty() && reports_.back().window == w; }

    test::XvfbServer server_;
    test::XTestClient client_;
    CActiveWindowWatcher watcher_;
    std::vector<ActiveProgram> reports_;
};

TEST_F(ActiveWindowTest, EachWindowTheWindowManagerActivatesIsReportedWithItsProgram) {
    if (std::system("command -v openbox >/dev/null") != 0)
        GTEST_SKIP() << "needs openbox";
    ASSERT_TRUE(client_.StartWindowManager()) << "openbox did not start";
    std::string why;
    ASSERT_TRUE(watcher_.Open(server_.Display(), &why)) << why;

    std::array<char, HOST_NAME_MAX + 1> host{};
    ASSERT_EQ(gethostname(host.data(), host.size() - 1), 0);
    const std::string self = program_invocation_short_name;
    const struct {
        const char *instance, *windowClass;
        std::string machine;  // WM_CLIENT_MACHINE; empty: not set
        bool pid;             // _NET_WM_PID set to ours
        std::string executable;
    } cases[] = {
        {"alpha", "Alpha", host.data(), true, self},
        {"beta-instance", "BetaClass", "", true, self},
        {"gamma", "Gamma", "elsewhere.invalid", true, ""},  // the pid is another machine's
        {"delta", "Delta", host.data(), false, ""},
    };
    std::vector<Window> windows;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.instance);
        const Window w = client_.MapWindow(c.instance, c.windowClass, [&](Window made) {
            if (!c.machine.empty()) {
                XChangeProperty(D(), made, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(c.machine.data()),
                                static_cast<int>(c.machine.size()));
            }
            if (c.pid)
                SetLongs(made, "_NET_WM_PID", XA_CARDINAL, {getpid()});
        });
        ASSERT_NE(w, 0u);
        windows.push_back(w);

        // A new window: activating it is always a change.
        ASSERT_TRUE(server_.Xdotool({"windowactivate", "--sync", std::to_string(w)}));
        ASSERT_TRUE(PumpUntil([&] { return Reported(w); }));
        EXPECT_EQ(reports_.back(), (ActiveProgram{w, c.instance, c.windowClass, c.executable}));
    }

    // Back to the first one, then the program in front reads the same as its report.
    ASSERT_TRUE(server_.Xdotool({"windowactivate", "--sync", std::to_string(windows[0])}));
    ASSERT_TRUE(PumpUntil([&] { return Reported(windows[0]); }));
    EXPECT_EQ(reports_.back().windowClass, "Alpha");
    EXPECT_EQ(watcher_.Current(), reports_.back());
}

TEST_F(ActiveWindowTest, OpenSaysWhyItCannotWatchAndAGoneWindowIsReportedWithoutNames) {
    std::string why;
    EXPECT_FALSE(watcher_.Open(":65000", &why));
    EXPECT_EQ(why, "cannot open the X display :65000");
    // No window manager; then one that lists other hints only.
    EXPECT_FALSE(watcher_.Open(server_.Display(), &why));
    EXPECT_EQ(why, "the window manager does not report the active window");
    SetLongs(Root(), "_NET_SUPPORTED", XA_ATOM, {static_cast<long>(A("_NET_WM_NAME"))});
    why.clear();
    EXPECT_FALSE(watcher_.Open(server_.Display(), &why));
    EXPECT_EQ(why, "the window manager does not report the active window");
    EXPECT_FALSE(watcher_.IsOpen());
    EXPECT_EQ(watcher_.Fd(), -1);

    SetLongs(Root(), "_NET_SUPPORTED", XA_ATOM,
             {static_cast<long>(A("_NET_WM_NAME")), static_cast<long>(A("_NET_ACTIVE_WINDOW"))});
    ASSERT_TRUE(watcher_.Open({}, &why)) << why;  // $DISPLAY, set by the server
    EXPECT_EQ(watcher_.Current(), ActiveProgram{});

    const Window shown = XCreateSimpleWindow(D(), Root(), 0, 0, 10, 10, 0, 0, 0);
    XClassHint hint{const_cast<char*>("shown"), const_cast<char*>("Shown")};
    XSetClassHint(D(), shown, &hint);
    const Window gone = XCreateSimpleWindow(D(), Root(), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(D(), gone);
    // Each as the window manager would announce it; the gone one's reads fail with BadWindow.
    const struct {
        Window active;
        ActiveProgram expected;
    } steps[] = {
        {shown, {shown, "shown", "Shown", ""}},
        {gone, {gone, "", "", ""}},
        {0, {}},
        {shown, {shown, "shown", "Shown", ""}},
    };
    for (const auto& step : steps) {
        const std::size_t before = reports_.size();
        SetLongs(Root(), "_NET_ACTIVE_WINDOW", XA_WINDOW, {static_cast<long>(step.active)});
        ASSERT_TRUE(PumpUntil([&] { return reports_.size() > before; })) << step.active;
        EXPECT_EQ(reports_.size(), before + 1);
        EXPECT_EQ(reports_.back(), step.expected);
    }
    watcher_.Close();
    EXPECT_FALSE(watcher_.IsOpen());
    EXPECT_EQ(watcher_.Current(), std::nullopt);
}

}  // namespace
}  // namespace morva::x11
