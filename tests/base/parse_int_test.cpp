// Integers from text: whole words (command lines, files, device attributes) and atoi-style
// prefixes (edits, control names).
#include "base/parse_int.h"

#include <gtest/gtest.h>

#include <climits>

#include "base/name_index.h"

namespace morva {
namespace {

TEST(ParseInt, TakesOnlyAWholeNumberInRange) {
    struct Case {
        const char* text;
        long long min, max;
        int base;
        std::optional<long long> value;
    };
    const Case cases[] = {
        {"42", 0, 100, 10, 42},
        {"0", 0, 0, 10, 0},
        {"-7", -10, 10, 10, -7},
        {"-0", 0, 10, 10, std::nullopt},  // no sign where nothing negative is allowed
        {"101", 0, 100, 10, std::nullopt},
        {"", 0, 100, 10, std::nullopt},
        {" 1", 0, 100, 10, std::nullopt},
        {"1 ", 0, 100, 10, std::nullopt},
        {"+1", 0, 100, 10, std::nullopt},
        {"1x", 0, 100, 10, std::nullopt},
        {"99999999999999999999", 0, LLONG_MAX, 10, std::nullopt},
        {"fF", 0, 0xFF, 16, 0xFF},
        {"100", 0, 0xFF, 16, std::nullopt},
        {"0x10", 0, 0xFFFF, 16, std::nullopt},
        {"2147483648", INT_MIN, INT_MAX, 10, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseInt(c.text, c.min, c.max, c.base), c.value) << '"' << c.text << '"';
}

TEST(ParseLeadingInt, ReadsLikeAtoiAndHoldsAtTheEnds) {
    struct Case {
        const char* text;
        long long min, max;
        int base;
        long long value;
    };
    const Case cases[] = {
        {"12", INT_MIN, INT_MAX, 10, 12},
        {"  -3px", INT_MIN, INT_MAX, 10, -3},
        {"+5", INT_MIN, INT_MAX, 10, 5},
        {"", INT_MIN, INT_MAX, 10, 0},
        {"x1", INT_MIN, INT_MAX, 10, 0},
        {"-", INT_MIN, INT_MAX, 10, 0},
        {"70000", 0, 65535, 10, 65535},
        {"-5", 0, 65535, 10, 0},
        {"99999999999999999999999", INT_MIN, INT_MAX, 10, INT_MAX},
        {"-99999999999999999999999", INT_MIN, INT_MAX, 10, INT_MIN},
        {"-9223372036854775808", LLONG_MIN, LLONG_MAX, 10, LLONG_MIN},
        {"9223372036854775808", LLONG_MIN, LLONG_MAX, 10, LLONG_MAX},
        {"221dxyz", 0, 0xFFFF, 16, 0x221D},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseLeadingInt(c.text, c.min, c.max, c.base), c.value) << '"' << c.text << '"';
}

TEST(SplitNameIndex, ReadsTheNumberAfterTheLastUnderscore) {
    EXPECT_EQ(SplitNameIndex("kaldo_DPI_slider_3").index, 3);
    EXPECT_EQ(SplitNameIndex("key_12").index, 12);
    EXPECT_EQ(SplitNameIndex("key_").index, 0);
    EXPECT_EQ(SplitNameIndex("key_x1").index, 0);
    EXPECT_EQ(SplitNameIndex("key_7abc").index, 7);
    EXPECT_EQ(SplitNameIndex("light_-2").index, -2);
    EXPECT_EQ(SplitNameIndex("key_99999999999").index, INT_MAX) << "held, not wrapped";
}

}  // namespace
}  // namespace morva
