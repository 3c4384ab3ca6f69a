#include "device/key_codes.h"

#include <bit>
#include <iterator>

namespace morva {
namespace {

struct RawKeyName {
    std::string_view label;
    KeyCode code;
    std::uint8_t scanCode;
    bool extended;
};

constexpr KeyCode Key(std::uint8_t usage) {
    return MakeKeyboardCode(0, usage);
}
constexpr KeyCode Mod(std::uint8_t bit) {
    return MakeKeyboardCode(bit, 0);
}

// Scan codes are set-1 make codes. The extended flags are what the key capture compares,
// RShift included, so keep them as they are even where a real keyboard reports otherwise.
constexpr RawKeyName kRawTable[] = {
    {"LCtrl", Mod(kModLeftCtrl), 0x1D, false},
    {"LShift", Mod(kModLeftShift), 0x2A, false},
    {"LAlt", Mod(kModLeftAlt), 0x38, false},
    {"LWin", Mod(kModLeftWin), 0x5B, true},
    {"RCtrl", Mod(kModRightCtrl), 0x1D, true},
    {"RShift", Mod(kModRightShift), 0x36, true},
    {"RAlt", Mod(kModRightAlt), 0x38, true},
    {"RWin", Mod(kModRightWin), 0x5C, true},
    {"A", Key(0x04), 0x1E, false},
    {"B", Key(0x05), 0x30, false},
    {"C", Key(0x06), 0x2E, false},
    {"D", Key(0x07), 0x20, false},
    {"E", Key(0x08), 0x12, false},
    {"F", Key(0x09), 0x21, false},
    {"G", Key(0x0A), 0x22, false},
    {"H", Key(0x0B), 0x23, false},
    {"I", Key(0x0C), 0x17, false},
    {"J", Key(0x0D), 0x24, false},
    {"K", Key(0x0E), 0x25, false},
    {"L", Key(0x0F), 0x26, false},
    {"M", Key(0x10), 0x32, false},
    {"N", Key(0x11), 0x31, false},
    {"O", Key(0x12), 0x18, false},
    {"P", Key(0x13), 0x19, false},
    {"Q", Key(0x14), 0x10, false},
    {"R", Key(0x15), 0x13, false},
    {"S", Key(0x16), 0x1F, false},
    {"T", Key(0x17), 0x14, false},
    {"U", Key(0x18), 0x16, false},
    {"V", Key(0x19), 0x2F, false},
    {"W", Key(0x1A), 0x11, false},
    {"X", Key(0x1B), 0x2D, false},
    {"Y", Key(0x1C), 0x15, false},
    {"Z", Key(0x1D), 0x2C, false},
    {"1", Key(0x1E), 0x02, false},
    {"2", Key(0x1F), 0x03, false},
    {"3", Key(0x20), 0x04, false},
    {"4", Key(0x21), 0x05, false},
    {"5", Key(0x22), 0x06, false},
    {"6", Key(0x23), 0x07, false},
    {"7", Key(0x24), 0x08, false},
    {"8", Key(0x25), 0x09, false},
    {"9", Key(0x26), 0x0A, false},
    {"0", Key(0x27), 0x0B, false},
    {"Enter", Key(0x28), 0x1C, false},
    {"Esc", Key(0x29), 0x01, false},
    {"BackSpace", Key(0x2A), 0x0E, false},
    {"Tab", Key(0x2B), 0x0F, false},
    {"Space", Key(0x2C), 0x39, false},
    {"-", Key(0x2D), 0x0C, false},
    {"=", Key(0x2E), 0x0D, false},
    {"[", Key(0x2F), 0x1A, false},
    {"]", Key(0x30), 0x1B, false},
    {"xiegang", Key(0x31), 0x2B, false},  // backslash
    {";", Key(0x33), 0x27, false},
    {"'", Key(0x34), 0x28, false},
    {"`", Key(0x35), 0x29, false},
    {"<", Key(0x36), 0x33, false},  // the comma key
    {".", Key(0x37), 0x34, false},
    {"/", Key(0x38), 0x35, false},
    {"Caplk", Key(0x39), 0x3A, false},
    {"F1", Key(0x3A), 0x3B, false},
    {"F2", Key(0x3B), 0x3C, false},
    {"F3", Key(0x3C), 0x3D, false},
    {"F4", Key(0x3D), 0x3E, false},
    {"F5", Key(0x3E), 0x3F, false},
    {"F6", Key(0x3F), 0x40, false},
    {"F7", Key(0x40), 0x41, false},
    {"F8", Key(0x41), 0x42, false},
    {"F9", Key(0x42), 0x43, false},
    {"F10", Key(0x43), 0x44, false},
    {"F11", Key(0x44), 0x57, false},
    {"F12", Key(0x45), 0x58, false},
    {"Print Scr", Key(0x46), 0x37, true},
    {"Scroll Lock", Key(0x47), 0x46, false},
    {"Pause", Key(0x48), 0x45, false},
    {"Insert", Key(0x49), 0x52, true},
    {"Home", Key(0x4A), 0x47, true},
    {"Page Up", Key(0x4B), 0x49, true},
    {"Delete", Key(0x4C), 0x53, true},
    {"End", Key(0x4D), 0x4F, true},
    {"Page Down", Key(0x4E), 0x51, true},
    {"Right", Key(0x4F), 0x4D, true},
    {"Left", Key(0x50), 0x4B, true},
    {"Down", Key(0x51), 0x50, true},
    {"Up", Key(0x52), 0x48, true},
    {"Num Lock", Key(0x53), 0x45, true},
    {"Num /", Key(0x54), 0x35, true},
    {"Num *", Key(0x55), 0x37, false},
    {"Num -", Key(0x56), 0x4A, false},
    {"Num +", Key(0x57), 0x4E, false},
    {"Num Enter", Key(0x58), 0x1C, true},
    {"Num 1", Key(0x59), 0x4F, false},
    {"Num 2", Key(0x5A), 0x50, false},
    {"Num 3", Key(0x5B), 0x51, false},
    {"Num 4", Key(0x5C), 0x4B, false},
    {"Num 5", Key(0x5D), 0x4C, false},
    {"Num 6", Key(0x5E), 0x4D, false},
    {"Num 7", Key(0x5F), 0x47, false},
    {"Num 8", Key(0x60), 0x48, false},
    {"Num 9", Key(0x61), 0x49, false},
    {"Num 0", Key(0x62), 0x52, false},
    {"Decimal", Key(0x63), 0x53, false},
    {"App", Key(0x65), 0x5D, true},
    {"K45", Key(0x64), 0x56, false},
    {"K56", Key(0x87), 0x73, false},
    {"K14", Key(0x89), 0x7D, false},
    {"K107", Key(0x85), 0x7E, false},
    {"K131", Key(0x8B), 0x7B, false},
    {"K132", Key(0x8A), 0x79, false},
    {"K133", Key(0x88), 0x70, false},
    {"K150", Key(0x91), 0x71, false},
    {"K151", Key(0x90), 0x72, false},
    // No scan codes from here on: these keys are only named, never captured.
    {"Launch App2", MediaCodes[16], 0, false},
    {"Browaer Home", MediaCodes[8], 0, false},
    {"Media Play Pause", MediaCodes[1], 0, false},
    {"Browser Search", MediaCodes[14], 0, false},
    {"Launch Mail", MediaCodes[17], 0, false},
    {"Volume Up", MediaCodes[6], 0, false},
    {"Volume Mute", MediaCodes[7], 0, false},
    {"Media Stop", MediaCodes[2], 0, false},
    {"Volume Down", MediaCodes[5], 0, false},
    {"Browser Favorites", MediaCodes[13], 0, false},
    {"Browser ForWard", MediaCodes[12], 0, false},
    {"Browser Back", MediaCodes[11], 0, false},
    {"Media Prev Track", MediaCodes[3], 0, false},
    {"Media Next Track", MediaCodes[4], 0, false},
    {"Computer", MediaCodes[15], 0, false},
    {"Browser Refresh", MediaCodes[9], 0, false},
    {"Reserved", KeyCode{}, 0, false},  // keeps "wed_stop" at row 130
    {"wed_stop", MediaCodes[10], 0, false},
    {"Launch Media Select", MediaCodes[0], 0, false},
    {"Power", SystemCodes[0], 0, false},
    {"Sleep", SystemCodes[1], 0, false},
    {"Wakeup", SystemCodes[2], 0, false},
    {"M1", KeyCode{kKeyTypeMKey, 0xA2, 0x01}, 0, false},
    {"M2", KeyCode{kKeyTypeMKey, 0xA2, 0x02}, 0, false},
    {"M3", KeyCode{kKeyTypeMKey, 0xA2, 0x03}, 0, false},
    {"M4", KeyCode{kKeyTypeMKey, 0xA2, 0x04}, 0, false},
    {"M5", KeyCode{kKeyTypeMKey, 0xA2, 0x05}, 0, false},
    {"FN", KeyCode{kKeyTypeFunction, 0x01, 0x00}, 0, false},
    {"GM", KeyCode{kKeyTypeFunction, 0x1B, 0x00}, 0, false},
};
static_assert(std::size(kRawTable) == kKeyNameRowCount);
static_assert(kRawTable[kReservedKeyNameRow].label == "Reserved");
static_assert(kRawTable[kReservedKeyNameRow + 1].label == "wed_stop");

std::array<KeyNameEntry, kKeyNameRowCount> BuildKeyNameTable() {
    std::array<KeyNameEntry, kKeyNameRowCount> table;
    for (int i = 0; i < kKeyNameRowCount; ++i) {
        const RawKeyName& raw = kRawTable[i];
        table[i] = KeyNameEntry{raw.label, "keyboard_key_" + std::string(raw.label), raw.code,
                                raw.scanCode, raw.extended};
    }
    return table;
}

template <typename Pred>
int FindRow(int end, Pred pred) {
    const auto table = KeyNameTable();
    for (int i = 0; i < end; ++i) {
        if (i != kReservedKeyNameRow && pred(table[i])) {
            return i;
        }
    }
    return -1;
}

std::uint8_t Nibble(int v) {
    return static_cast<std::uint8_t>(v & 0x0F);
}

std::uint8_t DelaySpeed(int delay, int speed) {
    return static_cast<std::uint8_t>(Nibble(delay) << 4 | Nibble(speed));
}

}  // namespace

int ModifierOptionFor(std::uint8_t modifiers) {
    return std::has_single_bit(modifiers) ? std::countr_zero(modifiers) + 1 : 0;
}

KeyCode MakeRepeatCode(int delay, int speed, int count, bool secondVariant) {
    const int value2 = (count & 0x7F) | (secondVariant ? 0x80 : 0);
    return KeyCode{kKeyTypeRepeat, DelaySpeed(delay, speed), static_cast<std::uint8_t>(value2)};
}

KeyCode MakeWheelCode(int delay, int speed, int count, bool otherDirection) {
    const int value2 = otherDirection ? ((128 - count) | 0x80) : (count & 0x7F);
    return KeyCode{kKeyTypeWheel, DelaySpeed(delay, speed), static_cast<std::uint8_t>(value2)};
}

RepeatParams DecodeRepeatCode(KeyCode code) {
    return RepeatParams{code.value1 >> 4, code.value1 & 0x0F, code.value2 & 0x7F,
                        (code.value2 & 0x80) != 0};
}

RepeatParams DecodeWheelCode(KeyCode code) {
    RepeatParams params = DecodeRepeatCode(code);
    if (params.secondVariant) {
        params.count = 128 - params.count;
    }
    return params;
}

std::span<const KeyNameEntry> KeyNameTable() {
    static const std::array<KeyNameEntry, kKeyNameRowCount> table = BuildKeyNameTable();
    return table;
}

int FindKeyNameRow(KeyCode code) {
    return FindRow(kKeyNameRowCount, [&](const KeyNameEntry& e) { return e.code == code; });
}

int FindKeyNameRowByScanCode(std::uint8_t scanCode, bool extended) {
    return FindRow(kScanCodeRowCount, [&](const KeyNameEntry& e) {
        return e.scanCode == scanCode && e.extended == extended;
    });
}

int FindKeyNameRowByLabel(std::string_view label) {
    return FindRow(kKeyNameRowCount, [&](const KeyNameEntry& e) { return e.label == label; });
}

std::optional<std::pair<std::uint8_t, bool>> ScanCodeOfX11Keycode(int keycode) {
    // X keycodes are the kernel's key codes + 8; the kernel numbers the basic keys as set 1
    // does, the extended ones it moved elsewhere.
    const int code = keycode - 8;
    if (code > 0 && code <= 0x58 && code != 0x54 && code != 0x55 && code != 0x56)
        return std::pair{static_cast<std::uint8_t>(code), false};
    static const std::pair<int, std::uint8_t> kExtended[] = {
        {96, 0x1C},  {97, 0x1D},  {98, 0x35},  {99, 0x37},  {100, 0x38}, {102, 0x47},
        {103, 0x48}, {104, 0x49}, {105, 0x4B}, {106, 0x4D}, {107, 0x4F}, {108, 0x50},
        {109, 0x51}, {110, 0x52}, {111, 0x53}, {125, 0x5B}, {126, 0x5C}, {127, 0x5D},
    };
    for (const auto& [kernel, scan] : kExtended) {
        if (kernel == code)
            return std::pair{scan, true};
    }
    return std::nullopt;
}

}  // namespace morva
