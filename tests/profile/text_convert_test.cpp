#include "profile/text_convert.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

TEST(TextConvert, RoundTripsAllPlanes) {
    const std::string text = "profile 配置 \xF0\x9F\x8E\xAE é";  // includes a 4-byte character
    const std::wstring wide = Utf8ToWide(text);
    EXPECT_EQ(wide, L"profile 配置 \U0001F3AE é");
    EXPECT_EQ(WideToUtf8(wide), text);
}

TEST(TextConvert, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b"),
              L"a\uFFFDb");
    EXPECT_EQ(Utf8ToWide("a\xE9"), L"a\uFFFD") << "truncated sequence at the end";
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"\uFFFD") << "overlong form of '/'";
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80x"), L"\uFFFDx") << "encoded surrogate";
}

TEST(TextConvert, ComparesIgnoringAsciiCase) {
    EXPECT_TRUE(EqualsIgnoreCase("Profile2", "profile2"));
    EXPECT_FALSE(EqualsIgnoreCase("profile2", "profile21"));
    EXPECT_TRUE(EqualsIgnoreCase("配置A", "配置a"));
}

TEST(TextConvert, TrimsWhiteSpaceAtBothEnds) {
    EXPECT_EQ(TrimWhite("  a b \t\r\n"), "a b");
    EXPECT_EQ(TrimWhite("  "), "");
}

}  // namespace
}  // namespace morva
