#include "ui/toolkit/notify_router.h"

#include <gtest/gtest.h>

namespace morva::ui {
namespace {

struct Note {
    std::string sender;
};

// A router with the shapes of the window's real rules, recording which handler ran.
class RouterTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto record = [this](std::string what) {
            return [this, what](const Note&, int index) {
                calls_.push_back(what + std::to_string(index));
            };
        };
        router_.AddExact("click", "closebtn", record("close"));
        router_.AddPrefix("click", "key_", record("key"));
        router_.AddPrefix("click", "color_option_", record("color"));
        router_.AddLateExact("click", "key_butt_keysave", record("save"));
        router_.AddLateExact("click", "profile_fun_spread_btn", record("spread"), true);
        router_.AddExact("itemselect", "keyset_media_combo", record("media"));
        router_.AddAlso("itemselect", "keyset_media_combo", record("apply"));
        router_.AddPrefix("selectchanged", "DPI_enable_check_", record("dpi"));
    }
    std::vector<std::string> Run(std::string_view type, std::string_view name) {
        calls_.clear();
        router_.Dispatch(type, name, Note{std::string(name)});
        return calls_;
    }

    CNotifyRouter<Note> router_;
    std::vector<std::string> calls_;
};

TEST(SplitNameIndex, SplitsAtTheLastUnderscore) {
    EXPECT_EQ(SplitNameIndex("DPI_enable_check_3").prefix, "DPI_enable_check_");
    EXPECT_EQ(SplitNameIndex("DPI_enable_check_3").index, 3);
    EXPECT_EQ(SplitNameIndex("key_").index, 0);
    EXPECT_TRUE(SplitNameIndex("key_").hasIndex);
    EXPECT_EQ(SplitNameIndex("key_x").index, 0);
    EXPECT_FALSE(SplitNameIndex("closebtn").hasIndex);
}

TEST_F(RouterTest, PrefixRulesIgnoreCaseAndTakeTheNumber) {
    EXPECT_EQ(Run("click", "key_12"), std::vector<std::string>{"key12"});
    EXPECT_EQ(Run("click", "KEY_12"), std::vector<std::string>{"key12"});
    EXPECT_EQ(Run("click", "key_"), std::vector<std::string>{"key0"});
    EXPECT_EQ(Run("click", "Color_Option_4"), std::vector<std::string>{"color4"});
    EXPECT_TRUE(Run("click", "keybutton").empty()) << "no '_': no prefix rule";
}

TEST_F(RouterTest, ExactNamesBeforeAndAfterPrefixRules) {
    EXPECT_EQ(Run("click", "CLOSEBTN"), std::vector<std::string>{"close0"});
    // "key_butt_keysave" splits into "key_butt_" + 0, which no prefix rule has.
    EXPECT_EQ(Run("click", "key_butt_keysave"), std::vector<std::string>{"save0"});
    EXPECT_TRUE(Run("selectchanged", "key_12").empty()) << "rules belong to their type";
}

TEST_F(RouterTest, CaseSensitiveNamesAndAlsoRules) {
    EXPECT_EQ(Run("click", "profile_fun_spread_btn"), std::vector<std::string>{"spread0"});
    EXPECT_TRUE(Run("click", "Profile_Fun_Spread_Btn").empty());
    EXPECT_EQ(Run("itemselect", "keyset_media_combo"),
              (std::vector<std::string>{"media0", "apply0"}));
}

}  // namespace
}  // namespace morva::ui
