// Where hidraw nodes come from: udev on a live system, or a plain sysfs-like folder tree
// (tests build one without hardware). Both report the same details of a node.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morva::hid {

// One hidraw node and the USB interface behind it.
struct HidrawNodeDetails {
    std::string devnode;  // "/dev/hidraw3"
    // sysfs path of the hidraw device; differs after every replug even when the node name
    // is reused, so it tells a reused node from the one that was opened.
    std::string syspath;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;  // bcdDevice
    std::uint16_t interfaceNumber = 0;
    std::vector<std::uint8_t> descriptor;
};

class HidrawNodeSource {
public:
    virtual ~HidrawNodeSource() = default;
    // Every node whose details can be read; the others are skipped with a debug log line.
    // False only when the nodes cannot be listed at all. Safe from any thread.
    virtual bool List(std::vector<HidrawNodeDetails>& nodes) = 0;
    // The node that `devnode` names now; nullopt when absent or unreadable.
    virtual std::optional<HidrawNodeDetails> Find(const std::string& devnode) = 0;
};

std::unique_ptr<HidrawNodeSource> MakeUdevNodeSource();

// `sysfsRoot` is laid out like /sys: class/hidraw/<name> links to the node's device folder,
// whose "device" link is the HID device (with report_descriptor); above it come the USB
// interface (bInterfaceNumber) and the USB device (idVendor, idProduct, bcdDevice). Device
// nodes are `devDir`/<DEVNAME from uevent, else the folder name>. Works on /sys and /dev too.
std::unique_ptr<HidrawNodeSource> MakeSysfsNodeSource(std::filesystem::path sysfsRoot,
                                                      std::filesystem::path devDir);

namespace detail {

// A sysfs attribute holding a hexadecimal number ("320f\n", "01\n").
std::optional<std::uint16_t> ParseHexAttribute(std::string_view text);
// The whole of a (small) sysfs file; nullopt when it cannot be read or exceeds `limit`.
std::optional<std::vector<std::uint8_t>> ReadSysfsFile(const std::filesystem::path& path,
                                                       std::size_t limit);
// Largest report descriptor the kernel hands out.
inline constexpr std::size_t kMaxDescriptorSize = 4096;

}  // namespace detail

}  // namespace morva::hid
