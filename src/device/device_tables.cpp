#include "device/device_tables.h"

#include <algorithm>
#include <array>

namespace morva {
namespace {

constexpr std::uint16_t kVendorPage = 0xFF1C;
constexpr std::uint16_t kVendorUsage = 0x92;
constexpr std::uint16_t kConsumerPage = 0x000C;
constexpr std::uint16_t kConsumerUsage = 0x01;

// Interface 1 of every product except the headset: consumer control on collection 3 (events),
// the vendor collection on 4 (commands).
SupportedInterface CommandRow(std::uint16_t productId, std::uint16_t deviceType,
                              std::uint16_t hasPartner, std::uint16_t partnerIndex) {
    SupportedInterface row;
    row.vendorId = kVendorId;
    row.productId = productId;
    row.interfaceNumber = 1;
    row.collection = 4;
    row.deviceType = deviceType;
    row.role = kRoleCommand;
    row.usagePage = kVendorPage;
    row.usage = kVendorUsage;
    row.hasPartner = hasPartner;
    row.partnerIndex = partnerIndex;
    return row;
}

SupportedInterface EventRow(std::uint16_t productId, std::uint16_t deviceType,
                            std::uint16_t hasPartner, std::uint16_t partnerIndex) {
    SupportedInterface row = CommandRow(productId, deviceType, hasPartner, partnerIndex);
    row.collection = 3;
    row.role = kRoleEvent;
    row.usagePage = kConsumerPage;
    row.usage = kConsumerUsage;
    return row;
}

// The headset's only HID collection is a consumer control that carries the command reports.
SupportedInterface HeadsetRow() {
    SupportedInterface row;
    row.vendorId = kHeadsetVendorId;
    row.productId = kProductHeadset;
    row.interfaceNumber = 3;
    row.collection = 0;
    row.deviceType = kDeviceTypeHeadset;
    row.role = kRoleCommand;
    row.usagePage = kConsumerPage;
    row.usage = kConsumerUsage;
    return row;
}

constexpr std::string_view kEntryLayout = "XML/CustomControlXML/DeviceOption.xml";
constexpr std::string_view kTabHeader = "tab_header_device";
constexpr std::string_view kPowerSwitch = "device_power_switch";
constexpr std::string_view kLightConfig = "kaldo_light";

constexpr std::array kDeviceTypes{
    DeviceTypeInfo{kEntryLayout, kTabHeader, kPowerSwitch, "mouse", kKindMouse, kVendorId,
                   kProductMouse, kDeviceTypeMouse, 0},
    DeviceTypeInfo{kEntryLayout, kTabHeader, kPowerSwitch, "keyboard", kKindKeyboard, kVendorId,
                   kProductKeyboard, kDeviceTypeKeyboard, 0},
    DeviceTypeInfo{kEntryLayout, kTabHeader, kPowerSwitch, "MousePad", kKindMousePad, kVendorId,
                   kProductMousePad, kDeviceTypeMousePad, 0},
    DeviceTypeInfo{kEntryLayout, kTabHeader, kPowerSwitch, "HD", kKindHeadset, kHeadsetVendorId,
                   kProductHeadset, kDeviceTypeHeadset, 0},
};

constexpr std::array kDevicePages{
    DevicePageInfo{15, 11, true, -1, "XML/DeviceXml/mousedevice.xml", kLightConfig},
    DevicePageInfo{170, 170, true, -1, "XML/DeviceXml/keyboarddevice.xml", kLightConfig},
    DevicePageInfo{15, 0, false, -1, "XML/DeviceXml/mousepaddevice.xml", kLightConfig},
    DevicePageInfo{13, 0, false, -1, "XML/DeviceXml/vu6533device.xml", kLightConfig},
};
static_assert(kDevicePages.size() == kDeviceTypes.size());

constexpr std::array kModels{
    ModelInfo{1, 1, 0, "KALDO", "RB42M03X", "MS", "MS", ""},
    ModelInfo{1, 1, 0, "KALDO", "RB42K02X", "KB", "KB", ""},
    ModelInfo{2, 1, 0, "KALDO", "RB42K01X_1", "T33", "T33", ""},
    ModelInfo{0, 1, 0, "KALDO", "ALL", "T33_Q71_Q72", "AP", "V1.0.0.0"},
};

template <typename Range, typename Pred>
int IndexOf(const Range& rows, Pred pred) {
    const auto it = std::find_if(rows.begin(), rows.end(), pred);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

}  // namespace

std::span<const SupportedInterface> SupportedInterfaces() {
    // Partners link each cable row with the receiver row of the same role.
    static const std::array<SupportedInterface, 11> rows{
        CommandRow(kProductKeyboard, kDeviceTypeKeyboard, 1, 2),
        EventRow(kProductKeyboard, kDeviceTypeKeyboard, 1, 3),
        CommandRow(kProductKeyboardReceiver, kDeviceTypeKeyboardReceiver, 1, 0),
        EventRow(kProductKeyboardReceiver, kDeviceTypeKeyboardReceiver, 1, 1),
        CommandRow(kProductMouse, kDeviceTypeMouse, 1, 6),
        EventRow(kProductMouse, kDeviceTypeMouse, 1, 7),
        CommandRow(kProductMouseReceiver, kDeviceTypeMouseReceiver, 1, 4),
        EventRow(kProductMouseReceiver, kDeviceTypeMouseReceiver, 1, 5),
        CommandRow(kProductMousePad, kDeviceTypeMousePad, 0, 0),
        EventRow(kProductMousePad, kDeviceTypeMousePad, 0, 0),
        HeadsetRow(),
    };
    return rows;
}

std::span<const DeviceTypeInfo> DeviceTypes() {
    return kDeviceTypes;
}
std::span<const DevicePageInfo> DevicePages() {
    return kDevicePages;
}
std::span<const ModelInfo> Models() {
    return kModels;
}

int FindInterfaceRow(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t deviceType,
                     std::uint16_t role) {
    return IndexOf(SupportedInterfaces(), [&](const SupportedInterface& r) {
        return r.vendorId == vendorId && r.productId == productId && r.deviceType == deviceType &&
               r.role == role;
    });
}

int FindDeviceTypeRow(std::uint16_t vendorId, std::uint16_t productId, std::uint16_t deviceType,
                      std::uint16_t subKey) {
    return IndexOf(kDeviceTypes, [&](const DeviceTypeInfo& r) {
        return r.vendorId == vendorId && r.productId == productId && r.deviceType == deviceType &&
               r.subKey == subKey;
    });
}

bool RecordsEqual(const SupportedInterface& a, const SupportedInterface& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.interfaceNumber == b.interfaceNumber && a.collection == b.collection &&
           a.deviceType == b.deviceType && a.role == b.role && a.usagePage == b.usagePage &&
           a.usage == b.usage;
}

std::uint16_t CableDeviceType(std::uint16_t deviceType) {
    switch (deviceType) {
        case kDeviceTypeKeyboardReceiver:
            return kDeviceTypeKeyboard;
        case kDeviceTypeMouseReceiver:
            return kDeviceTypeMouse;
        default:
            return deviceType;
    }
}

int DeviceTypeRowFor(std::uint16_t deviceType) {
    const std::uint16_t cable = CableDeviceType(deviceType);
    return IndexOf(kDeviceTypes, [&](const DeviceTypeInfo& r) { return r.deviceType == cable; });
}

}  // namespace morva
