#include <libudev.h>

#include <filesystem>
#include <memory>

#include "base/debug_log.h"
#include "platform/hidraw/node_source.h"

namespace morva::hid {

namespace {

struct UdevUnref {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref>;
using DevicePtr = std::unique_ptr<udev_device, UdevUnref>;

std::optional<std::uint16_t> HexAttribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value ? detail::ParseHexAttribute(value) : std::nullopt;
}

std::optional<HidrawNodeDetails> ReadNode(udev_device* node, std::string& reason) {
    HidrawNodeDetails details;
    const char* devnode = udev_device_get_devnode(node);
    if (!devnode) {
        reason = "no device node";
        return std::nullopt;
    }
    details.devnode = devnode;
    details.syspath = udev_device_get_syspath(node);
    // Parents belong to the child device; they are not unreferenced here.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr);
    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface");
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device");
    if (!hid || !interface || !usb) {
        reason = "not a HID device on a USB interface";
        return std::nullopt;
    }
    auto descriptor = detail::ReadSysfsFile(
        std::filesystem::path(udev_device_get_syspath(hid)) / "report_descriptor",
        detail::kMaxDescriptorSize);
    if (!descriptor) {
        reason = "no readable report descriptor";
        return std::nullopt;
    }
    details.descriptor = std::move(*descriptor);
    const auto interfaceNumber = HexAttribute(interface, "bInterfaceNumber");
    const auto vendor = HexAttribute(usb, "idVendor");
    const auto product = HexAttribute(usb, "idProduct");
    const auto version = HexAttribute(usb, "bcdDevice");
    if (!interfaceNumber || !vendor || !product || !version) {
        reason = "unreadable USB attributes";
        return std::nullopt;
    }
    details.interfaceNumber = *interfaceNumber;
    details.vendorId = *vendor;
    details.productId = *product;
    details.versionNumber = *version;
    return details;
}

// A udev context per call: libudev objects must not be shared between threads.
class UdevNodeSource final : public HidrawNodeSource {
public:
    bool List(std::vector<HidrawNodeDetails>& nodes) override {
        nodes.clear();
        const UdevPtr context(udev_new());
        const EnumeratePtr enumerate(context ? udev_enumerate_new(context.get()) : nullptr);
        if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
            udev_enumerate_scan_devices(enumerate.get()) < 0) {
            DebugLog("hidraw: udev cannot list the hidraw devices\n");
            return false;
        }
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
            const char* syspath = udev_list_entry_get_name(entry);
            const DevicePtr device(udev_device_new_from_syspath(context.get(), syspath));
            std::string reason = "gone while listing";
            std::optional<HidrawNodeDetails> details;
            if (device)
                details = ReadNode(device.get(), reason);
            if (details)
                nodes.push_back(std::move(*details));
            else
                DebugLog("hidraw: skipping %s: %s\n", syspath, reason.c_str());
        }
        return true;
    }

    std::optional<HidrawNodeDetails> Find(const std::string& devnode) override {
        const std::string name = std::filesystem::path(devnode).filename().string();
        const UdevPtr context(udev_new());
        if (!context || name.empty())
            return std::nullopt;
        const DevicePtr device(
            udev_device_new_from_subsystem_sysname(context.get(), "hidraw", name.c_str()));
        if (!device)
            return std::nullopt;
        std::string reason;
        auto details = ReadNode(device.get(), reason);
        if (!details || details->devnode != devnode)
            return std::nullopt;
        return details;
    }
};

}  // namespace

std::unique_ptr<HidrawNodeSource> MakeUdevNodeSource() {
    return std::make_unique<UdevNodeSource>();
}

}  // namespace morva::hid
