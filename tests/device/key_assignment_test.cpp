// Assignment codes to panel fields and back.
#include "device/models/key_assignment.h"

#include <gtest/gtest.h>

#include <array>

#include "device/key_codes.h"

namespace morva {
namespace {

constexpr KeyCode kDefault{0x10, 0x01, 0x00};
constexpr int kMacros = 3;

// Shows a code, reads it back with the shown code as the stored assignment.
KeyCode RoundTrip(KeyCode code) {
    return ReadKeyCode(ShowKeyCode(code, kDefault, kMacros), code, kDefault, kMacros);
}

TEST(KeyAssignment, EveryTableRowRoundTrips) {
    for (const auto& [category, table] :
         {std::pair{kCategoryMouseButton, std::span<const KeyCode>(MouseButtonCodes)},
          std::pair{kCategoryDpi, std::span<const KeyCode>(DpiFunctionCodes)},
          std::pair{kCategoryMedia, std::span<const KeyCode>(MediaCodes)},
          std::pair{kCategorySystem, std::span<const KeyCode>(SystemCodes)}}) {
        for (std::size_t row = 0; row < table.size(); ++row) {
            const KeyCode code = table[row];
            if (code == kDefault)
                continue;  // shown as the default
            const KeyAssignFields f = ShowKeyCode(code, kDefault, kMacros);
            EXPECT_EQ(f.category, category);
            EXPECT_EQ(f.tableRow, static_cast<int>(row));
            EXPECT_EQ(RoundTrip(code), code) << category << " row " << row;
        }
    }
    // Shortcuts are keyboard codes with left Ctrl: they come back as such.
    for (const KeyCode& code : OfficeShortcutCodes) {
        const KeyAssignFields f = ShowKeyCode(code, kDefault, kMacros);
        EXPECT_EQ(f.category, kCategoryKeyboard);
        EXPECT_EQ(f.modifierOption, 1);
        EXPECT_FALSE(f.keyName.empty());
        EXPECT_EQ(RoundTrip(code), code);
    }
    KeyAssignFields shortcut;
    shortcut.category = kCategoryShortcut;
    shortcut.tableRow = 3;
    EXPECT_EQ(ReadKeyCode(shortcut, {}, kDefault, kMacros), OfficeShortcutCodes[3]);
}

TEST(KeyAssignment, RepeatAndWheelFieldsWithinTheirLimits) {
    KeyAssignFields swing;
    swing.category = kCategoryRepeat;
    swing.delay = 3;
    swing.speed = 2;
    swing.count = 5;
    swing.variant = 1;
    EXPECT_EQ(ReadKeyCode(swing, {}, kDefault, kMacros), (KeyCode{0x11, 0x32, 0x85}));
    EXPECT_EQ(ShowKeyCode({0x11, 0x32, 0x85}, kDefault, kMacros), swing);

    KeyAssignFields wheel;
    wheel.category = kCategoryWheel;
    wheel.count = 3;
    wheel.variant = 1;
    EXPECT_EQ(ReadKeyCode(wheel, {}, kDefault, kMacros).value2, 0xFD);
    EXPECT_EQ(ShowKeyCode({0x12, 0x00, 0xFD}, kDefault, kMacros).count, 3);

    for (int delay : {0, 15})
        for (int speed : {0, 15})
            for (int count : {0, 1, 127})
                for (int variant : {0, 1})
                    for (std::uint8_t type : {std::uint8_t{0x11}, std::uint8_t{0x12}}) {
                        if (type == 0x12 && variant == 1 && count == 0)
                            continue;  // 128 - 0 does not fit 7 bits
                        const KeyCode code = type == 0x11
                                                 ? MakeRepeatCode(delay, speed, count, variant)
                                                 : MakeWheelCode(delay, speed, count, variant);
                        EXPECT_EQ(RoundTrip(code), code);
                    }
}

TEST(KeyAssignment, NumbersBeyondTheirFieldAreHeldNotWrapped) {
    struct Case {
        int category, variant, delay, speed, count, fireInterval, fireCount;
        KeyCode code;
    };
    const Case cases[] = {
        {kCategoryRepeat, 0, 16, 17, 200, 0, 0, {0x11, 0xFF, 0x7F}},
        {kCategoryRepeat, 1, -1, -9, -5, 0, 0, {0x11, 0x00, 0x80}},
        {kCategoryWheel, 0, 3, 2, 128, 0, 0, {0x12, 0x32, 0x7F}},
        {kCategoryWheel, 1, 0, 0, 0, 0, 0, {0x12, 0x00, 0xFF}},    // down 1
        {kCategoryWheel, 1, 0, 0, 300, 0, 0, {0x12, 0x00, 0x80}},  // down 128
        {kCategoryFire, 0, 0, 0, 0, 256, 300, {0x14, 0xFF, 0xFF}},
        {kCategoryFire, 0, 0, 0, 0, -1, 200, {0x14, 0x00, 200}},
    };
    for (const Case& c : cases) {
        KeyAssignFields f;
        f.category = c.category;
        f.variant = c.variant;
        f.delay = c.delay;
        f.speed = c.speed;
        f.count = c.count;
        f.fireInterval = c.fireInterval;
        f.fireCount = c.fireCount;
        const KeyCode code = ReadKeyCode(f, {}, kDefault, kMacros);
        EXPECT_EQ(code, c.code) << c.category << " count " << c.count;
        // What the panel shows is what the code reads back as.
        const KeyAssignFields held = HoldKeyFields(f);
        const KeyAssignFields shown = ShowKeyCode(code, kDefault, kMacros);
        if (c.category == kCategoryFire) {
            EXPECT_EQ(shown.fireInterval, held.fireInterval);
            EXPECT_EQ(shown.fireCount, held.fireCount);
        } else {
            EXPECT_EQ((std::array{shown.delay, shown.speed, shown.count}),
                      (std::array{held.delay, held.speed, held.count}))
                << c.category << " count " << c.count;
        }
    }
    KeyAssignFields macro;
    macro.category = kCategoryMacro;
    macro.macroRow = 1;
    macro.macroRepeat = kMacroRepeatCounted;
    macro.macroCycles = 256;
    EXPECT_EQ(ReadKeyCode(macro, {}, kDefault, kMacros), (KeyCode{0x71, 1, 255}));
    EXPECT_EQ(HoldKeyFields(macro).macroCycles, 255);
}

TEST(KeyAssignment, KeyboardKeysModifiersAndWhatCannotBeShown) {
    const auto table = KeyNameTable();
    for (int row = kModifierRowCount; row < kKeyNameRowCount; ++row) {
        const KeyCode code = table[static_cast<std::size_t>(row)].code;
        if (row == kReservedKeyNameRow || code.type != 0x20 || code.value1 != 0)
            continue;
        EXPECT_EQ(RoundTrip(code), code) << table[static_cast<std::size_t>(row)].label;
        for (int option = 1; option <= 8; ++option) {
            const KeyCode combined{0x20, ModifierOptionBits(option), code.value2};
            EXPECT_EQ(ShowKeyCode(combined, kDefault, kMacros).modifierOption, option);
            EXPECT_EQ(RoundTrip(combined), combined);
        }
    }
    // Several modifier bits show as no modifier and are read back without them.
    const KeyCode ctrlShiftA{0x20, 0x03, 0x04};
    EXPECT_EQ(ShowKeyCode(ctrlShiftA, kDefault, kMacros).modifierOption, 0);
    EXPECT_EQ(RoundTrip(ctrlShiftA), (KeyCode{0x20, 0x00, 0x04}));
    // A key the table cannot name clears the assignment.
    bool cleared = false;
    const KeyAssignFields unknown = ShowKeyCode({0x20, 0x00, 0xEE}, kDefault, kMacros, &cleared);
    EXPECT_TRUE(cleared);
    EXPECT_EQ(unknown.modifierOption, -1);
    EXPECT_EQ(ReadKeyCode(unknown, {0x20, 0x00, 0xEE}, kDefault, kMacros), (KeyCode{0x20, 0, 0}));
}

TEST(KeyAssignment, MacrosGunKeysFireAndDefault) {
    EXPECT_EQ(RoundTrip({0x70, 2, 3}), (KeyCode{0x70, 2, 3}));
    EXPECT_EQ(RoundTrip({0x71, 1, 9}), (KeyCode{0x71, 1, 9}));
    EXPECT_TRUE(ShowKeyCode({0x71, 1, 9}, kDefault, kMacros).macroCyclesShown);
    const KeyAssignFields beyond = ShowKeyCode({0x70, 5, 0}, kDefault, kMacros);
    EXPECT_EQ(beyond.macroRow, -1) << "three macros: index 5 shows none";
    EXPECT_EQ(ShowKeyCode({0x70, 3, 0}, kDefault, kMacros).macroRow, -1);
    EXPECT_EQ(ReadKeyCode(beyond, {0x70, 5, 0}, kDefault, kMacros), (KeyCode{0x70, 5, 0}))
        << "no macro chosen: the stored code stays";
    EXPECT_EQ(ReadKeyCode(ShowKeyCode({0x70, 1, 0}, kDefault, 0), {0x70, 1, 0}, kDefault, 0),
              (KeyCode{0x70, 1, 0}))
        << "an empty macro list keeps the code";
    EXPECT_EQ(RoundTrip({0x72, 3, 0}), (KeyCode{0x72, 3, 0}));
    EXPECT_EQ(RoundTrip({0x14, 200, 7}), (KeyCode{0x14, 200, 7}));
    EXPECT_EQ(ShowKeyCode(kDefault, kDefault, kMacros).category, kCategoryDefault);
    KeyAssignFields def;
    def.category = kCategoryDefault;
    EXPECT_EQ(ReadKeyCode(def, {0x30, 0xCD, 0}, kDefault, kMacros), kDefault);
}

TEST(KeyAssignment, ACodeOutsideItsTableKeepsTheStoredCode) {
    // A media code the combo does not list leaves it without a selection; applying then must
    // not read a row that is not there.
    const KeyCode unknownMedia{0x30, 0x12, 0x34};
    const KeyAssignFields f = ShowKeyCode(unknownMedia, kDefault, kMacros);
    EXPECT_EQ(f.category, kCategoryMedia);
    EXPECT_EQ(f.tableRow, -1);
    EXPECT_EQ(ReadKeyCode(f, unknownMedia, kDefault, kMacros), unknownMedia);
    EXPECT_EQ(ShowKeyCode({0x55, 1, 2}, kDefault, kMacros).category, kCategoryNone);
}

}  // namespace
}  // namespace morva
