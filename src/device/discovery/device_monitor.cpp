#include "device/discovery/device_monitor.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "base/debug_log.h"
#include "device/hid/hid_backend.h"

namespace morva {

CDeviceMonitor::CDeviceMonitor(hid::IHidBackend& backend, CInterfaceSlots& slots,
                               IDiscoveryListener& listener)
    : slots_(slots), listener_(listener), probe_(backend) {}

void CDeviceMonitor::PollOnce() {
    const bool listed = probe_.EnumeratePaths();
    std::vector<std::string> present;
    for (auto path = probe_.NextPath(); path; path = probe_.NextPath())
        present.push_back(*path);
    probe_.FreePaths();

    if (listed && !slots_.AllSlotsClaimed()) {
        for (const std::string& path : present) {
            SupportedInterface record{};
            record.vendorId = ParseVid(path);
            record.productId = ParsePid(path);
            record.collection = ParseCollection(path);
            record.interfaceNumber = ParseInterfaceNumber(path);
            record.path = path;
            if (!slots_.IsCandidate(record))
                continue;
            // Read-only, so the probe never competes with a device holding the interface.
            if (!probe_.Open(path, true, false)) {
                if (hid::IsNoPermissionError(probe_.LastError()) && denied_.insert(path).second)
                    listener_.OnAccessDenied(record, probe_.LastError());
                continue;
            }
            record.vendorId = probe_.VendorId();
            record.productId = probe_.ProductId();
            record.usagePage = probe_.UsagePage();
            record.usage = probe_.Usage();
            probe_.Close();
            const int slot = slots_.ClaimSlot(record);
            if (slot >= 0)
                listener_.OnDeviceArrived(slot);
        }
    }
    if (firstPass_) {
        firstPass_ = false;
        listener_.OnFirstPass();
    }
    // Without a list nothing can be said about what is gone.
    if (!listed) {
        DebugLog("device monitor: enumeration failed, trying again\n");
        return;
    }
    for (int slot : slots_.Claimed()) {
        const std::string path = slots_.Slot(slot).path;
        if (std::find(present.begin(), present.end(), path) != present.end())
            continue;
        if (slots_.ReleaseSlot(slot))
            listener_.OnDeviceRemoved(slot);
    }
}

void CDeviceMonitor::Run(std::stop_token stop, std::chrono::milliseconds interval) {
    std::mutex mutex;
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        PollOnce();
        std::unique_lock lock(mutex);
        wake.wait_for(lock, stop, interval, [] { return false; });
    }
    DebugLog("抓取设备线程设定退出\n");
}

}  // namespace morva
