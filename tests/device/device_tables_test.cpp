#include "device/device_tables.h"

#include <gtest/gtest.h>

#include <set>

namespace morva {
namespace {

TEST(FindInterfaceRow, MatchesVendorProductTypeAndRole) {
    EXPECT_EQ(
        FindInterfaceRow(kVendorId, kProductMouseReceiver, kDeviceTypeMouseReceiver, kRoleCommand),
        6);
    EXPECT_EQ(
        FindInterfaceRow(kVendorId, kProductMouseReceiver, kDeviceTypeMouseReceiver, kRoleEvent),
        7);
    EXPECT_EQ(FindInterfaceRow(kHeadsetVendorId, kProductHeadset, kDeviceTypeHeadset, kRoleCommand),
              10);
}

TEST(FindInterfaceRow, MissesOnAnyMismatch) {
    EXPECT_EQ(FindInterfaceRow(kVendorId, 0x9999, kDeviceTypeMouse, kRoleCommand), -1);
    // The receiver product under the cable's type code is not a row.
    EXPECT_EQ(FindInterfaceRow(kVendorId, kProductMouseReceiver, kDeviceTypeMouse, kRoleCommand),
              -1);
    EXPECT_EQ(FindInterfaceRow(kHeadsetVendorId, kProductMouse, kDeviceTypeMouse, kRoleCommand),
              -1);
    EXPECT_EQ(FindInterfaceRow(kHeadsetVendorId, kProductHeadset, kDeviceTypeHeadset, kRoleEvent),
              -1);
}

TEST(SupportedInterfaces, EveryRowIsFoundByItsOwnKey) {
    const auto rows = SupportedInterfaces();
    ASSERT_EQ(rows.size(), 11u);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const SupportedInterface& r = rows[i];
        EXPECT_EQ(FindInterfaceRow(r.vendorId, r.productId, r.deviceType, r.role), i);
        EXPECT_EQ(r.connected, 0) << i;
        EXPECT_TRUE(r.path.empty()) << i;
    }
}

TEST(SupportedInterfaces, PartnersLinkTheOtherLinkOfTheSameProductBothWays) {
    const auto rows = SupportedInterfaces();
    int linked = 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const SupportedInterface& r = rows[i];
        if (!r.hasPartner) {
            continue;
        }
        ++linked;
        ASSERT_LT(r.partnerIndex, rows.size()) << i;
        const SupportedInterface& p = rows[r.partnerIndex];
        EXPECT_EQ(p.role, r.role) << i;
        EXPECT_EQ(CableDeviceType(p.deviceType), CableDeviceType(r.deviceType)) << i;
        EXPECT_NE(IsReceiverType(p.deviceType), IsReceiverType(r.deviceType)) << i;
        EXPECT_TRUE(p.hasPartner) << i;
        EXPECT_EQ(p.partnerIndex, i);
    }
    EXPECT_EQ(linked, 8);
}

TEST(SupportedInterfaces, HeadsetRowStandsAlone) {
    const auto rows = SupportedInterfaces();
    const SupportedInterface& headset = rows[10];
    EXPECT_EQ(headset.deviceType, kDeviceTypeHeadset);
    EXPECT_EQ(headset.collection, 0);
    EXPECT_EQ(headset.hasPartner, 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_NE(rows[i].vendorId, headset.vendorId) << i;
    }
}

TEST(RecordsEqual, IgnoresRunTimeAndPartnerFields) {
    const SupportedInterface& row = SupportedInterfaces()[4];
    SupportedInterface slot = row;
    slot.connected = 1;
    slot.path = "/dev/hidraw3#vid_320f&pid_221c&mi_01&col04";
    slot.hasPartner = 0;
    slot.partnerIndex = 9;
    EXPECT_TRUE(RecordsEqual(slot, row));
    EXPECT_TRUE(RecordsEqual(row, slot));
}

