#include "device/hid/hid_device.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/fake_hid_backend.h"

namespace morva {
namespace {

using test::FakeHidBackend;

// Consumer control with a 16-bit array (report id 3) and a vendor report (id 4).
const std::vector<std::uint8_t> kConsumerDescriptor = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,                          // consumer control application
    0x85, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x00,                    // id 3, usages 0..0xFF
    0x15, 0x00, 0x27, 0xFF, 0xFF, 0x00, 0x00,                    // logical 0..0xFFFF
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,                          // 16 bits x 1, input array
    0x85, 0x05, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03,              // id 5, buttons 1..3
    0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  // 3 one-bit variables
    0x95, 0x05, 0x81, 0x01,                                      // padding
    0xC0};

hid::InterfaceInfo ConsumerInfo(const std::string& path) {
    hid::InterfaceInfo info;
    info.path = path;
    info.vendorId = 0x320F;
    info.productId = 0x221C;
    hid::ParsedDescriptor parsed;
    std::string error;
    EXPECT_TRUE(hid::ParseReportDescriptor(kConsumerDescriptor, parsed, error)) << error;
    info.collection = parsed.collections.at(0);
    return info;
}

TEST(HidPathParsing, ReadsHexNumbersAfterTheTags) {
    const std::string path = "/dev/hidraw3#vid_320F&pid_5055&mi_01&col04#{guid}";
    EXPECT_EQ(ParseVid(path), 0x320F);
    EXPECT_EQ(ParsePid(path), 0x5055);
    EXPECT_EQ(ParseInterfaceNumber(path), 1);
    EXPECT_EQ(ParseCollection(path), 4);

    const std::string headset = "\\\\?\\HID#VID_0C76&PID_1630&MI_03#7&1a2b";
    EXPECT_EQ(ParseVid(headset), 0x0C76);
    EXPECT_EQ(ParseInterfaceNumber(headset), 3);
    EXPECT_EQ(ParseCollection(headset), 0) << "no collection tag";
    EXPECT_EQ(ParsePid("nothing here"), 0);
}

TEST(HidPathList, GrowsPastEightAndKeepsOrder) {
    FakeHidBackend backend;
    CHidDevice hid(backend);
    EXPECT_TRUE(hid.EnumeratePaths());
    EXPECT_FALSE(hid.NextPath()) << "no interface present";

    for (int i = 0; i < 20; ++i)
        backend.paths.push_back("p" + std::to_string(i));
    ASSERT_TRUE(hid.EnumeratePaths());
    EXPECT_EQ(hid.PathCount(), 20u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(hid.NextPath(), "p" + std::to_string(i));
    EXPECT_FALSE(hid.NextPath());

    ASSERT_TRUE(hid.EnumeratePaths());
    EXPECT_EQ(hid.NextPath(), "p0") << "a new enumeration starts over";
    hid.FreePaths();
    EXPECT_FALSE(hid.NextPath());

    backend.enumerateOk = false;
    EXPECT_FALSE(hid.EnumeratePaths());
    EXPECT_EQ(hid.PathCount(), 0u);
}

TEST(HidOpen, KeepsTheInterfaceDescriptionOrTheReason) {
    FakeHidBackend backend;
    backend.Add(ConsumerInfo("x#vid_320f&pid_221c&mi_01&col03"));
    CHidDevice hid(backend);
    EXPECT_FALSE(hid.Open("missing#vid_1&pid_2", true, false));
    EXPECT_EQ(hid.LastError(), "device not present");
    EXPECT_FALSE(hid.IsOpen());

    ASSERT_TRUE(hid.Open("x#vid_320f&pid_221c&mi_01&col03", true, true));
    EXPECT_TRUE(hid.LastError().empty());
    EXPECT_EQ(hid.VendorId(), 0x320F);
    EXPECT_EQ(hid.UsagePage(), 0x0C);
    EXPECT_EQ(hid.InputReportLength(), 3);
    EXPECT_EQ(hid.InterfaceNumber(), 1u);
    EXPECT_EQ(hid.CollectionNumber(), 3u);
    ASSERT_TRUE(hid.Reopen());
    EXPECT_EQ(backend.opens, 2);
    hid.Close();
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_EQ(hid.ReadReport(nullptr, 0, nullptr, 0), 0) << "closed: no transfer";
}

TEST(HidTransfer, TimeoutAndCloseEndPendingReads) {
    FakeHidBackend backend;
    auto link = backend.Add(ConsumerInfo("x#mi_01&col03"));
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("x#mi_01&col03", true, true));

    std::uint8_t buffer[8];
    std::uint32_t transferred = 99;
    EXPECT_EQ(hid.ReadReport(buffer, sizeof buffer, &transferred, 20), 0);
    EXPECT_EQ(transferred, 0u);

    link->Push({3, 1, 4});
    EXPECT_EQ(hid.ReadReport(buffer, sizeof buffer, &transferred, 20), 1);
    EXPECT_EQ(transferred, 3u);

    // A read without time limit returns once another thread closes the device.
    int result = -1;
    std::thread reader(
        [&] { result = hid.ReadReport(buffer, sizeof buffer, nullptr, hid::kNoTimeout); });
    {
        std::unique_lock lock(link->mutex);
        link->changed.wait(lock, [&] { return link->readsInside > 0; });
    }
    hid.Close();
    reader.join();
    EXPECT_EQ(result, 0);
}

TEST(HidTransfer, CloseRacingManyReadsNeverHangs) {
    FakeHidBackend backend;
    backend.Add(ConsumerInfo("x#mi_01&col03"));
    CHidDevice hid(backend);
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(hid.Open("x#mi_01&col03", true, true));
        std::thread reader([&] {
            std::uint8_t b[4];
            while (hid.ReadReport(b, sizeof b, nullptr, hid::kNoTimeout) == 1) {
            }
        });
        hid.Close();
        reader.join();
    }
}

TEST(HidUnpack, DecodesTheEventWordAndButtons) {
    FakeHidBackend backend;
    backend.Add(ConsumerInfo("x#mi_01&col03"));
    CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("x#mi_01&col03", true, false));
    const std::vector<HidDataItem> items = hid.InputItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].isButtonData);
    EXPECT_EQ(items[0].reportId, 3u);
    EXPECT_EQ(items[1].reportId, 5u);

    const std::uint8_t event[] = {3, 0x41, 0x00};
    ASSERT_TRUE(hid.UnpackInputReport(event, sizeof event));
    EXPECT_EQ(hid.FirstActiveUsage(), 0x41);

    const std::uint8_t other[] = {9, 0xFF, 0xFF};
    EXPECT_TRUE(hid.UnpackInputReport(other, sizeof other)) << "no item has id 9";
    EXPECT_EQ(hid.FirstActiveUsage(), 0x41) << "nothing changed";

    // 0x0401 lies outside this item's usage range (0..0xFF): dropped, list zero-terminated.
    const std::uint8_t outside[] = {3, 0x01, 0x04};
    ASSERT_TRUE(hid.UnpackInputReport(outside, sizeof outside));
    EXPECT_EQ(hid.FirstActiveUsage(), 0);

    const std::uint8_t buttons[] = {5, 0b101};
    ASSERT_TRUE(hid.UnpackInputReport(buttons, sizeof buttons));
    const HidDataItem pressed = hid.InputItems()[1];
    EXPECT_TRUE(pressed.isDataSet);
    EXPECT_EQ(pressed.usages, (std::vector<std::uint16_t>{1, 3, 0}));
}

}  // namespace
}  // namespace morva
