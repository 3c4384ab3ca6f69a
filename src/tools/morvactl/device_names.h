// The device names the command line takes: one per link a product is reached through.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace morva::cli {

struct DeviceName {
    std::string_view name;  // "mouse", "mouse-receiver", ...
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint16_t deviceType;
};

std::optional<DeviceName> FindDeviceName(std::string_view name);
// "mouse, mouse-receiver, keyboard, keyboard-receiver, pad, headset"
std::string DeviceNameList();
// Name of a device type code, e.g. 6 -> "mouse-receiver".
std::string_view DeviceTypeName(std::uint16_t deviceType);

}  // namespace morva::cli
