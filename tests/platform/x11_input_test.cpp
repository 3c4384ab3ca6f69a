#include "platform/x11/keyboard_grab.h"
#include "platform/x11/x11_input_hook.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/key_codes.h"
#include "support/xvfb_server.h"

// Xlib last: its macros (None, Bool, AlreadyGrabbed) break the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

constexpr int kXAlreadyGrabbed = AlreadyGrabbed;
#undef AlreadyGrabbed

namespace morva::x11 {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Kind = InputEvent::Kind;

bool Eventually(const std::function<bool()>& condition, Clock::duration limit = 5s) {
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// Collects what the hook delivers; tests wait on it with a deadline.
class CEventLog {
public:
    InputSink Sink() {
        return [this](const InputEvent& e) {
            {
                std::lock_guard lock(mutex_);
                events_.push_back(e);
            }
            changed_.notify_all();
        };
    }
    // Until a release of the keycode (or button) arrived.
    bool WaitRelease(Kind kind, int code) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] {
            for (const auto& e : events_) {
                if (e.kind == kind && !e.press &&
                    (kind == Kind::Key ? e.keycode : e.button) == code)
                    return true;
            }
            return false;
        });
    }
    // Until at least `count` events arrived.
    bool WaitCount(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return events_.size() >= count; });
    }
    std::vector<InputEvent> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<InputEvent> events_;
};

// Every test has a server of its own.
class X11InputTest : public testing::Test {
protected:
    void SetUp() override {
        if (!test::XvfbServer::Available())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        ASSERT_TRUE(StartServer({}));
    }

    bool StartServer(const std::vector<std::string>& extra) {
        client_.reset();
        if (!server_.Start(extra))
            return false;
        display_ = server_.Display();
        client_.reset(XOpenDisplay(display_.c_str()));
        return client_ != nullptr;
    }
    void StopServer() {
        client_.reset();
        server_.Stop();
    }
    void Xdotool(const std::vector<std::string>& args) { ASSERT_TRUE(server_.Xdotool(args)); }

    int Keycode(KeySym sym) { return XKeysymToKeycode(client_.get(), sym); }

    // Another client's attempt, released again when it succeeded.
    int OtherClientGrab() {
        const DisplayPtr other(XOpenDisplay(display_.c_str()));
        const int status = XGrabKeyboard(other.get(), DefaultRootWindow(other.get()), False,
                                         GrabModeAsync, GrabModeAsync, CurrentTime);
        XUngrabKeyboard(other.get(), CurrentTime);
        XSync(other.get(), False);
        return status;
    }

    bool CapsLocked() {
        XkbStateRec state{};
        XkbGetState(client_.get(), XkbUseCoreKbd, &state);
        return (state.locked_mods & LockMask) != 0;
    }

    test::XvfbServer server_;
    std::string display_;
    DisplayPtr client_;
};

TEST_F(X11InputTest, KeysAndButtonsArriveWithTheirCodesAndRootPosition) {
    CEventLog log;
    CX11InputHook hook(display_);
    ASSERT_EQ(hook.Start(log.Sink()), CX11InputHook::StartResult::Started);
    EXPECT_TRUE(hook.IsRunning());
    Xdotool({"mousemove", "123", "45", "key", "a", "click", "1", "click", "4"});
    ASSERT_TRUE(log.WaitRelease(Kind::Button, 4));

    const int a = Keycode(XK_a);
    const InputEvent expected[] = {
        {Kind::Key, true, a, 0},     {Kind::Key, false, a, 0},   {Kind::Button, true, 0, 1},
        {Kind::Button, false, 0, 1}, {Kind::Button, true, 0, 4}, {Kind::Button, false, 0, 4},
    };
    const auto events = log.Events();
    ASSERT_EQ(events.size(), std::size(expected));
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, expected[i].kind) << i;
        EXPECT_EQ(events[i].press, expected[i].press) << i;
        EXPECT_EQ(events[i].keycode, expected[i].keycode) << i;
        EXPECT_EQ(events[i].button, expected[i].button) << i;
        EXPECT_EQ(events[i].rootX, 123) << i;
        EXPECT_EQ(events[i].rootY, 45) << i;
        EXPECT_LE(events[0].serverTime, events[i].serverTime) << i;
    }
    // The server's keycodes are the kernel's + 8, which the scan code mapping relies on.
    EXPECT_EQ(ScanCodeOfX11Keycode(a), (std::pair<std::uint8_t, bool>{0x1E, false}));
}

