#include "platform/alsa/sound_card_monitor.h"

#include <libudev.h>

#include <cstring>

namespace morva::alsa {

struct CSoundCardMonitor::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    ~Udev() {
        if (monitor != nullptr)
            udev_monitor_unref(monitor);
        if (context != nullptr)
            udev_unref(context);
    }
};

CSoundCardMonitor::CSoundCardMonitor() : udev_(std::make_unique<Udev>()) {
    udev_->context = udev_new();
    if (udev_->context == nullptr) {
        reason_ = "udev is not available";
        return;
    }
    udev_->monitor = udev_monitor_new_from_netlink(udev_->context, "udev");
    if (udev_->monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(udev_->monitor, "sound", nullptr) < 0 ||
        udev_monitor_enable_receiving(udev_->monitor) < 0) {
        reason_ = "udev's sound events cannot be received";
        if (udev_->monitor != nullptr)
            udev_monitor_unref(udev_->monitor);
        udev_->monitor = nullptr;
    }
}

CSoundCardMonitor::~CSoundCardMonitor() = default;

int CSoundCardMonitor::Fd() const {
    return udev_->monitor != nullptr ? udev_monitor_get_fd(udev_->monitor) : -1;
}

bool CSoundCardMonitor::TakeEvents() {
    if (udev_->monitor == nullptr)
        return false;
    bool changed = false;
    // The monitor's socket does not block: receiving stops when nothing waits.
    while (udev_device* device = udev_monitor_receive_device(udev_->monitor)) {
        const char* action = udev_device_get_action(device);
        const char* name = udev_device_get_sysname(device);
        // A card brings its control, PCM and other nodes too; the card itself is the event.
        if (action != nullptr && name != nullptr && std::strncmp(name, "card", 4) == 0 &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0 ||
             std::strcmp(action, "change") == 0))
            changed = true;
        udev_device_unref(device);
    }
    return changed;
}

}  // namespace morva::alsa
