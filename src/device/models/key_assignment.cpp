#include "device/models/key_assignment.h"

#include <algorithm>
#include <span>

#include "device/key_codes.h"

namespace morva {
namespace {

std::span<const KeyCode> TableOf(int category) {
    switch (category) {
        case kCategoryMouseButton:
            return MouseButtonCodes;
        case kCategoryDpi:
            return DpiFunctionCodes;
        case kCategoryMedia:
            return MediaCodes;
        case kCategorySystem:
            return SystemCodes;
        case kCategoryShortcut:
            return OfficeShortcutCodes;
        default:
            return {};
    }
}

// Row of a code in its table by value 1 and value 2, or -1.
int RowOf(std::span<const KeyCode> table, KeyCode code) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].value1 == code.value1 && table[i].value2 == code.value2)
            return static_cast<int>(i);
    }
    return -1;
}

int CategoryOfType(std::uint8_t type) {
    switch (type) {
        case kKeyTypeMouseButton:
            return kCategoryMouseButton;
        case kKeyTypeDpi:
            return kCategoryDpi;
        case kKeyTypeMedia:
            return kCategoryMedia;
        case kKeyTypeSystem:
            return kCategorySystem;
        default:
            return kCategoryNone;
    }
}

// A row of the key name table with these values, searched in [first, last); -1 for none.
int KeyRow(int first, int last, std::uint8_t type, std::uint8_t value1, std::uint8_t value2) {
    const auto table = KeyNameTable();
    for (int r = first; r < last && r < static_cast<int>(table.size()); ++r) {
        const KeyCode& c = table[static_cast<std::size_t>(r)].code;
        if (r != kReservedKeyNameRow && c.type == type && c.value1 == value1 && c.value2 == value2)
            return r;
    }
    return -1;
}

}  // namespace

KeyAssignFields HoldKeyFields(KeyAssignFields f) {
    f.delay = std::clamp(f.delay, 0, 15);
    f.speed = std::clamp(f.speed, 0, 15);
    // Down the wheel stores 128 - count in 7 bits.
    const bool down = f.category == kCategoryWheel && f.variant == 1;
    f.count = down ? std::clamp(f.count, 1, 128) : std::clamp(f.count, 0, 127);
    f.fireInterval = std::clamp(f.fireInterval, 0, 255);
    f.fireCount = std::clamp(f.fireCount, 0, 255);
    f.macroCycles = std::clamp(f.macroCycles, 0, 255);
    f.gunKey = std::clamp(f.gunKey, 0, 255);
    return f;
}

KeyCode ReadKeyCode(const KeyAssignFields& fields, KeyCode current, KeyCode defaults,
                    int macroItems) {
    const KeyAssignFields f = HoldKeyFields(fields);
    switch (f.category) {
        case kCategoryDefault:
            return defaults;
        case kCategoryMouseButton:
        case kCategoryDpi:
        case kCategoryMedia:
        case kCategorySystem:
        case kCategoryShortcut: {
            const std::span<const KeyCode> table = TableOf(f.category);
            // A combo showing nothing must not be read as a row.
            if (f.tableRow < 0 || f.tableRow >= static_cast<int>(table.size()))
                return current;
            return table[static_cast<std::size_t>(f.tableRow)];
        }
        case kCategoryRepeat:
            return MakeRepeatCode(f.delay, f.speed, f.count, f.variant == 1);
        case kCategoryWheel:
            return MakeWheelCode(f.delay, f.speed, f.count, f.variant == 1);
        case kCategoryFire:
            return MakeFireCode(static_cast<std::uint8_t>(f.fireInterval),
                                static_cast<std::uint8_t>(f.fireCount));
        case kCategoryKeyboard: {
            KeyCode code = current;
            code.type = kKeyTypeKeyboard;
            code.value1 = ModifierOptionBits(f.modifierOption);
            if (f.keyName.empty())
                code.value2 = 0;
            return code;
        }
        case kCategoryMacro: {
            if (macroItems <= 0 || f.macroRow < 0 || f.macroRow >= macroItems)
                return current;
            const auto row = static_cast<std::uint8_t>(f.macroRow);
            if (f.macroRepeat == kMacroRepeatCounted)
                return MakeMacroCountCode(row, static_cast<std::uint8_t>(f.macroCycles));
            return MakeMacroCode(row, static_cast<std::uint8_t>(std::max(f.macroRepeat, 0)));
        }
        case kCategoryGunKey:
            return MakeGunKeyCode(static_cast<std::uint8_t>(f.gunKey));
        default:
            return defaults;
    }
}

