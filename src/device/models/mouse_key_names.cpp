#include "device/models/mouse_key_names.h"

#include <algorithm>
#include <cstdio>

#include "device/key_codes.h"

namespace morva {
namespace {

constexpr std::uint8_t kTypeNone = 0x00;
constexpr std::uint8_t kTypeDpiShift = 0x16;
constexpr std::uint8_t kTypeOffice = 0x22;
constexpr std::uint8_t kTypeShowWindow = 0x23;
constexpr std::uint8_t kSmartKey = 0x02;

KeyLabel Key(std::string key, std::string fallback = {}) {
    return KeyLabel{KeyLabelPart{std::move(key), std::move(fallback), false}};
}

KeyLabelPart RowPart(const KeyNameEntry& row) {
    return KeyLabelPart{row.languageKey, std::string(row.label), false};
}

std::optional<KeyLabel> MouseButtonLabel(std::uint8_t value1) {
    switch (value1) {
        case 0x01:
            return Key("mouse_key_left");
        case 0x04:
            return Key("mouse_key_middle");
        case 0x02:
            return Key("mouse_key_right");
        case 0x10:
            return Key("mouse_key_forward");
        case 0x08:
            return Key("mouse_key_back");
        default:
            return std::nullopt;
    }
}

// Modifiers by their bits, then the key: a code with several modifiers names all of them, and
// a code is only ever named by keyboard rows.
KeyLabel KeyboardLabel(KeyCode code) {
    const auto table = KeyNameTable();
    KeyLabel label;
    for (int row = 0; row < kModifierRowCount; ++row) {
        const KeyNameEntry& entry = table[static_cast<std::size_t>(row)];
        if ((code.value1 & entry.code.value1) != 0)
            label.push_back(RowPart(entry));
    }
    if (code.value2 == 0)
        return label;
    const auto key = std::find_if(table.begin() + kModifierRowCount, table.end(), [&](auto& e) {
        return e.code == MakeKeyboardCode(0, code.value2);
    });
    if (key != table.end()) {
        label.push_back(RowPart(*key));
    } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", code.value2);
        label.push_back(KeyLabelPart{hex, {}, true});
    }
    return label;
}

std::optional<KeyLabel> MediaLabel(KeyCode code) {
    static constexpr std::array<const char*, MediaCodes.size()> kKeys = {
        "media_text",    "media_play",   "media_stop", "media_prev",  "media_next", "media_vol_sub",
        "media_vol_add", "media_mute",   "web_text",   "web_refresh", "wed_stop",   "wed_back",
        "wed_forward",   "wed_favorite", "web_search", "media_mypc",  "media_calc", "media_mail"};
    const auto it = std::find(MediaCodes.begin(), MediaCodes.end(), code);
    if (it == MediaCodes.end())
        return std::nullopt;
    return Key(kKeys[static_cast<std::size_t>(it - MediaCodes.begin())]);
}

std::optional<KeyLabel> FunctionLabel(KeyCode code) {
    if (code.value1 == kSmartKey)
        return Key("mouse_key_smart_key");
    if (code.value1 == 0)
        return Key("close_text");
    const int row = FindKeyNameRow(code);
    if (row < 0)
        return std::nullopt;
    return KeyLabel{RowPart(KeyNameTable()[static_cast<std::size_t>(row)])};
}

}  // namespace

std::optional<KeyLabel> MouseAssignmentLabel(KeyCode code,
                                             std::span<const std::string> macroNames) {
    switch (code.type) {
        case kKeyTypeMouseButton:
            return MouseButtonLabel(code.value1);
        case kKeyTypeRepeat:
            return Key(code.value2 & 0x80 ? "mouse_key_right_Swing" : "mouse_key_left_Swing");
        case kKeyTypeWheel:
            return Key(code.value2 & 0x80 ? "mouse_key_down_Swing" : "mouse_key_up_Swing");
        case kKeyTypeDpi: {
            static constexpr std::array<const char*, 3> kDpi = {
                "mouse_key_DPI_add", "mouse_key_DPI_sub", "mouse_key_DPI_loop"};
            if (code.value1 < 1 || code.value1 > kDpi.size())
                return std::nullopt;
            return Key(kDpi[code.value1 - 1u]);
        }
        case kKeyTypeFire:
            return Key("mouse_key_fire_key");
        case kTypeDpiShift:
            return Key("mouse_key_DPI_shift");
        case kTypeNone:
        case kKeyTypeKeyboard:
            if (code.value1 == 0 && code.value2 == 0)
                return Key("close_text");
            return KeyboardLabel(code);
        case kTypeOffice: {
            static constexpr std::array<const char*, 9> kOffice = {
                "custem_cut",  "custem_copy", "custem_paste", "custem_undo", "custem_select_all",
                "custem_find", "custem_new",  "custem_save",  "custem_open"};
            if (code.value1 != 0 || code.value2 >= kOffice.size())
                return std::nullopt;
            return Key(kOffice[code.value2]);
        }
        case kTypeShowWindow:
            if (code.value1 != 0 || code.value2 != 0)
                return std::nullopt;
            return Key("show_window");
        case kKeyTypeMedia:
            return MediaLabel(code);
        case kKeyTypeSystem:
            if (code.value2 != 0)
                return std::nullopt;
            switch (code.value1) {
                case 0x01:
                    return Key("system_power");
                case 0x02:
                    return Key("system_sleep");
                case 0x04:
                    return Key("system_wake_up");
                default:
                    return std::nullopt;
            }
        case kKeyTypeMacro:
        case kKeyTypeMacroCount:
            if (code.value1 >= macroNames.size())
                return std::nullopt;
            return KeyLabel{KeyLabelPart{macroNames[code.value1], {}, true}};
        case kKeyTypeGunKey: {
            static constexpr std::array<const char*, 4> kGun = {"gun_1_txt", "gun_2_txt",
                                                                "gun_3_txt", "gun_4_txt"};
            if (code.value1 >= kGun.size())
                return std::nullopt;
            return Key(kGun[code.value1]);
        }
        case kKeyTypeFunction:
            return FunctionLabel(code);
        case 0x15:
        case 0x21:
        case 0x50:
        case 0x60:
        case kKeyTypeShortcut:
        case 0xC0:
            return std::nullopt;
        default:
            // A code the page cannot name is one the mouse does not act on.
            return Key("close_text");
    }
}

const KeyLabelPart& MouseButtonName(int button) {
    static const std::array<KeyLabelPart, kMouseButtons> kNames = {{
        {"mouse_key_left", {}, false},
        {"mouse_key_right", {}, false},
        {"mouse_key_middle", {}, false},
        {"mouse_key_forward", {}, false},
        {"mouse_key_back", {}, false},
        {"mouse_key_DPI_add", {}, false},
        {"mouse_key_DPI_sub", {}, false},
        {"mouse_key_DPI_loop", {}, false},
        {"keyboard_key_GM", "GM", false},
        {"mouse_key_M8_key", {}, false},
        {"mouse_key_fire_key", {}, false},
    }};
    static const KeyLabelPart kNone;
    if (button < 0 || button >= kMouseButtons)
        return kNone;
    return kNames[static_cast<std::size_t>(button)];
}

}  // namespace morva
