#include "tools/morvactl/device_names.h"

#include <array>

#include "device/device_tables.h"

namespace morva::cli {

namespace {
constexpr std::array<DeviceName, 6> kNames = {{
    {"mouse", kVendorId, kProductMouse, kDeviceTypeMouse},
    {"mouse-receiver", kVendorId, kProductMouseReceiver, kDeviceTypeMouseReceiver},
    {"keyboard", kVendorId, kProductKeyboard, kDeviceTypeKeyboard},
    {"keyboard-receiver", kVendorId, kProductKeyboardReceiver, kDeviceTypeKeyboardReceiver},
    {"pad", kVendorId, kProductMousePad, kDeviceTypeMousePad},
    {"headset", kHeadsetVendorId, kProductHeadset, kDeviceTypeHeadset},
}};
}  // namespace

std::optional<DeviceName> FindDeviceName(std::string_view name) {
    for (const DeviceName& d : kNames) {
        if (d.name == name)
            return d;
    }
    return std::nullopt;
}

std::string DeviceNameList() {
    std::string list;
    for (const DeviceName& d : kNames) {
        if (!list.empty())
            list += ", ";
        list += d.name;
    }
    return list;
}

std::string_view DeviceTypeName(std::uint16_t deviceType) {
    for (const DeviceName& d : kNames) {
        if (d.deviceType == deviceType)
            return d.name;
    }
    return "unknown";
}

}  // namespace morva::cli
