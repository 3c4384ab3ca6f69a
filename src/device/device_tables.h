// The fixed tables that decide which HID interfaces the program serves and what it builds
// for each product: interface rows, device pages and the models the update check reports.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace morva {

// Device type codes. A receiver link has its own code; the product behind it shares the
// cable's page and profile.
inline constexpr std::uint16_t kDeviceTypeKeyboard = 1;
inline constexpr std::uint16_t kDeviceTypeKeyboardReceiver = 9;
inline constexpr std::uint16_t kDeviceTypeMouse = 2;
inline constexpr std::uint16_t kDeviceTypeMouseReceiver = 6;
inline constexpr std::uint16_t kDeviceTypeMousePad = 3;
inline constexpr std::uint16_t kDeviceTypeHeadset = 7;

// Interface roles: the vendor collection carries command reports, the consumer-control
// collection carries event reports.
inline constexpr std::uint16_t kRoleCommand = 0;
inline constexpr std::uint16_t kRoleEvent = 0xFF;

inline constexpr std::uint16_t kVendorId = 0x320F;
inline constexpr std::uint16_t kHeadsetVendorId = 0x0C76;

inline constexpr std::uint16_t kProductKeyboard = 0x5055;
inline constexpr std::uint16_t kProductKeyboardReceiver = 0x5088;
inline constexpr std::uint16_t kProductMouse = 0x221C;
inline constexpr std::uint16_t kProductMouseReceiver = 0x221D;
inline constexpr std::uint16_t kProductMousePad = 0x1004;
inline constexpr std::uint16_t kProductHeadset = 0x1630;

// Device kinds handed to a device object (not the same numbering as the type codes).
inline constexpr int kKindKeyboard = 0;
inline constexpr int kKindMouse = 1;
inline constexpr int kKindMousePad = 2;
inline constexpr int kKindHeadset = 3;

// One supported interface; also an interface slot at run time and a device's identity.
struct SupportedInterface {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t interfaceNumber = 0;  // "&mi_" of the path
    std::uint16_t collection = 0;       // "&col" of the path, 0 when absent
    std::uint16_t deviceType = 0;
    std::uint16_t role = kRoleCommand;
    std::uint16_t connected = 0;  // 1 while the slot is claimed
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::uint16_t hasPartner = 0;    // 1 when the product has a second link
    std::uint16_t partnerIndex = 0;  // row of the same role on the other link
    std::string path;                // set while claimed
};

// One kind of device page.
struct DeviceTypeInfo {
    std::string_view entryLayout;  // tab entry layout
    std::string_view tabHeaderName;
    std::string_view powerSwitchName;
    std::string_view typeName;  // also the model folder name
    int kind = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t deviceType = 0;
    std::uint16_t subKey = 0;
};

// Page resources of a device-type row (same row order).
struct DevicePageInfo {
    int ledCount = 0;
    int keyCount = 0;
    bool powerPanel = false;
    int logoLed = -1;  // -1: no logo LED
    std::string_view pageLayout;
    std::string_view lightConfigName;
};

// A model as the update check names it. version is filled in at run time.
struct ModelInfo {
    int kind = 0;  // 0: the program itself
    int enabled = 0;
    int version = 0;
    std::string_view brand;
    std::string_view modelCode;
    std::string_view class1;
    std::string_view class2;
    std::string_view versionText;
};

// Rows in fixed order; row numbers are used as slot indexes and partner links.
std::span<const SupportedInterface> SupportedInterfaces();
std::span<const DeviceTypeInfo> DeviceTypes();
std::span<const DevicePageInfo> DevicePages();  // row i belongs to DeviceTypes()[i]
std::span<const ModelInfo> Models();

// Row of the supported-interface table, or -1.
int FindInterfaceRow(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t deviceType,
                     std::uint16_t role);
// Row of the device-type table, or -1.
int FindDeviceTypeRow(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t deviceType,
                      std::uint16_t subKey);

// Identity comparison: the run-time fields (connected, path) and the partner link are ignored,
// so a claimed slot equals its static row.
bool RecordsEqual(const SupportedInterface& a, const SupportedInterface& b);

constexpr bool IsReceiverType(std::uint16_t deviceType) {
    return deviceType == kDeviceTypeKeyboardReceiver || deviceType == kDeviceTypeMouseReceiver;
}
// The cable type of the same product: 9 -> 1, 6 -> 2, others unchanged.
std::uint16_t CableDeviceType(std::uint16_t deviceType);
// Device-type row serving a type code (a receiver is served by its cable's row), or -1.
int DeviceTypeRowFor(std::uint16_t deviceType);

}  // namespace morva
