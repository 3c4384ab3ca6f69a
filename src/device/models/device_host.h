// What a device model asks of the program around it. Device threads call it too: the
// implementation hands every call over to the UI thread, queued for "post" calls and waiting
// for "send" calls.
#pragma once

#include <cstdint>
#include <span>

namespace morva {

// Timers of a device's tab entry.
inline constexpr int kEntryTimerFrame = 1000;
inline constexpr int kEntryTimerStartup = 1001;
inline constexpr int kEntryTimerActiveProfile = 1002;
inline constexpr int kEntryTimerStatus = 1005;
inline constexpr int kEntryTimerReach = 1007;

// Main-window message a device's entry sends about reachability: wParam type row, lParam 1/0.
inline constexpr int kMsgDeviceOptionNotice = 0x0D03;

class IDeviceHost {
public:
    // Posted: starts (or restarts) a timer of the device's tab entry.
    virtual void StartEntryTimer(int id, int ms) = 0;
    // Sent: the owner window has handled the message when this returns.
    virtual void SendOwnerMessage(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
    // The battery block read from the device, for the power panel.
    virtual void ShowPowerStatus(std::span<const std::uint8_t> status) = 0;
    // The model's data changed: the page shows it again (queued from device threads).
    virtual void RefreshPage() = 0;
    // The device's profile list changed on disk: the profile panel reads it again and the
    // model takes the selected profile's name (UI thread).
    virtual void ReloadProfileList() {}

protected:
    ~IDeviceHost() = default;
};

}  // namespace morva
