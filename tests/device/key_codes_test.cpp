#include "device/key_codes.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>
#include <utility>
#include <vector>

namespace morva {
namespace {

TEST(RepeatCode, PacksDelaySpeedCountAndVariant) {
    EXPECT_EQ(MakeRepeatCode(3, 2, 5, true), (KeyCode{0x11, 0x32, 0x85}));
    EXPECT_EQ(MakeRepeatCode(3, 2, 5, false), (KeyCode{0x11, 0x32, 0x05}));
    // Out-of-range inputs are cut to their fields instead of spilling into the neighbours.
    EXPECT_EQ(MakeRepeatCode(0x13, 0x1F, 0x85, false), (KeyCode{0x11, 0x3F, 0x05}));
}

TEST(RepeatCode, DecodesWhatItBuilds) {
    for (bool second : {false, true}) {
        for (int count = 0; count < 128; count += 7) {
            const RepeatParams p = DecodeRepeatCode(MakeRepeatCode(9, 15, count, second));
            EXPECT_EQ(p.delay, 9);
            EXPECT_EQ(p.speed, 15);
            EXPECT_EQ(p.count, count);
            EXPECT_EQ(p.secondVariant, second);
        }
    }
}

TEST(WheelCode, OtherDirectionStoresTheComplement) {
    EXPECT_EQ(MakeWheelCode(1, 4, 5, false), (KeyCode{0x12, 0x14, 0x05}));
    EXPECT_EQ(MakeWheelCode(1, 4, 5, true), (KeyCode{0x12, 0x14, 0xFB}));
    EXPECT_EQ(MakeWheelCode(0, 0, 1, true).value2, 0xFF);
    for (bool other : {false, true}) {
        for (int count = 1; count < 128; ++count) {
            const RepeatParams p = DecodeWheelCode(MakeWheelCode(2, 3, count, other));
            ASSERT_EQ(p.count, count) << other;
            ASSERT_EQ(p.secondVariant, other);
        }
    }
}

TEST(ModifierOptions, MapOptionsToSingleBitsAndBack) {
    EXPECT_EQ(ModifierOptionBits(0), 0);
    EXPECT_EQ(ModifierOptionBits(1), kModLeftCtrl);
    EXPECT_EQ(ModifierOptionBits(8), kModRightWin);
    EXPECT_EQ(ModifierOptionBits(9), 0);
    EXPECT_EQ(ModifierOptionBits(-1), 0);
    for (int option = 0; option < kModifierOptionCount; ++option) {
        EXPECT_EQ(ModifierOptionFor(ModifierOptionBits(option)), option);
    }
    EXPECT_EQ(ModifierOptionFor(kModLeftCtrl | kModLeftShift), 0);
}

TEST(CodeTables, KnownCodes) {
    EXPECT_EQ(KeyNameTable()[0].code, (KeyCode{0x20, 0x01, 0x00}));  // left Ctrl alone
    EXPECT_EQ(OfficeShortcutCodes[4], (KeyCode{0x20, 0x01, 0x06}));  // Ctrl+C
    EXPECT_EQ(MediaCodes[1], (KeyCode{0x30, 0xCD, 0x00}));           // play/pause
    EXPECT_EQ(MakeMediaCode(0x0223), (KeyCode{0x30, 0x23, 0x02}));
    EXPECT_EQ(MediaUsage(MakeMediaCode(0x0223)), 0x0223);
}

TEST(CodeTables, OfficeShortcutsAreLeftCtrlWithNamedKeys) {
    const std::vector<std::string_view> expected = {"O", "N", "Z", "S", "C", "X",
                                                    "V", "F", "A", "-", "="};
    std::vector<std::string_view> labels;
    for (const KeyCode& code : OfficeShortcutCodes) {
        EXPECT_EQ(code.value1, kModLeftCtrl);
        const int row = FindKeyNameRow(MakeKeyboardCode(0, code.value2));
        labels.push_back(row < 0 ? "?" : KeyNameTable()[row].label);
    }
    EXPECT_EQ(labels, expected);
}

TEST(KeyNameTable, LayoutAroundTheReservedRow) {
    const auto table = KeyNameTable();
    ASSERT_EQ(table.size(), 142u);
    EXPECT_EQ(FindKeyNameRowByLabel("wed_stop"), 130);
    EXPECT_EQ(table[130].languageKey, "keyboard_key_wed_stop");
    EXPECT_EQ(FindKeyNameRowByLabel("GM"), 141);
    EXPECT_EQ(table[141].code, (KeyCode{0xA0, 0x1B, 0x00}));
    EXPECT_EQ(table[FindKeyNameRowByLabel("FN")].code, (KeyCode{0xA0, 0x01, 0x00}));
    EXPECT_EQ(table[FindKeyNameRowByLabel("M3")].code, (KeyCode{0xD0, 0xA2, 0x03}));
    // The placeholder is never found, so an empty assignment stays unnamed.
    EXPECT_EQ(FindKeyNameRow(KeyCode{}), -1);
    EXPECT_EQ(FindKeyNameRow(MakeKeyboardCode(0, 0)), -1);
    EXPECT_EQ(FindKeyNameRowByLabel("Reserved"), -1);
}

TEST(KeyNameTable, LabelsAreUnique) {
    const auto table = KeyNameTable();
    for (int i = 0; i < kKeyNameRowCount; ++i) {
        if (i == kReservedKeyNameRow) {
            continue;
        }
        EXPECT_EQ(FindKeyNameRowByLabel(table[i].label), i) << table[i].label;
    }
}

TEST(KeyNameTable, ModifierRowsFollowTheOptions) {
    const auto table = KeyNameTable();
    for (int i = 0; i < kModifierRowCount; ++i) {
        EXPECT_EQ(table[i].code, MakeKeyboardCode(ModifierOptionBits(i + 1), 0)) << i;
        EXPECT_EQ(FindKeyNameRow(table[i].code), i);
    }
}

TEST(KeyNameTable, PlainKeysHaveDistinctUsages) {
    const auto table = KeyNameTable();
    std::set<std::uint8_t> usages;
    for (int i = kModifierRowCount; i < kScanCodeRowCount; ++i) {
        const KeyCode& code = table[i].code;
        EXPECT_EQ(code.type, kKeyTypeKeyboard) << i;
        EXPECT_EQ(code.value1, 0) << i;
        EXPECT_NE(code.value2, 0) << i;
        EXPECT_TRUE(usages.insert(code.value2).second) << table[i].label;
        EXPECT_EQ(FindKeyNameRow(code), i);
    }
}

TEST(KeyNameTable, ScanCodesRoundTrip) {
    const auto table = KeyNameTable();
    for (int i = 0; i < kScanCodeRowCount; ++i) {
        EXPECT_NE(table[i].scanCode, 0) << table[i].label;
        EXPECT_EQ(FindKeyNameRowByScanCode(table[i].scanCode, table[i].extended), i)
            << table[i].label;
    }
    // Named-only rows are never captured.
    EXPECT_EQ(FindKeyNameRowByScanCode(0, false), -1);
}

TEST(KeyNameTable, ExtendedFlagSeparatesSharedScanCodes) {
    auto labelOf = [](std::uint8_t scan, bool extended) -> std::string_view {
        const int row = FindKeyNameRowByScanCode(scan, extended);
        return row < 0 ? "" : KeyNameTable()[row].label;
    };
    EXPECT_EQ(labelOf(0x1E, false), "A");
    EXPECT_EQ(labelOf(0x1C, false), "Enter");
    EXPECT_EQ(labelOf(0x1C, true), "Num Enter");
    EXPECT_EQ(labelOf(0x45, false), "Pause");
    EXPECT_EQ(labelOf(0x45, true), "Num Lock");
    EXPECT_EQ(labelOf(0x1D, false), "LCtrl");
    EXPECT_EQ(labelOf(0x1D, true), "RCtrl");
    EXPECT_EQ(labelOf(0x36, true), "RShift");
    EXPECT_EQ(labelOf(0x36, false), "");
    EXPECT_EQ(labelOf(0x35, false), "/");
    EXPECT_EQ(labelOf(0x35, true), "Num /");
    EXPECT_EQ(labelOf(0x52, false), "Num 0");
    EXPECT_EQ(labelOf(0x52, true), "Insert");
}

TEST(KeyNameTable, MediaAndSystemCodesAreNamed) {
    const auto table = KeyNameTable();
    std::set<int> rows;
    for (const KeyCode& code : MediaCodes) {
        const int row = FindKeyNameRow(code);
        ASSERT_GE(row, kScanCodeRowCount) << MediaUsage(code);
        EXPECT_EQ(table[row].code.type, kKeyTypeMedia);
        rows.insert(row);
    }
    EXPECT_EQ(rows.size(), MediaCodes.size());
    EXPECT_EQ(table[FindKeyNameRowByLabel("Launch App2")].code, MakeMediaCode(0x0192));
    for (const KeyCode& code : SystemCodes) {
        EXPECT_GE(FindKeyNameRow(code), kScanCodeRowCount);
    }
}

// X keycodes are kernel codes + 8; the edges of the basic range and the extended keys that
// share a basic key's scan code are where the mapping can go wrong.
TEST(KeyNameTable, X11KeycodesReachTheirKeyNames) {
    const std::pair<int, std::string_view> known[] = {
        {9, "Esc"}, {38, "A"},      {96, "F12"},   {36, "Enter"}, {104, "Num Enter"},
        {61, "/"},  {106, "Num /"}, {110, "Home"}, {79, "Num 7"}, {135, "App"},
    };
    for (const auto& [keycode, label] : known) {
        const auto scan = ScanCodeOfX11Keycode(keycode);
        ASSERT_TRUE(scan) << keycode;
        const int row = FindKeyNameRowByScanCode(scan->first, scan->second);
        ASSERT_GE(row, 0) << keycode;
        EXPECT_EQ(KeyNameTable()[static_cast<std::size_t>(row)].label, label) << keycode;
    }
    // Kernel code 0, the kernel's 0x54..0x56 (no set-1 code of their own), the gap in the
    // extended run, and codes past it.
    for (int keycode : {0, 8, 92, 93, 94, 109, 136, 255})
        EXPECT_FALSE(ScanCodeOfX11Keycode(keycode)) << keycode;
}

}  // namespace
}  // namespace morva
