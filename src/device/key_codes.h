// What the three bytes of a key assignment mean, the code tables the key assignment panel
// offers, and the key name table linking key names, HID usages and hook scan codes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "profile/key_code.h"

namespace morva {

// KeyCode types.
inline constexpr std::uint8_t kKeyTypeMouseButton = 0x10;
inline constexpr std::uint8_t kKeyTypeRepeat = 0x11;  // repeated button press
inline constexpr std::uint8_t kKeyTypeWheel = 0x12;
inline constexpr std::uint8_t kKeyTypeDpi = 0x13;
inline constexpr std::uint8_t kKeyTypeFire = 0x14;
inline constexpr std::uint8_t kKeyTypeKeyboard = 0x20;
inline constexpr std::uint8_t kKeyTypeMedia = 0x30;
inline constexpr std::uint8_t kKeyTypeSystem = 0x40;
inline constexpr std::uint8_t kKeyTypeMacro = 0x70;
inline constexpr std::uint8_t kKeyTypeMacroCount = 0x71;  // macro repeated a number of times
inline constexpr std::uint8_t kKeyTypeGunKey = 0x72;
// Device function codes: found in a device's default tables, never built by the panel.
inline constexpr std::uint8_t kKeyTypeFunction = 0xA0;  // Fn, GM
inline constexpr std::uint8_t kKeyTypeShortcut = 0xB0;
inline constexpr std::uint8_t kKeyTypeMKey = 0xD0;  // M1..M5

// Bits of the HID modifier byte (value 1 of a keyboard code).
inline constexpr std::uint8_t kModLeftCtrl = 0x01;
inline constexpr std::uint8_t kModLeftShift = 0x02;
inline constexpr std::uint8_t kModLeftAlt = 0x04;
inline constexpr std::uint8_t kModLeftWin = 0x08;
inline constexpr std::uint8_t kModRightCtrl = 0x10;
inline constexpr std::uint8_t kModRightShift = 0x20;
inline constexpr std::uint8_t kModRightAlt = 0x40;
inline constexpr std::uint8_t kModRightWin = 0x80;

constexpr KeyCode MakeKeyboardCode(std::uint8_t modifiers, std::uint8_t usage) {
    return KeyCode{kKeyTypeKeyboard, modifiers, usage};
}
// value 1 holds the low byte of the consumer-control usage.
constexpr KeyCode MakeMediaCode(std::uint16_t usage) {
    return KeyCode{kKeyTypeMedia, static_cast<std::uint8_t>(usage & 0xFF),
                   static_cast<std::uint8_t>(usage >> 8)};
}
constexpr std::uint16_t MediaUsage(KeyCode code) {
    return static_cast<std::uint16_t>(code.value2 << 8 | code.value1);
}

// Combo rows of the key assignment panel, in item order.
inline constexpr std::array<KeyCode, 5> MouseButtonCodes{{
    {kKeyTypeMouseButton, 0x01, 0},  // left
    {kKeyTypeMouseButton, 0x04, 0},  // middle
    {kKeyTypeMouseButton, 0x02, 0},  // right
    {kKeyTypeMouseButton, 0x10, 0},  // forward
    {kKeyTypeMouseButton, 0x08, 0},  // back
}};

inline constexpr std::array<KeyCode, 3> DpiFunctionCodes{{
    {kKeyTypeDpi, 1, 0},  // up
    {kKeyTypeDpi, 2, 0},  // down
    {kKeyTypeDpi, 3, 0},  // cycle
}};

inline constexpr std::array<KeyCode, 3> SystemCodes{{
    {kKeyTypeSystem, 0x01, 0},  // power
    {kKeyTypeSystem, 0x02, 0},  // sleep
    {kKeyTypeSystem, 0x04, 0},  // wake
}};

inline constexpr std::array<KeyCode, 18> MediaCodes{
    MakeMediaCode(0x0183),  // media player
    MakeMediaCode(0x00CD),  // play/pause
    MakeMediaCode(0x00B7),  // stop
    MakeMediaCode(0x00B6),  // previous
    MakeMediaCode(0x00B5),  // next
    MakeMediaCode(0x00EA),  // volume down
    MakeMediaCode(0x00E9),  // volume up
    MakeMediaCode(0x00E2),  // mute
    MakeMediaCode(0x0223),  // browser home
    MakeMediaCode(0x0227),  // browser refresh
    MakeMediaCode(0x0226),  // browser stop
    MakeMediaCode(0x0224),  // browser back
    MakeMediaCode(0x0225),  // browser forward
    MakeMediaCode(0x022A),  // favourites
    MakeMediaCode(0x0221),  // search
    MakeMediaCode(0x0194),  // my computer
    MakeMediaCode(0x0192),  // calculator
    MakeMediaCode(0x018A),  // mail
};

// Left Ctrl with O, N, Z, S, C, X, V, F, A, "-", "=".
inline constexpr std::array<KeyCode, 11> OfficeShortcutCodes{
    MakeKeyboardCode(kModLeftCtrl, 0x12), MakeKeyboardCode(kModLeftCtrl, 0x11),
    MakeKeyboardCode(kModLeftCtrl, 0x1D), MakeKeyboardCode(kModLeftCtrl, 0x16),
    MakeKeyboardCode(kModLeftCtrl, 0x06), MakeKeyboardCode(kModLeftCtrl, 0x1B),
    MakeKeyboardCode(kModLeftCtrl, 0x19), MakeKeyboardCode(kModLeftCtrl, 0x09),
    MakeKeyboardCode(kModLeftCtrl, 0x04), MakeKeyboardCode(kModLeftCtrl, 0x2D),
    MakeKeyboardCode(kModLeftCtrl, 0x2E),
};

// Modifier options "key_ComBox_check_" n: 0 none, 1..8 one modifier bit each.
inline constexpr int kModifierOptionCount = 9;
// Bit of option n; 0 for option 0 and for anything out of range.
constexpr std::uint8_t ModifierOptionBits(int option) {
    return option >= 1 && option <= 8 ? static_cast<std::uint8_t>(1u << (option - 1)) : 0;
}
// Option showing a modifier byte: the option of its single bit, 0 for none or several bits.
int ModifierOptionFor(std::uint8_t modifiers);

// Repeated press (0x11) and wheel (0x12) codes share value 1: delay and speed in 4 bits each.
struct RepeatParams {
    int delay = 0;
    int speed = 0;
    int count = 0;
    bool secondVariant = false;  // repeat: right button; wheel: down
};
KeyCode MakeRepeatCode(int delay, int speed, int count, bool secondVariant);
// The second direction stores (128 - count) with bit 7 set.
KeyCode MakeWheelCode(int delay, int speed, int count, bool otherDirection);
RepeatParams DecodeRepeatCode(KeyCode code);
RepeatParams DecodeWheelCode(KeyCode code);

constexpr KeyCode MakeFireCode(std::uint8_t interval, std::uint8_t count) {
    return KeyCode{kKeyTypeFire, interval, count};
}
// repeatMode is the item of the macro repeat combo.
constexpr KeyCode MakeMacroCode(std::uint8_t macroIndex, std::uint8_t repeatMode) {
    return KeyCode{kKeyTypeMacro, macroIndex, repeatMode};
}
constexpr KeyCode MakeMacroCountCode(std::uint8_t macroIndex, std::uint8_t repeatCount) {
    return KeyCode{kKeyTypeMacroCount, macroIndex, repeatCount};
}
constexpr KeyCode MakeGunKeyCode(std::uint8_t gunKeyIndex) {
    return KeyCode{kKeyTypeGunKey, gunKeyIndex, 0};
}

// One row of the key name table.
struct KeyNameEntry {
    std::string_view label;
    std::string languageKey;  // "keyboard_key_" + label
    KeyCode code;
    std::uint8_t scanCode = 0;  // set-1 make code as the keyboard hook reports it
    bool extended = false;
};

inline constexpr int kKeyNameRowCount = 142;
inline constexpr int kModifierRowCount = 8;    // rows 0..7
inline constexpr int kScanCodeRowCount = 113;  // rows 0..112 carry scan codes
// A placeholder row, not a key; every look-up skips it.
inline constexpr int kReservedKeyNameRow = 129;

std::span<const KeyNameEntry> KeyNameTable();

// Each returns the row, or -1. By code: the first row with that code.
int FindKeyNameRow(KeyCode code);
// Key capture: rows 0..112 only.
int FindKeyNameRowByScanCode(std::uint8_t scanCode, bool extended);
int FindKeyNameRowByLabel(std::string_view label);

// The key name table's scan code (set 1, with its extended flag) of a key the X server
// reports by its keycode; nothing for keys the table does not know.
std::optional<std::pair<std::uint8_t, bool>> ScanCodeOfX11Keycode(int keycode);

}  // namespace morva