KeyAssignFields ShowKeyCode(KeyCode code, KeyCode defaults, int macroItems,
                            bool* clearedAssignment) {
    KeyAssignFields f;
    if (clearedAssignment != nullptr)
        *clearedAssignment = false;
    if (code == defaults || code.type == 0) {
        f.category = kCategoryDefault;
        return f;
    }
    switch (code.type) {
        case kKeyTypeMouseButton:
        case kKeyTypeDpi:
        case kKeyTypeMedia:
        case kKeyTypeSystem:
            f.category = CategoryOfType(code.type);
            f.tableRow = RowOf(TableOf(f.category), code);
            break;
        case kKeyTypeRepeat:
        case kKeyTypeWheel: {
            const RepeatParams p =
                code.type == kKeyTypeRepeat ? DecodeRepeatCode(code) : DecodeWheelCode(code);
            f.category = code.type == kKeyTypeRepeat ? kCategoryRepeat : kCategoryWheel;
            f.delay = p.delay;
            f.speed = p.speed;
            f.count = p.count;
            f.variant = p.secondVariant ? 1 : 0;
            break;
        }
        case kKeyTypeFire:
            f.category = kCategoryFire;
            f.fireInterval = code.value1;
            f.fireCount = code.value2;
            break;
        case kKeyTypeKeyboard:
            f.category = kCategoryKeyboard;
            if (code.value1 == 0) {
                const int row = KeyRow(0, kKeyNameRowCount, kKeyTypeKeyboard, 0, code.value2);
                if (row >= 0) {
                    f.modifierOption = 0;
                    f.keyName = KeyNameTable()[static_cast<std::size_t>(row)].languageKey;
                } else if (clearedAssignment != nullptr) {
                    *clearedAssignment = true;
                }
            } else if (code.value1 <= 128) {
                const int modifier = KeyRow(0, kModifierRowCount, kKeyTypeKeyboard, code.value1, 0);
                f.modifierOption = modifier >= 0 ? modifier + 1 : 0;
                const int row =
                    KeyRow(kModifierRowCount, kKeyNameRowCount, kKeyTypeKeyboard, 0, code.value2);
                if (row >= 0)
                    f.keyName = KeyNameTable()[static_cast<std::size_t>(row)].languageKey;
            } else {
                f.category = kCategoryShortcut;
                f.tableRow = RowOf(OfficeShortcutCodes, code);
            }
            break;
        case kKeyTypeMacro:
        case kKeyTypeMacroCount:
            f.category = kCategoryMacro;
            // A macro beyond the list shows none (the last index counts as one too many).
            if (code.value1 < macroItems) {
                f.macroRow = code.value1;
                if (code.type == kKeyTypeMacroCount) {
                    f.macroRepeat = kMacroRepeatCounted;
                    f.macroCycles = code.value2;
                    f.macroCyclesShown = true;
                } else {
                    f.macroRepeat = code.value2;
                }
            } else if (code.type == kKeyTypeMacroCount) {
                f.macroRepeat = kMacroRepeatCounted;
                f.macroCycles = code.value2;
            }
            break;
        case kKeyTypeGunKey:
            f.category = kCategoryGunKey;
            f.gunKey = code.value1;
            break;
        case kKeyTypeShortcut:
            f.category = kCategoryShortcut;
            break;
        default:
            f.category = kCategoryNone;
            break;
    }
    return f;
}

}  // namespace morva
