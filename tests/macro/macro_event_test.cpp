#include "macro/macro_event.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

Json::Value Event(const char* action, int button, int type, Json::Value delay) {
    Json::Value e(Json::objectValue);
    e["Action"] = action;
    e["Button"] = button;
    e["Type"] = type;
    e["Delay"] = delay;
    return e;
}

TEST(ParseMacroEvent, BuildsTheFourByteDeviceForm) {
    DeviceMacroEvent out{};
    ASSERT_TRUE(ParseMacroEvent(Event("down", 4, macro_type::kKey, "300"), out));
    EXPECT_EQ(out, (DeviceMacroEvent{0x2C, 0x01, 0x8A, 0x04}));
    ParseMacroEvent(Event("up", 2, macro_type::kMouseButton, 5), out);
    EXPECT_EQ(out, (DeviceMacroEvent{0x05, 0x00, 0x01, 0x02})) << "an integer delay counts too";
    ParseMacroEvent(Event("up", 2, 0x81, 5), out);
    EXPECT_EQ(out[2], 0x01) << "a large type never turns a release into a press";
}

TEST(ParseMacroEvent, DelayTextAndLimits) {
    EXPECT_EQ(MacroDelay(Event("up", 0, 1, "12ms")), 12);
    EXPECT_EQ(MacroDelay(Event("up", 0, 1, "ms")), 0);
    EXPECT_EQ(MacroDelay(Event("up", 0, 1, "70000")), 65535) << "held at the maximum, not wrapped";
    EXPECT_EQ(MacroDelay(Event("up", 0, 1, "99999999999999999999999")), 65535);
    EXPECT_EQ(MacroDelay(Event("up", 0, 1, -5)), 0);

    DeviceMacroEvent out{};
    ParseMacroEvent(Event("down", 1, macro_type::kMouseButton, "70000"), out);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
}

}  // namespace
}  // namespace morva
