#include "sim/descriptors.h"

#include <algorithm>
#include <array>

namespace morva::sim {

namespace {

template <std::size_t... N>
constexpr auto Concat(const std::array<std::uint8_t, N>&... parts) {
    std::array<std::uint8_t, (N + ...)> out{};
    std::size_t at = 0;
    ((std::copy(parts.begin(), parts.end(), out.begin() + at), at += N), ...);
    return out;
}

// Boot mouse: five buttons, X, Y, wheel; no report ids.
constexpr auto kBootMouse = std::to_array<std::uint8_t>({
    0x05, 0x01,  // Usage Page (Generic Desktop)
    0x09, 0x02,  // Usage (Mouse)
    0xA1, 0x01,  // Collection (Application)
    0x09, 0x01,  //   Usage (Pointer)
    0xA1, 0x00,  //   Collection (Physical)
    0x05, 0x09,  //     Usage Page (Button)
    0x19, 0x01,  //     Usage Minimum (1)
    0x29, 0x05,  //     Usage Maximum (5)
    0x15, 0x00,  //     Logical Minimum (0)
    0x25, 0x01,  //     Logical Maximum (1)
    0x95, 0x05,  //     Report Count (5)
    0x75, 0x01,  //     Report Size (1)
    0x81, 0x02,  //     Input (Data,Var,Abs)
    0x95, 0x01,  //     Report Count (1)
    0x75, 0x03,  //     Report Size (3)
    0x81, 0x01,  //     Input (Const)
    0x05, 0x01,  //     Usage Page (Generic Desktop)
    0x09, 0x30,  //     Usage (X)
    0x09, 0x31,  //     Usage (Y)
    0x09, 0x38,  //     Usage (Wheel)
    0x15, 0x81,  //     Logical Minimum (-127)
    0x25, 0x7F,  //     Logical Maximum (127)
    0x75, 0x08,  //     Report Size (8)
    0x95, 0x03,  //     Report Count (3)
    0x81, 0x06,  //     Input (Data,Var,Rel)
    0xC0,        //   End Collection
    0xC0,        // End Collection
});

// Boot keyboard: modifiers, reserved byte, LED output, six key slots; no report ids.
constexpr auto kBootKeyboard = std::to_array<std::uint8_t>({
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x05, 0x07,        //   Usage Page (Keyboard)
    0x19, 0xE0,        //   Usage Minimum (Left Control)
    0x29, 0xE7,        //   Usage Maximum (Right GUI)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x02,        //   Input (Data,Var,Abs)
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x08,        //   Report Size (8)
    0x81, 0x01,        //   Input (Const)
    0x05, 0x08,        //   Usage Page (LEDs)
    0x19, 0x01,        //   Usage Minimum (Num Lock)
    0x29, 0x05,        //   Usage Maximum (Kana)
    0x95, 0x05,        //   Report Count (5)
    0x75, 0x01,        //   Report Size (1)
    0x91, 0x02,        //   Output (Data,Var,Abs)
    0x95, 0x01,        //   Report Count (1)
    0x75, 0x03,        //   Report Size (3)
    0x91, 0x01,        //   Output (Const)
    0x05, 0x07,        //   Usage Page (Keyboard)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x00,  //   Usage Maximum (255)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x06,        //   Report Count (6)
    0x81, 0x00,        //   Input (Data,Array)
    0xC0,              // End Collection
});

// First collection of the configuration interface: the extra keys of a mouse or pad (macro
// output) come as a keyboard, a keyboard's mouse keys as a mouse.
constexpr auto kKeyboardId1 = std::to_array<std::uint8_t>({
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x05, 0x07,        //   Usage Page (Keyboard)
    0x19, 0xE0,        //   Usage Minimum (Left Control)
    0x29, 0xE7,        //   Usage Maximum (Right GUI)
    0x15, 0x00,        //   Logical Minimum (0)
    0x25, 0x01,        //   Logical Maximum (1)
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x02,        //   Input (Data,Var,Abs)
    0x19, 0x00,        //   Usage Minimum (0)
    0x2A, 0xFF, 0x00,  //   Usage Maximum (255)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x06,        //   Report Count (6)
    0x81, 0x00,        //   Input (Data,Array)
    0xC0,              // End Collection
});

constexpr auto kMouseId1 = std::to_array<std::uint8_t>({
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x02,        // Usage (Mouse)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x09, 0x01,        //   Usage (Pointer)
    0xA1, 0x00,        //   Collection (Physical)
    0x05, 0x09,        //     Usage Page (Button)
    0x19, 0x01,        //     Usage Minimum (1)
    0x29, 0x05,        //     Usage Maximum (5)
    0x15, 0x00,        //     Logical Minimum (0)
    0x25, 0x01,        //     Logical Maximum (1)
    0x75, 0x01,        //     Report Size (1)
    0x95, 0x05,        //     Report Count (5)
    0x81, 0x02,        //     Input (Data,Var,Abs)
    0x75, 0x03,        //     Report Size (3)
    0x95, 0x01,        //     Report Count (1)
    0x81, 0x01,        //     Input (Const)
    0x05, 0x01,        //     Usage Page (Generic Desktop)
    0x09, 0x30,        //     Usage (X)
    0x09, 0x31,        //     Usage (Y)
    0x16, 0x01, 0x80,  //     Logical Minimum (-32767)
    0x26, 0xFF, 0x7F,  //     Logical Maximum (32767)
    0x75, 0x10,        //     Report Size (16)
    0x95, 0x02,        //     Report Count (2)
    0x81, 0x06,        //     Input (Data,Var,Rel)
    0x09, 0x38,        //     Usage (Wheel)
    0x15, 0x81,        //     Logical Minimum (-127)
    0x25, 0x7F,        //     Logical Maximum (127)
    0x75, 0x08,        //     Report Size (8)
    0x95, 0x01,        //     Report Count (1)
    0x81, 0x06,        //     Input (Data,Var,Rel)
    0xC0,              //   End Collection
    0xC0,              // End Collection
});

constexpr auto kSystemControlId2 = std::to_array<std::uint8_t>({
    0x05, 0x01,  // Usage Page (Generic Desktop)
    0x09, 0x80,  // Usage (System Control)
    0xA1, 0x01,  // Collection (Application)
    0x85, 0x02,  //   Report ID (2)
    0x19, 0x81,  //   Usage Minimum (System Power Down)
    0x29, 0x83,  //   Usage Maximum (System Wake Up)
    0x15, 0x00,  //   Logical Minimum (0)
    0x25, 0x01,  //   Logical Maximum (1)
    0x75, 0x01,  //   Report Size (1)
    0x95, 0x03,  //   Report Count (3)
    0x81, 0x02,  //   Input (Data,Var,Abs)
    0x95, 0x05,  //   Report Count (5)
    0x81, 0x01,  //   Input (Const)
    0xC0,        // End Collection
});

// One 16-bit array slot that carries the event words.
constexpr auto kEventWordInput = std::to_array<std::uint8_t>({
    0x19, 0x00,                    // Usage Minimum (0)
    0x2A, 0xFF, 0xFF,              // Usage Maximum (65535)
    0x15, 0x00,                    // Logical Minimum (0)
    0x27, 0xFF, 0xFF, 0x00, 0x00,  // Logical Maximum (65535)
    0x75, 0x10,                    // Report Size (16)
    0x95, 0x01,                    // Report Count (1)
    0x81, 0x00,                    // Input (Data,Array)
});

// Command reports: 63 data bytes each way behind report id 4.
constexpr auto kCommandReports = std::to_array<std::uint8_t>({
    0x85, 0x04,        // Report ID (4)
    0x09, 0x01,        // Usage (1)
    0x15, 0x00,        // Logical Minimum (0)
    0x26, 0xFF, 0x00,  // Logical Maximum (255)
    0x75, 0x08,        // Report Size (8)
    0x95, 0x3F,        // Report Count (63)
    0x81, 0x02,        // Input (Data,Var,Abs)
    0x09, 0x01,        // Usage (1)
    0x91, 0x02,        // Output (Data,Var,Abs)
});

constexpr auto kEndCollection = std::to_array<std::uint8_t>({0xC0});

constexpr auto kConsumerId3 = Concat(std::to_array<std::uint8_t>({
                                         0x05, 0x0C,  // Usage Page (Consumer)
                                         0x09, 0x01,  // Usage (Consumer Control)
                                         0xA1, 0x01,  // Collection (Application)
                                         0x85, 0x03,  //   Report ID (3)
                                     }),
                                     kEventWordInput, kEndCollection);

constexpr auto kVendorId4 = Concat(std::to_array<std::uint8_t>({
                                       0x06, 0x1C, 0xFF,  // Usage Page (0xFF1C)
                                       0x09, 0x92,        // Usage (0x92)
                                       0xA1, 0x01,        // Collection (Application)
                                   }),
                                   kCommandReports, kEndCollection);

// The headset's LED registers: 16 data bytes out behind report id 0xFF.
constexpr auto kLedReport = std::to_array<std::uint8_t>({
    0x85, 0xFF,        // Report ID (255)
    0x09, 0x02,        // Usage (2)
    0x15, 0x00,        // Logical Minimum (0)
    0x26, 0xFF, 0x00,  // Logical Maximum (255)
    0x75, 0x08,        // Report Size (8)
    0x95, 0x10,        // Report Count (16)
    0x91, 0x02,        // Output (Data,Var,Abs)
});

// The headset carries event words, command reports and its LED registers in one consumer
// collection.
constexpr auto kHeadsetControl = Concat(std::to_array<std::uint8_t>({
                                            0x05, 0x0C,  // Usage Page (Consumer)
                                            0x09, 0x01,  // Usage (Consumer Control)
                                            0xA1, 0x01,  // Collection (Application)
                                            0x85, 0x01,  //   Report ID (1)
                                        }),
                                        kEventWordInput,
                                        std::to_array<std::uint8_t>({
                                            0x06, 0x00, 0xFF,  //   Usage Page (0xFF00)
                                        }),
                                        kCommandReports, kLedReport, kEndCollection);

constexpr auto kMouseConfig = Concat(kKeyboardId1, kSystemControlId2, kConsumerId3, kVendorId4);
constexpr auto kKeyboardConfig = Concat(kMouseId1, kSystemControlId2, kConsumerId3, kVendorId4);

constexpr HidInterface kMouseInterfaces[] = {{0, kBootMouse}, {1, kMouseConfig}};
constexpr HidInterface kKeyboardInterfaces[] = {{0, kBootKeyboard}, {1, kKeyboardConfig}};
constexpr HidInterface kPadInterfaces[] = {{0, kBootKeyboard}, {1, kMouseConfig}};
constexpr HidInterface kHeadsetInterfaces[] = {{3, kHeadsetControl}};

}  // namespace

std::span<const HidInterface> InterfacesOf(Product product) {
    switch (product) {
        case Product::Mouse:
            return kMouseInterfaces;
        case Product::Keyboard:
            return kKeyboardInterfaces;
        case Product::Pad:
            return kPadInterfaces;
        case Product::Headset:
            break;
    }
    return kHeadsetInterfaces;
}

std::uint16_t ConfigInterfaceOf(Product product) {
    return product == Product::Headset ? 3 : 1;
}

std::uint8_t EventReportIdOf(Product product) {
    return product == Product::Headset ? 1 : 3;
}

}  // namespace morva::sim
