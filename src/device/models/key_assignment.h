// The key assignment panel's vocabulary: a function category with its parameters, turned
// into the 3-byte code a key table holds, and back. The panel maps these fields onto its
// controls; the conversion itself needs no controls.
#pragma once

#include <string>

#include "profile/key_code.h"

namespace morva {

// Items of the function combo (their user data) and pages of the function switch.
enum KeyCategory : int {
    kCategoryNone = -1,
    kCategoryDefault = 0,
    kCategoryMouseButton = 1,
    kCategoryRepeat = 2,
    kCategoryWheel = 3,
    kCategoryDpi = 4,
    kCategoryFire = 5,
    kCategoryKeyboard = 6,
    kCategoryMedia = 7,
    kCategorySystem = 8,
    kCategoryMacro = 9,
    kCategoryGunKey = 10,
    kCategoryShortcut = 11,
};

// One field per control of the panel; -1 marks a combo or option group without selection.
struct KeyAssignFields {
    int category = kCategoryNone;
    int tableRow = -1;  // mouse button, DPI, media, system and shortcut combos
    // Repeated press and wheel: the edits and the variant combo (right button / down).
    int delay = 0;
    int speed = 0;
    int count = 0;
    int variant = 0;
    // Fire.
    int fireInterval = 0;
    int fireCount = 0;
    // Keyboard key: modifier option 0..8 and the key's language key ("" for no key).
    int modifierOption = -1;
    std::string keyName;
    // Macro: list row, repeat combo (4 = a number of times), that number, cycle row shown.
    int macroRow = -1;
    int macroRepeat = -1;
    int macroCycles = 0;
    bool macroCyclesShown = false;
    int gunKey = 0;

    friend bool operator==(const KeyAssignFields&, const KeyAssignFields&) = default;
};

// Repeat combo item that repeats a macro a number of times (type 0x71).
inline constexpr int kMacroRepeatCounted = 4;

// The fields with every number held to what its part of the code can carry: delay and speed
// 0..15, a repeat or upward wheel count 0..127, a downward wheel count 1..128, fire interval
// and count and macro cycles 0..255. The panel shows these, so the edits say what the key got.
KeyAssignFields HoldKeyFields(KeyAssignFields fields);

// The code the fields stand for (numbers held as HoldKeyFields does). `current` is the key's
// assignment as stored (a keyboard key keeps its captured usage from it), `defaults` its factory
// assignment, `macroItems` the macro list's length. A combo without a selection keeps the current
// code.
KeyCode ReadKeyCode(const KeyAssignFields& fields, KeyCode current, KeyCode defaults,
                    int macroItems);

// The fields that show a code. A keyboard code the key table cannot name clears the key:
// `clearedAssignment` (when given) is set to true, and the stored values become 0.
KeyAssignFields ShowKeyCode(KeyCode code, KeyCode defaults, int macroItems,
                            bool* clearedAssignment = nullptr);

}  // namespace morva
