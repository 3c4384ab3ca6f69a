#include "platform/x11/keyboard_grab.h"

#include <X11/Xlib.h>

#include <utility>

namespace morva::x11 {
namespace {

// Xlib's macro would turn GrabResult::AlreadyGrabbed into a number.
constexpr int kXAlreadyGrabbed = AlreadyGrabbed;
#undef AlreadyGrabbed

}  // namespace

CKeyboardGrab::CKeyboardGrab(std::string displayName, Clock::duration timeout)
    : displayName_(std::move(displayName)), timeout_(timeout) {}

CKeyboardGrab::~CKeyboardGrab() {
    Release();
}

CKeyboardGrab::GrabResult CKeyboardGrab::Grab() {
    std::unique_lock lock(mutex_);
    if (grabbed_) {
        lock.unlock();
        KeepAlive();
        return GrabResult::Grabbed;
    }
    if (display_ && IsLost(display_.get()))
        display_.reset();
    if (!display_)
        display_ = OpenDisplay(displayName_);
    if (!display_)
        return GrabResult::NoDisplay;
    Display* display = display_.get();
    const int status = XGrabKeyboard(display, DefaultRootWindow(display), False, GrabModeAsync,
                                     GrabModeAsync, CurrentTime);
    XSync(display, True);
    switch (status) {
        case GrabSuccess:
            break;
        case kXAlreadyGrabbed:
            return GrabResult::AlreadyGrabbed;
        default:
            return GrabResult::Failed;
    }
    grabbed_ = true;
    deadline_ = Clock::now() + timeout_;
    lock.unlock();
    // Assigning joins the watchdog of an earlier grab, which ended with that grab.
    watchdog_ = std::jthread([this](std::stop_token stop) { Watch(std::move(stop)); });
    return GrabResult::Grabbed;
}

void CKeyboardGrab::Release() {
    {
        std::lock_guard lock(mutex_);
        UngrabLocked();
    }
    watchdog_.request_stop();
    if (watchdog_.joinable())
        watchdog_.join();
}

bool CKeyboardGrab::IsGrabbed() const {
    std::lock_guard lock(mutex_);
    return grabbed_;
}

void CKeyboardGrab::KeepAlive() {
    {
        std::lock_guard lock(mutex_);
        if (!grabbed_)
            return;
        deadline_ = Clock::now() + timeout_;
        // Nobody reads this connection otherwise; unread events would pile up in the server.
        XSync(display_.get(), True);
        grabbed_ = !IsLost(display_.get());
    }
    deadlineMoved_.notify_all();
}

void CKeyboardGrab::UngrabLocked() {
    if (!grabbed_)
        return;
    grabbed_ = false;
    XUngrabKeyboard(display_.get(), CurrentTime);
    XSync(display_.get(), True);
}

void CKeyboardGrab::Watch(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (grabbed_) {
        const Clock::time_point deadline = deadline_;
        // Wakes when stopped, on a KeepAlive, or at the deadline.
        deadlineMoved_.wait_until(lock, stop, deadline, [&] { return deadline_ != deadline; });
        if (stop.stop_requested())
            return;
        if (deadline_ == deadline && Clock::now() >= deadline)
            UngrabLocked();
    }
}

}  // namespace morva::x11
