// Names the mouse page gives its buttons and their assignments.
#include "device/models/mouse_key_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "device/key_codes.h"

namespace morva {
namespace {

const std::vector<std::string> kMacros = {"Reload", "mouse_key_left", "Combo"};

std::optional<KeyLabel> Name(std::uint8_t type, std::uint8_t v1, std::uint8_t v2,
                             const std::vector<std::string>& macros = kMacros) {
    return MouseAssignmentLabel(KeyCode{type, v1, v2}, macros);
}

// The label as "key" / "key+key" / "=plain" parts, for compact comparisons.
std::string Keys(const std::optional<KeyLabel>& label) {
    if (!label)
        return "<none>";
    std::string out;
    for (const KeyLabelPart& part : *label) {
        if (!out.empty())
            out += "+";
        out += (part.plain ? "=" : "") + part.text;
    }
    return out;
}

TEST(MouseAssignmentLabel, MouseFunctionsByTheirValues) {
    EXPECT_EQ(Keys(Name(0x10, 0x01, 0)), "mouse_key_left");
    EXPECT_EQ(Keys(Name(0x10, 0x02, 0)), "mouse_key_right");
    EXPECT_EQ(Keys(Name(0x10, 0x04, 0)), "mouse_key_middle");
    EXPECT_EQ(Keys(Name(0x10, 0x10, 0)), "mouse_key_forward");
    EXPECT_EQ(Keys(Name(0x10, 0x08, 0)), "mouse_key_back");
    EXPECT_EQ(Keys(Name(0x10, 0x03, 0)), "<none>") << "two buttons at once are no function";
    // Repeat and wheel codes tell their direction by bit 7 of value 2 only.
    EXPECT_EQ(Keys(Name(0x11, 0x32, 0x85)), "mouse_key_right_Swing");
    EXPECT_EQ(Keys(Name(0x11, 0x32, 0x05)), "mouse_key_left_Swing");
    EXPECT_EQ(Keys(Name(0x12, 0x00, 0xFF)), "mouse_key_down_Swing");
    EXPECT_EQ(Keys(Name(0x12, 0xFF, 0x7F)), "mouse_key_up_Swing");
    EXPECT_EQ(Keys(Name(0x13, 1, 0)), "mouse_key_DPI_add");
    EXPECT_EQ(Keys(Name(0x13, 3, 0)), "mouse_key_DPI_loop");
    EXPECT_EQ(Keys(Name(0x13, 0, 0)), "<none>");
    EXPECT_EQ(Keys(Name(0x13, 4, 0)), "<none>");
    EXPECT_EQ(Keys(Name(0x14, 0x78, 0x02)), "mouse_key_fire_key");
    EXPECT_EQ(Keys(Name(0x16, 0x90, 0x01)), "mouse_key_DPI_shift");
}

TEST(MouseAssignmentLabel, KeyboardCodesNameEveryModifierAndTheKey) {
    EXPECT_EQ(Keys(Name(0x20, 0, 0x04)), "keyboard_key_A");
    EXPECT_EQ(Keys(Name(0x20, kModLeftCtrl, 0)), "keyboard_key_LCtrl");
    EXPECT_EQ(Keys(Name(0x20, kModLeftCtrl, 0x06)), "keyboard_key_LCtrl+keyboard_key_C");
    EXPECT_EQ(Keys(Name(0x20, kModLeftCtrl | kModLeftShift | kModRightAlt, 0x29)),
              "keyboard_key_LCtrl+keyboard_key_LShift+keyboard_key_RAlt+keyboard_key_Esc");
    EXPECT_EQ(Keys(Name(0x20, kModLeftShift | kModRightWin, 0)),
              "keyboard_key_LShift+keyboard_key_RWin")
        << "modifiers alone are named by their bits, not every modifier row";
    // Rows of other types with the same two values must not name a keyboard code.
    EXPECT_EQ(Keys(Name(0x20, 0x1B, 0)),
              "keyboard_key_LCtrl+keyboard_key_LShift+keyboard_key_LWin+keyboard_key_RCtrl")
        << "not the GM function key";
    EXPECT_EQ(Keys(Name(0x20, 0xCD, 0)).find("Media"), std::string::npos);
    // Type 0 is read as a keyboard code; nothing at all is "off".
    EXPECT_EQ(Keys(Name(0x00, 0, 0x05)), "keyboard_key_B");
    EXPECT_EQ(Keys(Name(0x00, 0, 0)), "close_text");
    EXPECT_EQ(Keys(Name(0x20, 0, 0)), "close_text");
    // A usage without a row still shows, as its number.
    EXPECT_EQ(Keys(Name(0x20, kModLeftAlt, 0xE0)), "keyboard_key_LAlt+=0xE0");
    // Until the language names keyboard keys, their labels stand in.
    const std::optional<KeyLabel> label = Name(0x20, kModRightShift, 0x2C);
    ASSERT_EQ(label->size(), 2u);
    EXPECT_EQ(label->front().fallback, "RShift");
    EXPECT_EQ(label->back().fallback, "Space");
}

TEST(MouseAssignmentLabel, MediaSystemOfficeAndWindowCodes) {
    std::set<std::string> media;
    for (const KeyCode& code : MediaCodes)
        media.insert(Keys(MouseAssignmentLabel(code, kMacros)));
    EXPECT_EQ(media.size(), MediaCodes.size()) << "one name per media function";
    EXPECT_EQ(Keys(MouseAssignmentLabel(MediaCodes[0], kMacros)), "media_text");
    EXPECT_EQ(Keys(MouseAssignmentLabel(MediaCodes[10], kMacros)), "wed_stop");
    EXPECT_EQ(Keys(MouseAssignmentLabel(MediaCodes[17], kMacros)), "media_mail");
    EXPECT_EQ(Keys(Name(0x30, 0x01, 0x00)), "<none>");

    EXPECT_EQ(Keys(Name(0x40, 0x01, 0)), "system_power");
    EXPECT_EQ(Keys(Name(0x40, 0x04, 0)), "system_wake_up");
    EXPECT_EQ(Keys(Name(0x40, 0x04, 1)), "<none>");
    EXPECT_EQ(Keys(Name(0x40, 0x03, 0)), "<none>");

    EXPECT_EQ(Keys(Name(0x22, 0, 0)), "custem_cut");
    EXPECT_EQ(Keys(Name(0x22, 0, 8)), "custem_open");
    EXPECT_EQ(Keys(Name(0x22, 0, 9)), "<none>");
    EXPECT_EQ(Keys(Name(0x22, 1, 0)), "<none>");
    EXPECT_EQ(Keys(Name(0x23, 0, 0)), "show_window");
    EXPECT_EQ(Keys(Name(0x23, 0, 1)), "<none>");
}

TEST(MouseAssignmentLabel, MacrosAreNamedByTheirOwnText) {
    EXPECT_EQ(Keys(Name(0x70, 0, 1)), "=Reload");
    EXPECT_EQ(Keys(Name(0x71, 2, 5)), "=Combo");
    EXPECT_EQ(Keys(Name(0x70, 1, 0)), "=mouse_key_left") << "plain, even when it looks like a key";
    EXPECT_EQ(Keys(Name(0x70, 3, 0)), "<none>") << "past the list";
    EXPECT_EQ(Keys(Name(0x70, 0, 0, {})), "<none>");
    EXPECT_EQ(Keys(Name(0x72, 0, 0)), "gun_1_txt");
    EXPECT_EQ(Keys(Name(0x72, 3, 0)), "gun_4_txt");
    EXPECT_EQ(Keys(Name(0x72, 4, 0)), "<none>");
}

TEST(MouseAssignmentLabel, DeviceFunctionsAndTypesWithoutName) {
    EXPECT_EQ(Keys(Name(0xA0, 0x02, 0)), "mouse_key_smart_key");
    EXPECT_EQ(Keys(Name(0xA0, 0x00, 0)), "close_text");
    EXPECT_EQ(Keys(Name(0xA0, 0x1B, 0)), "keyboard_key_GM");
    EXPECT_EQ(Keys(Name(0xA0, 0x01, 0)), "keyboard_key_FN");
    EXPECT_EQ(Keys(Name(0xA0, 0x1B, 1)), "<none>") << "all three values must match";
    for (std::uint8_t type : {0x15, 0x21, 0x50, 0x60, 0xB0, 0xC0})
        EXPECT_EQ(Keys(Name(type, 1, 1)), "<none>") << int(type);
    // Anything else is shown as off, through the language like every other name.
    EXPECT_EQ(Keys(Name(0x99, 1, 2)), "close_text");
    EXPECT_EQ(Keys(Name(0xD0, 0xA2, 0x01)), "close_text");
}

TEST(MouseButtonName, OneNamePerOnScreenButton) {
    std::set<std::string> names;
    for (int i = 0; i < kMouseButtons; ++i)
        names.insert(MouseButtonName(i).text);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kMouseButtons));
    EXPECT_EQ(MouseButtonName(0).text, "mouse_key_left");
    EXPECT_EQ(MouseButtonName(1).text, "mouse_key_right") << "button order, not code order";
    EXPECT_EQ(MouseButtonName(8).fallback, "GM");
    EXPECT_TRUE(MouseButtonName(-1).text.empty());
    EXPECT_TRUE(MouseButtonName(kMouseButtons).text.empty());
}

