// Holds the keyboard while a macro is recorded, so the keys typed for it do not reach other
// windows; the input hook still sees them. The grab lives on a connection of its own: if
// the process dies the server closes it and the grab goes with it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "platform/x11/x11_display.h"

namespace morva::x11 {

class CKeyboardGrab {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration kDefaultTimeout = std::chrono::seconds(10);

    // Without a KeepAlive for `timeout` the grab releases itself, so a hung UI thread does
    // not leave the user without a keyboard. Empty name: $DISPLAY.
    explicit CKeyboardGrab(std::string displayName = {}, Clock::duration timeout = kDefaultTimeout);
    ~CKeyboardGrab();
    CKeyboardGrab(const CKeyboardGrab&) = delete;
    CKeyboardGrab& operator=(const CKeyboardGrab&) = delete;

    // AlreadyGrabbed: another client holds the keyboard. Grabbing again while we hold it
    // only counts as a KeepAlive. (Xlib defines AlreadyGrabbed as a macro: a file using
    // both includes Xlib after this header and #undefs it.)
    enum class GrabResult { Grabbed, AlreadyGrabbed, NoDisplay, Failed };
    GrabResult Grab();
    void Release();
    bool IsGrabbed() const;
    // Restarts the timeout; also drops the key events the grab sends to this connection.
    void KeepAlive();

private:
    void Watch(std::stop_token stop);
    void UngrabLocked();

    const std::string displayName_;
    const Clock::duration timeout_;
    mutable std::mutex mutex_;  // the connection and the state below
    std::condition_variable_any deadlineMoved_;
    DisplayPtr display_;
    bool grabbed_ = false;
    Clock::time_point deadline_;
    std::jthread watchdog_;  // last: stopped and joined before the rest goes
};

}  // namespace morva::x11