// The server repeats a held key (after 660 ms, every 40 ms, its defaults) as further presses
// with no release in between.
TEST_F(X11InputTest, AHeldKeyRepeatsAsPressesWhichTheHookDrops) {
    const int a = Keycode(XK_a);
    for (const auto repeats : {CX11InputHook::Repeats::Deliver, CX11InputHook::Repeats::Drop}) {
        CEventLog log;
        CX11InputHook hook(display_, repeats);
        ASSERT_EQ(hook.Start(log.Sink()), CX11InputHook::StartResult::Started);
        Xdotool({"keydown", "--delay", "0", "a", "sleep", "1", "keyup", "a"});
        ASSERT_TRUE(log.WaitRelease(Kind::Key, a));
        hook.Stop();

        const auto events = log.Events();
        std::size_t presses = 0;
        for (const auto& e : events)
            presses += e.keycode == a && e.press;
        ASSERT_FALSE(events.empty());
        EXPECT_FALSE(events.back().press);
        EXPECT_EQ(events.size(), presses + 1) << "one release, at the end";
        if (repeats == CX11InputHook::Repeats::Deliver)
            EXPECT_GE(presses, 3u);
        else
            EXPECT_EQ(presses, 1u);
    }
}

TEST_F(X11InputTest, NothingArrivesAfterStopAndTheHookStartsAgain) {
    CEventLog stopped;
    CEventLog witness;  // a second hook tells when the server has handled the later keys
    CEventLog restarted;
    CX11InputHook hook(display_);
    CX11InputHook other(display_);
    ASSERT_EQ(other.Start(witness.Sink()), CX11InputHook::StartResult::Started);
    ASSERT_EQ(hook.Start(stopped.Sink()), CX11InputHook::StartResult::Started);
    EXPECT_EQ(hook.Start(stopped.Sink()), CX11InputHook::StartResult::Failed);
    Xdotool({"key", "a"});
    ASSERT_TRUE(stopped.WaitRelease(Kind::Key, Keycode(XK_a)));
    hook.Stop();
    hook.Stop();
    EXPECT_FALSE(hook.IsRunning());
    Xdotool({"key", "b"});
    ASSERT_TRUE(witness.WaitRelease(Kind::Key, Keycode(XK_b)));
    EXPECT_EQ(stopped.Events().size(), 2u);

    // Stopped from inside the sink: the first event is the last.
    const auto stopInside = [&, sink = restarted.Sink()](const InputEvent& e) {
        sink(e);
        hook.Stop();
    };
    ASSERT_EQ(hook.Start(stopInside), CX11InputHook::StartResult::Started);
    Xdotool({"key", "--delay", "0", "c", "d", "e"});
    // The two hooks' connections deliver independently: wait for this one's first event.
    ASSERT_TRUE(restarted.WaitCount(1));
    ASSERT_TRUE(witness.WaitRelease(Kind::Key, Keycode(XK_e)));
    EXPECT_EQ(restarted.Events().size(), 1u);
    EXPECT_FALSE(hook.IsRunning());
}

TEST_F(X11InputTest, WithoutRecordOrServerTheHookDoesNotStart) {
    EXPECT_TRUE(X11InputAvailable(display_));
    CX11InputHook missing(":65000");
    EXPECT_FALSE(X11InputAvailable(":65000"));
    EXPECT_EQ(missing.Start([](const InputEvent&) {}), CX11InputHook::StartResult::NoDisplay);

    StopServer();
    ASSERT_TRUE(StartServer({"-extension", "RECORD"}));
    EXPECT_FALSE(X11InputAvailable(display_));
    CX11InputHook hook(display_);
    EXPECT_EQ(hook.Start([](const InputEvent&) {}), CX11InputHook::StartResult::NoRecordExtension);
    EXPECT_FALSE(hook.IsRunning());
}