TEST(RecordsEqual, ComparesEveryIdentityField) {
    using Field = std::uint16_t SupportedInterface::*;
    const Field fields[] = {
        &SupportedInterface::vendorId,        &SupportedInterface::productId,
        &SupportedInterface::interfaceNumber, &SupportedInterface::collection,
        &SupportedInterface::deviceType,      &SupportedInterface::role,
        &SupportedInterface::usagePage,       &SupportedInterface::usage,
    };
    const SupportedInterface& row = SupportedInterfaces()[0];
    for (Field f : fields) {
        SupportedInterface other = row;
        other.*f ^= 1;
        EXPECT_FALSE(RecordsEqual(row, other));
    }
    // Cable and receiver links of one product are different records.
    EXPECT_FALSE(RecordsEqual(SupportedInterfaces()[0], SupportedInterfaces()[2]));
}

TEST(FindDeviceTypeRow, MatchesAllFourKeys) {
    EXPECT_EQ(FindDeviceTypeRow(kVendorId, kProductMouse, kDeviceTypeMouse, 0), 0);
    EXPECT_EQ(FindDeviceTypeRow(kVendorId, kProductKeyboard, kDeviceTypeKeyboard, 0), 1);
    EXPECT_EQ(FindDeviceTypeRow(kHeadsetVendorId, kProductHeadset, kDeviceTypeHeadset, 0), 3);
    EXPECT_EQ(FindDeviceTypeRow(kVendorId, kProductMouse, kDeviceTypeMouse, 1), -1);
    EXPECT_EQ(FindDeviceTypeRow(kVendorId, kProductMouseReceiver, kDeviceTypeMouseReceiver, 0), -1);
    EXPECT_EQ(FindDeviceTypeRow(kVendorId, kProductMouse, kDeviceTypeKeyboard, 0), -1);
}

TEST(DeviceTypes, EveryTypeRowHasACommandInterfaceAndAPage) {
    const auto types = DeviceTypes();
    ASSERT_EQ(DevicePages().size(), types.size());
    std::set<std::string_view> folders;
    for (const DeviceTypeInfo& t : types) {
        EXPECT_GE(FindInterfaceRow(t.vendorId, t.productId, t.deviceType, kRoleCommand), 0)
            << t.typeName;
        folders.insert(t.typeName);
    }
    EXPECT_EQ(folders.size(), types.size());  // type names are folder names
}

TEST(DeviceTypes, FileNamesUseForwardSlashes) {
    for (const DeviceTypeInfo& t : DeviceTypes()) {
        EXPECT_EQ(t.entryLayout.find('\\'), std::string_view::npos) << t.entryLayout;
    }
    for (const DevicePageInfo& p : DevicePages()) {
        EXPECT_EQ(p.pageLayout.find('\\'), std::string_view::npos) << p.pageLayout;
        EXPECT_TRUE(p.pageLayout.starts_with("XML/DeviceXml/")) << p.pageLayout;
    }
}

TEST(DeviceTypeRowFor, ReceiversShareTheCableRow) {
    const auto types = DeviceTypes();
    EXPECT_EQ(DeviceTypeRowFor(kDeviceTypeKeyboardReceiver), DeviceTypeRowFor(kDeviceTypeKeyboard));
    EXPECT_EQ(DeviceTypeRowFor(kDeviceTypeMouseReceiver), DeviceTypeRowFor(kDeviceTypeMouse));
    EXPECT_EQ(types[DeviceTypeRowFor(kDeviceTypeMouseReceiver)].typeName, "mouse");
    EXPECT_EQ(types[DeviceTypeRowFor(kDeviceTypeKeyboardReceiver)].typeName, "keyboard");
    EXPECT_EQ(DeviceTypeRowFor(4), -1);
    EXPECT_EQ(DeviceTypeRowFor(0), -1);
    // Every supported interface is served by some page.
    for (const SupportedInterface& r : SupportedInterfaces()) {
        const int row = DeviceTypeRowFor(r.deviceType);
        ASSERT_GE(row, 0) << r.productId;
        EXPECT_EQ(types[row].vendorId, r.vendorId);
    }
}

}  // namespace
}  // namespace morva
