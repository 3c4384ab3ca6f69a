// The program in front on an X11 desktop, as the window manager announces it in the root
// window's _NET_ACTIVE_WINDOW: devices switch to the profile bound to it. No thread of its
// own: the caller waits until Fd() is readable (a socket notifier, poll) and calls Pump(),
// which calls the handler on the caller's thread. The connection is the watcher's own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/x11/x11_display.h"

namespace morva::x11 {

struct ActiveProgram {
    unsigned long window = 0;  // 0: no window is active
    std::string instance;      // WM_CLASS: the instance name
    std::string windowClass;   // and the class name
    // The file name of the window's process (/proc/<_NET_WM_PID>/exe); empty when the window
    // names no process, one on another machine, or one we may not look at.
    std::string executable;
    friend bool operator==(const ActiveProgram&, const ActiveProgram&) = default;
};

class CActiveWindowWatcher {
public:
    using Handler = std::function<void(const ActiveProgram&)>;

    CActiveWindowWatcher() = default;
    CActiveWindowWatcher(const CActiveWindowWatcher&) = delete;
    CActiveWindowWatcher& operator=(const CActiveWindowWatcher&) = delete;

    // Empty name: $DISPLAY. False, with the reason in `why` (when given), when no server
    // answers or the window manager does not announce _NET_ACTIVE_WINDOW in _NET_SUPPORTED.
    // Opening again closes the connection before.
    bool Open(const std::string& display, std::string* why);
    void Close();
    // False once closed, or after a Pump found that the server went away.
    bool IsOpen() const { return display_ != nullptr; }
    // The connection's descriptor, -1 when not open.
    int Fd() const;

    // Called from Pump with the program in front whenever the active window is another one
    // than at the last report (or at Open, or the last Current). The handler may Close.
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // Reads every event waiting, without blocking.
    void Pump();
    // The program in front now; empty when not open. Events it leaves in Xlib's queue
    // are not seen on Fd(): call Pump afterwards.
    std::optional<ActiveProgram> Current();
    // The programs of the windows the window manager lists (_NET_CLIENT_LIST), in its order;
    // empty when not open. Call Pump afterwards, as after Current.
    std::vector<ActiveProgram> OpenPrograms();

private:
    unsigned long ReadActiveWindow() const;
    ActiveProgram ReadProgram(unsigned long window) const;

    DisplayPtr display_;
    unsigned long root_ = 0;
    unsigned long activeAtom_ = 0;
    unsigned long pidAtom_ = 0;
    unsigned long reported_ = 0;  // the window of the last report
    Handler handler_;
};

}  // namespace morva::x11
