#include "device/discovery/interface_slots.h"

#include <gtest/gtest.h>

namespace morva {
namespace {

SupportedInterface Found(std::uint16_t vid, std::uint16_t pid, std::uint16_t mi, std::uint16_t col,
                         std::uint16_t page, std::uint16_t usage, std::string path) {
    SupportedInterface r{};
    r.vendorId = vid;
    r.productId = pid;
    r.interfaceNumber = mi;
    r.collection = col;
    r.usagePage = page;
    r.usage = usage;
    r.path = std::move(path);
    return r;
}

TEST(InterfaceSlots, ReceiverClaimsItsOwnRowAndTakesTypeAndRole) {
    CInterfaceSlots slots;
    SupportedInterface receiver = Found(0x320F, 0x221D, 1, 4, 0xFF1C, 0x92, "r#col04");
    EXPECT_TRUE(slots.IsCandidate(receiver));
    EXPECT_EQ(slots.ClaimSlot(receiver), 6);
    EXPECT_EQ(receiver.deviceType, kDeviceTypeMouseReceiver);
    EXPECT_EQ(receiver.role, kRoleCommand);
    EXPECT_EQ(slots.Slot(6).path, "r#col04");
    EXPECT_TRUE(RecordsEqual(slots.Slot(6), SupportedInterfaces()[6]))
        << "claimed slot equals its row";
}

TEST(InterfaceSlots, SecondIdenticalInterfaceFindsNoSlot) {
    CInterfaceSlots slots;
    SupportedInterface first = Found(0x320F, 0x5055, 1, 3, 0x0C, 0x01, "a#col03");
    SupportedInterface second = Found(0x320F, 0x5055, 1, 3, 0x0C, 0x01, "b#col03");
    EXPECT_EQ(slots.ClaimSlot(first), 1);
    EXPECT_FALSE(slots.IsCandidate(second));
    EXPECT_EQ(slots.ClaimSlot(second), -1);
    EXPECT_TRUE(slots.ReleaseSlot(1));
    EXPECT_FALSE(slots.ReleaseSlot(1));
    EXPECT_EQ(slots.ClaimSlot(second), 1) << "free again after the first went away";
}

TEST(InterfaceSlots, HeadsetWithoutCollectionAndWrongUsage) {
    CInterfaceSlots slots;
    SupportedInterface headset = Found(0x0C76, 0x1630, 3, 0, 0x0C, 0x01, "h");
    EXPECT_TRUE(slots.IsCandidate(headset));
    EXPECT_EQ(slots.ClaimSlot(headset), 10);
    EXPECT_EQ(headset.deviceType, kDeviceTypeHeadset);

    SupportedInterface boot =
        Found(0x320F, 0x221C, 1, 4, 0x01, 0x02, "x");  // right place, wrong usage
    EXPECT_TRUE(slots.IsCandidate(boot));
    EXPECT_EQ(slots.ClaimSlot(boot), -1);
    EXPECT_FALSE(slots.IsCandidate(Found(0x320F, 0x221C, 0, 0, 1, 2, "y")));
}

TEST(InterfaceSlots, AllClaimedOnlyWhenEveryRowIsTaken) {
    CInterfaceSlots slots;
    for (const SupportedInterface& row : SupportedInterfaces()) {
        EXPECT_FALSE(slots.AllSlotsClaimed());
        SupportedInterface r = row;
        r.path = "p";
        ASSERT_GE(slots.ClaimSlot(r), 0);
    }
    EXPECT_TRUE(slots.AllSlotsClaimed());
    EXPECT_EQ(slots.Claimed().size(), SupportedInterfaces().size());
}

}  // namespace
}  // namespace morva
