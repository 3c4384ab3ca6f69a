#include "device/models/keyboard_keys.h"

#include <algorithm>

#include "device/key_codes.h"

namespace morva {
namespace {

constexpr KeyCode K(std::uint8_t usage) {
    return KeyCode{kKeyTypeKeyboard, 0, usage};
}
constexpr KeyCode Mod(std::uint8_t bits) {
    return KeyCode{kKeyTypeKeyboard, bits, 0};
}
constexpr KeyCode kBlank = K(0);

constexpr std::array<KeyCode, kKeyboardKeyTableRows> BuildTable() {
    std::array<KeyCode, kKeyboardKeyTableRows> t{};
    // The codes the Fn layer keeps: F1..F12, 1..3, grave, backslash, arrows, keypad minus,
    // '=', A, S, space, Q, W, E, [, R, left Windows.
    constexpr std::array<KeyCode, kFnReservedRows> reserved = {
        K(0x3A), K(0x3B), K(0x3C), K(0x3D), K(0x3E), K(0x3F), K(0x40), K(0x41),
        K(0x42), K(0x43), K(0x44), K(0x45), K(0x1E), K(0x1F), K(0x20), K(0x35),
        K(0x31), K(0x50), K(0x51), K(0x4F), K(0x52), K(0x56), K(0x2E), K(0x04),
        K(0x16), K(0x2C), K(0x14), K(0x1A), K(0x08), K(0x1B), K(0x15), Mod(0x08)};
    constexpr std::array<KeyCode, kKeyboardUiKeys> keys = {
        // 0..15: Esc, F1..F12, PrtSc, ScrLk, Pause
        K(0x29), K(0x3A), K(0x3B), K(0x3C), K(0x3D), K(0x3E), K(0x3F), K(0x40), K(0x41), K(0x42),
        K(0x43), K(0x44), K(0x45), K(0x46), K(0x47), K(0x48),
        // 16..31
        KeyCode{kKeyTypeFunction, 0x1B, 0}, KeyCode{kKeyTypeFunction, 0x24, 0}, kBlank, kBlank,
        kBlank, K(0x35), K(0x1E), K(0x1F), K(0x20), K(0x21), K(0x22), K(0x23), K(0x24), K(0x25),
        K(0x26), K(0x27),
        // 32..47
        K(0x2D), K(0x2E), K(0x2A), K(0x49), K(0x4A), K(0x4B), K(0x53), K(0x54), K(0x55), K(0x56),
        K(0x2B), K(0x14), K(0x1A), K(0x08), K(0x15), K(0x17),
        // 48..63
        K(0x1C), K(0x18), K(0x0C), K(0x12), K(0x13), K(0x2F), K(0x30), K(0x31), K(0x4C), K(0x4D),
        K(0x4E), K(0x5F), K(0x60), K(0x61), K(0x32), K(0x39),
        // 64..79
        K(0x04), K(0x16), K(0x07), K(0x09), K(0x0A), K(0x0B), K(0x0D), K(0x0E), K(0x0F), K(0x33),
        K(0x34), K(0x28), K(0x5C), K(0x5D), K(0x5E), K(0x8A),
        // 80..95
        K(0x8B), K(0x90), K(0x91), K(0x88), Mod(0x02), K(0x1D), K(0x1B), K(0x06), K(0x19), K(0x05),
        K(0x11), K(0x10), K(0x36), K(0x37), K(0x38), Mod(0x20),
        // 96..111
        K(0x52), K(0x59), K(0x5A), K(0x5B), K(0x87), K(0x89), K(0x64), K(0x85), kBlank, Mod(0x01),
        Mod(0x08), Mod(0x04), K(0x2C), Mod(0x40), KeyCode{kKeyTypeFunction, 0x01, 0}, K(0x65),
        // 112..125
        Mod(0x10), K(0x50), K(0x51), K(0x4F), K(0x62), K(0x63), K(0x58), K(0x57),
        KeyCode{kKeyTypeMKey, 0xA2, 1}, KeyCode{kKeyTypeMKey, 0xA2, 2},
        KeyCode{kKeyTypeMKey, 0xA2, 3}, KeyCode{kKeyTypeMKey, 0xA2, 4},
        KeyCode{kKeyTypeMKey, 0xA2, 5}, Mod(0x80)};
    for (std::size_t i = 0; i < reserved.size(); ++i)
        t[i] = reserved[i];
    for (std::size_t i = 0; i < keys.size(); ++i)
        t[kFnReservedRows + i] = keys[i];
    for (std::size_t i = kFnReservedRows + keys.size(); i < t.size(); ++i)
        t[i] = kBlank;
    return t;
}

constexpr std::array<KeyCode, kKeyboardKeyTableRows> kTable = BuildTable();

KeyListEntry FactoryEntry(int key) {
    const IndexedKeyCode code{static_cast<std::uint16_t>(key), KeyboardFactoryCode(key)};
    return KeyListEntry{code, code, code};
}

}  // namespace

const std::array<KeyCode, kKeyboardKeyTableRows>& KeyboardKeyTable() {
    return kTable;
}

int KeyboardUiKeyOfCode(KeyCode code) {
    for (int key = 0; key < kKeyboardUiKeys; ++key) {
        if (KeyboardFactoryCode(key) == code)
            return key;
    }
    return -1;
}

KeyCode KeyboardFactoryCode(int key) {
    if (key < 0 || key >= kKeyboardUiKeys)
        return {};
    return kTable[static_cast<std::size_t>(kFnReservedRows + key)];
}

const std::vector<int>& FnReservedUiKeys() {
    static const std::vector<int> keys = [] {
        std::vector<int> found;
        for (int row = 0; row < kFnReservedRows; ++row) {
            const auto begin = kTable.begin() + kFnReservedRows;
            const auto it = std::find(begin, kTable.end(), kTable[static_cast<std::size_t>(row)]);
            const int key = static_cast<int>(it - begin);
            // Rows past the 126 keys are blanks: no cell to disable.
            if (it != kTable.end() && key < kKeyboardUiKeys)
                found.push_back(key);
        }
        return found;
    }();
    return keys;
}

std::vector<KeyListEntry> FactoryKeyboardKeyList() {
    return CompleteKeyboardKeyList({});
}

std::vector<KeyListEntry> CompleteKeyboardKeyList(std::vector<KeyListEntry> keys) {
    if (keys.size() > static_cast<std::size_t>(kKeyboardUiKeys))
        keys.resize(kKeyboardUiKeys);
    for (auto j = static_cast<int>(keys.size()); j < kKeyboardUiKeys; ++j)
        keys.push_back(FactoryEntry(j));
    return keys;
}

std::optional<KeyLabel> KeyboardAssignmentLabel(KeyCode code,
                                                std::span<const std::string> macroNames) {
    switch (code.type) {
        case 0x15:
        case 0x21:
        case 0x33:
        case 0x50:
        case 0x60:
        case kKeyTypeShortcut:
        case 0xC0:
            return std::nullopt;
        case kKeyTypeMKey:
            if (code.value1 == 0xA2 && code.value2 >= 1 && code.value2 <= 5)
                return KeyLabel{KeyLabelPart{"M" + std::to_string(code.value2), {}, true}};
            return KeyLabel{KeyLabelPart{"close_text", {}, false}};
        default:
            return MouseAssignmentLabel(code, macroNames);
    }
}

}  // namespace morva
