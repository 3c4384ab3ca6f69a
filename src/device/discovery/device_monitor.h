// Finds supported interfaces as they come and go: every poll enumerates the HID backend,
// claims slots for new supported collections and frees the slots of vanished ones, telling
// a listener (which hands the news to the UI thread and returns when it has been handled).
#pragma once

#include <chrono>
#include <set>
#include <stop_token>
#include <string>

#include "device/discovery/interface_slots.h"
#include "device/hid/hid_device.h"

namespace morva {

class IDiscoveryListener {
public:
    virtual void OnDeviceArrived(int slot) = 0;
    virtual void OnDeviceRemoved(int slot) = 0;
    // Once, after the first enumeration, with or without devices.
    virtual void OnFirstPass() = 0;
    // Once per supported interface this user may not open (no device rule installed yet).
    virtual void OnAccessDenied(const SupportedInterface& record, const std::string& error) {
        (void)record;
        (void)error;
    }

protected:
    ~IDiscoveryListener() = default;
};

class CDeviceMonitor {
public:
    static constexpr std::chrono::milliseconds kPollInterval{100};

    CDeviceMonitor(hid::IHidBackend& backend, CInterfaceSlots& slots, IDiscoveryListener& listener);

    // One pass: arrivals, then removals. A failed enumeration changes nothing and is tried
    // again at the next pass.
    void PollOnce();
    // Polls until stop is requested; sleeps between passes, waking at once on stop.
    void Run(std::stop_token stop, std::chrono::milliseconds interval = kPollInterval);

private:
    CInterfaceSlots& slots_;
    IDiscoveryListener& listener_;
    CHidDevice probe_;
    bool firstPass_ = true;
    std::set<std::string> denied_;  // paths already reported
};

}  // namespace morva
