// A test's own Xlib connection to its test server: windows with a class, a window manager
// that manages them, and waits on the connection's events. Include it after every other
// header: Xlib's macros (None, Bool) break them.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support/xvfb_server.h"

namespace morva::test {

// Until `done`, waiting on `fd` for at most what is left of 5 s each time, then `drain`.
inline bool UntilReadable(int fd, const std::function<void()>& drain,
                          const std::function<bool()>& done) {
    using Clock = std::chrono::steady_clock;
    for (const auto deadline = Clock::now() + std::chrono::seconds(5); !done();) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) < 0)
            return done();
        drain();
    }
    return true;
}

class XTestClient {
public:
    ~XTestClient() { StopWindowManager(); }

    // Every change of the root's properties wakes the waits.
    bool Open(const std::string& display) {
        display_.reset(XOpenDisplay(display.c_str()));
        if (display_)
            XSelectInput(D(), Root(), PropertyChangeMask);
        return display_ != nullptr;
    }
    Display* D() const { return display_.get(); }
    Window Root() const { return DefaultRootWindow(D()); }

    // Until `condition`, reading this connection's events (`seen` gets each).
    bool Until(const std::function<bool()>& condition,
               const std::function<void(const XEvent&)>& seen = {}) {
        const auto drain = [&] {
            while (XPending(D()) > 0) {
                XEvent e;
                XNextEvent(D(), &e);
                if (seen)
                    seen(e);
            }
        };
        drain();
        return UntilReadable(ConnectionNumber(D()), drain, condition);
    }

    // Openbox, once it manages windows: it loses those mapped while it starts, and runs its
    // start-up command once it is up, which names the root window for the wait.
    bool StartWindowManager() {
        const std::string ready = "morva-test-wm-ready";
        windowManager_ =
            Spawn({"openbox", "--sm-disable", "--startup",
                   "xdotool set_window --name " + ready + " " + std::to_string(Root())});
        return Until([&] {
            char* name = nullptr;
            const bool named = XFetchName(D(), Root(), &name) != 0 && name && ready == name;
            if (name)
                XFree(name);
            return named;
        });
    }
    void StopWindowManager() {
        if (windowManager_ <= 0)
            return;
        kill(windowManager_, SIGTERM);
        waitpid(windowManager_, nullptr, 0);
        windowManager_ = -1;
    }

    // A top-level window with the given WM_CLASS, once mapped; `prepare` sets more of its
    // properties first. 0 when it did not map.
    Window MapWindow(const char* instance, const char* windowClass,
                     const std::function<void(Window)>& prepare = {}) {
        const Window w = XCreateSimpleWindow(D(), Root(), 0, 0, 120, 80, 0, 0, 0);
        XClassHint hint{const_cast<char*>(instance), const_cast<char*>(windowClass)};
        XSetClassHint(D(), w, &hint);
        if (prepare)
            prepare(w);
        XSelectInput(D(), w, StructureNotifyMask);
        XMapWindow(D(), w);
        bool mapped = false;
        Until([&] { return mapped; },
              [&](const XEvent& e) { mapped |= e.type == MapNotify && e.xmap.window == w; });
        return mapped ? w : 0;
    }

private:
    struct Closer {
        void operator()(Display* d) const { XCloseDisplay(d); }
    };
    std::unique_ptr<Display, Closer> display_;
    pid_t windowManager_ = -1;
};

}  // namespace morva::test
