#include "platform/x11/x11_display.h"

#include <X11/Xlib.h>

#include <array>
#include <map>
#include <mutex>
#include <set>

namespace morva::x11 {
namespace {

// Xlib's default reaction to a lost server is exit(), from whichever thread noticed, the
// hook's included. For our connections the calls fail instead; the rest of the process
// keeps the handler it had.
std::mutex ourDisplaysMutex;
std::set<Display*> ourDisplays;
std::set<Display*> lostDisplays;
XIOErrorHandler previousHandler = nullptr;
// Closing a connection whose server vanished while a thread waited on it hangs in Xlib, so
// such connections are kept, a few kilobytes per lost server. Trivially destructible: what
// it holds stays reachable until the very end, where the leak checker looks.
std::array<Display*, 64> keptLost{};
std::size_t keptLostCount = 0;

int OnIoError(Display* display) {
    {
        std::lock_guard lock(ourDisplaysMutex);
        if (ourDisplays.contains(display)) {
            lostDisplays.insert(display);
            return 0;
        }
    }
    return previousHandler ? previousHandler(display) : 0;
}

void KeepRunning(Display*, void*) {}

// Connections inside a CIgnoreBadWindow, with how many are nested. The handler stays once
// set: swapping handlers per scope would race with other threads' connections.
std::mutex ignoringMutex;
std::map<Display*, int> ignoring;
XErrorHandler previousErrorHandler = nullptr;

int OnError(Display* display, XErrorEvent* error) {
    {
        std::lock_guard lock(ignoringMutex);
        if (error->error_code == BadWindow && ignoring.contains(display))
            return 0;
    }
    return previousErrorHandler ? previousErrorHandler(display, error) : 0;
}

}  // namespace

void DisplayCloser::operator()(Display* display) const {
    {
        std::lock_guard lock(ourDisplaysMutex);
        if (lostDisplays.contains(display)) {
            ourDisplays.erase(display);
            if (keptLostCount < keptLost.size())
                keptLost[keptLostCount++] = display;
            return;
        }
    }
    // Still ours while it closes: a server that went away unnoticed shows itself in the
    // close's own round trip, which must not end the process.
    XCloseDisplay(display);
    std::lock_guard lock(ourDisplaysMutex);
    ourDisplays.erase(display);
    lostDisplays.erase(display);  // the address may come back for another connection
}

bool IsLost(_XDisplay* display) {
    std::lock_guard lock(ourDisplaysMutex);
    return lostDisplays.contains(display);
}

CIgnoreBadWindow::CIgnoreBadWindow(Display* display) : display_(display) {
    static std::once_flag installed;
    std::call_once(installed, [] { previousErrorHandler = XSetErrorHandler(OnError); });
    std::lock_guard lock(ignoringMutex);
    ++ignoring[display_];
}

CIgnoreBadWindow::~CIgnoreBadWindow() {
    // Errors come with the answers; without this one could arrive after the scope ends.
    XSync(display_, False);
    std::lock_guard lock(ignoringMutex);
    if (--ignoring[display_] == 0)
        ignoring.erase(display_);
}

DisplayPtr OpenDisplay(const std::string& name) {
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        // Each thread has its own connection, but Xlib's shared state still needs its locks.
        XInitThreads();
        previousHandler = XSetIOErrorHandler(OnIoError);
    });
    DisplayPtr display(XOpenDisplay(name.empty() ? nullptr : name.c_str()));
    if (display) {
        std::lock_guard lock(ourDisplaysMutex);
        ourDisplays.insert(display.get());
        XSetIOErrorExitHandler(display.get(), KeepRunning, nullptr);
    }
    return display;
}

}  // namespace morva::x11