TEST_F(X11InputTest, AServerThatGoesAwayEndsTheHookNotTheProcess) {
    // A display number of its own: the lowest free one, which a server started beside this
    // test takes, could be gone when this one comes back on it.
    bool started = false;
    for (int i = 0; i < 5 && !started; ++i)
        started = StartServer({":" + std::to_string(400 + (getpid() + 37 * i) % 400)});
    ASSERT_TRUE(started);
    CEventLog log;
    CX11InputHook hook(display_);
    ASSERT_EQ(hook.Start([](const InputEvent&) {}), CX11InputHook::StartResult::Started);
    CKeyboardGrab grab(display_);
    ASSERT_EQ(grab.Grab(), CKeyboardGrab::GrabResult::Grabbed);
    StopServer();
    EXPECT_TRUE(Eventually([&] { return !hook.IsRunning(); }));
    hook.Stop();
    grab.KeepAlive();
    EXPECT_FALSE(grab.IsGrabbed());
    grab.Release();

    // A new server on the same display: both work again.
    const std::string lost = display_;
    ASSERT_TRUE(StartServer({lost}));
    ASSERT_EQ(display_, lost);
    ASSERT_EQ(hook.Start(log.Sink()), CX11InputHook::StartResult::Started);
    EXPECT_EQ(grab.Grab(), CKeyboardGrab::GrabResult::Grabbed);
    EXPECT_EQ(OtherClientGrab(), kXAlreadyGrabbed);
    Xdotool({"key", "a"});
    EXPECT_TRUE(log.WaitRelease(Kind::Key, Keycode(XK_a)));
}

TEST_F(X11InputTest, TheGrabKeepsOtherClientsOutButNotTheHook) {
    CEventLog log;
    CX11InputHook hook(display_);
    ASSERT_EQ(hook.Start(log.Sink()), CX11InputHook::StartResult::Started);
    CKeyboardGrab grab(display_);
    ASSERT_EQ(grab.Grab(), CKeyboardGrab::GrabResult::Grabbed);
    EXPECT_EQ(grab.Grab(), CKeyboardGrab::GrabResult::Grabbed);
    EXPECT_EQ(OtherClientGrab(), kXAlreadyGrabbed);
    CKeyboardGrab second(display_);
    EXPECT_EQ(second.Grab(), CKeyboardGrab::GrabResult::AlreadyGrabbed);
    EXPECT_FALSE(second.IsGrabbed());

    // The server still toggles the lock state of keys nobody else receives.
    const bool capsBefore = CapsLocked();
    Xdotool({"key", "Caps_Lock", "a"});
    ASSERT_TRUE(log.WaitRelease(Kind::Key, Keycode(XK_a)));
    EXPECT_TRUE(Eventually([&] { return CapsLocked() != capsBefore; }));

    grab.Release();
    EXPECT_FALSE(grab.IsGrabbed());
    EXPECT_EQ(OtherClientGrab(), GrabSuccess);
    EXPECT_EQ(CKeyboardGrab(":65000").Grab(), CKeyboardGrab::GrabResult::NoDisplay);
}

TEST_F(X11InputTest, TheGrabReleasesItselfWhenNotKeptAlive) {
    constexpr auto timeout = 500ms;
    CKeyboardGrab grab(display_, timeout);
    for (int round = 0; round < 2; ++round) {  // the second round: a grab after expiry
        ASSERT_EQ(grab.Grab(), CKeyboardGrab::GrabResult::Grabbed);
        Clock::time_point lastKeepAlive;
        for (int i = 0; i < 10; ++i) {  // twice the timeout in all
            std::this_thread::sleep_for(timeout / 5);
            lastKeepAlive = Clock::now();
            grab.KeepAlive();
        }
        EXPECT_TRUE(grab.IsGrabbed());
        EXPECT_EQ(OtherClientGrab(), kXAlreadyGrabbed);

        ASSERT_TRUE(Eventually([&] { return !grab.IsGrabbed(); }));
        EXPECT_GE(Clock::now() - lastKeepAlive, timeout);
        EXPECT_EQ(OtherClientGrab(), GrabSuccess);
    }
}

TEST_F(X11InputTest, TheServerDropsTheGrabOfAProcessThatDied) {
    int ready[2];
    int go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        CKeyboardGrab grab(display_);
        const char result = grab.Grab() == CKeyboardGrab::GrabResult::Grabbed ? 'g' : 'f';
        char c = 0;
        if (write(ready[1], &result, 1) == 1 && read(go[0], &c, 1) == 1)
            std::abort();  // no destructor releases the grab
        _exit(1);
    }
    char result = 0;
    pollfd readable{ready[0], POLLIN, 0};
    ASSERT_EQ(poll(&readable, 1, 5000), 1);
    ASSERT_EQ(read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'g');
    EXPECT_EQ(OtherClientGrab(), kXAlreadyGrabbed);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
    EXPECT_TRUE(Eventually([&] { return OtherClientGrab() == GrabSuccess; }));
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        close(fd);
}

}  // namespace
}  // namespace morva::x11