std::string LanguageFile(const char* name) {
    std::ifstream in(std::string(MORVA_RES_DIR) + "/skin/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A name the page would show as its bare key is a missing translation.
TEST(MouseAssignmentLabel, EveryKeyWithoutFallbackIsTranslated) {
    const std::string en = LanguageFile("lan_en.xml");
    const std::string cn = LanguageFile("lan_cn.xml");
    ASSERT_FALSE(en.empty());
    ASSERT_FALSE(cn.empty());
    std::set<std::string> keys;
    for (int i = 0; i < kMouseButtons; ++i) {
        if (MouseButtonName(i).fallback.empty())
            keys.insert(MouseButtonName(i).text);
    }
    for (int type = 0; type < 256; ++type) {
        for (int v1 = 0; v1 < 256; ++v1) {
            for (int v2 : {0, 1, 2, 5, 8, 0x80}) {
                const auto label =
                    Name(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(v1),
                         static_cast<std::uint8_t>(v2));
                for (const KeyLabelPart& part : label.value_or(KeyLabel{})) {
                    if (!part.plain && part.fallback.empty())
                        keys.insert(part.text);
                }
            }
        }
    }
    for (const KeyCode& code : MediaCodes)
        keys.insert(MouseAssignmentLabel(code, kMacros)->front().text);
    for (const std::string& key : keys) {
        const std::string id = "id=\"" + key + "\"";
        EXPECT_NE(en.find(id), std::string::npos) << "en " << key;
        EXPECT_NE(cn.find(id), std::string::npos) << "cn " << key;
    }
}

}  // namespace
}  // namespace morva
