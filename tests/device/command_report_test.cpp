#include "device/protocol/command_report.h"

#include <gtest/gtest.h>

#include "device/protocol/macro_image.h"

namespace morva {
namespace {

TEST(CommandReport, BeginRequestBytesAndChecksum) {
    const CommandReport r = CommandReport::Request(cmd::kBegin);
    const std::array<std::uint8_t, 8> head = {0x04, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), r.bytes.begin()));
    EXPECT_TRUE(std::all_of(r.bytes.begin() + 8, r.bytes.end(), [](auto b) { return b == 0; }));
}

TEST(CommandReport, ChecksumCoversHeaderAndPayloadLittleEndian) {
    std::vector<std::uint8_t> payload(56, 0xFF);
    const CommandReport r = CommandReport::Request(0x06, 56, 0x1234, payload);
    const unsigned sum = 0x06 + 56 + 0x34 + 0x12 + 56 * 0xFF;
    EXPECT_EQ(r.bytes[1], sum & 0xFF);
    EXPECT_EQ(r.bytes[2], (sum >> 8) & 0xFF);
    EXPECT_EQ(r.bytes[5], 0x34);
    EXPECT_EQ(r.bytes[6], 0x12);

    std::vector<std::uint8_t> tooLong(80, 1);
    const CommandReport capped = CommandReport::Request(0x06, 56, 0, tooLong);
    EXPECT_EQ(capped.bytes[63], 1) << "payload fills the report";
}

TEST(CommandReport, TraceLayoutGroupsBytes) {
    CommandReport r = CommandReport::Request(cmd::kBegin);
    r.bytes[32] = 0xAB;
    const std::string trace = FormatReportTrace(r.bytes);
    const std::string first =
        "04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  00 00 00 00  00 00 00 00  "
        "00 00 00 00  00 00 00 00\n";
    ASSERT_EQ(trace.size(), 2 * first.size());
    EXPECT_EQ(trace.substr(0, first.size()), first);
    EXPECT_EQ(trace.substr(first.size(), 3), "ab ");
}

TEST(MacroImage, HeaderOffsetsAndBlocks) {
    const std::vector<std::vector<ImageEvent>> entries = {
        {{0x2C, 0x01, 0x8A, 0x04}, {0x05, 0x00, 0x0A, 0x04}}, {}, {{0x10, 0x00, 0x81, 0x01}}};
    const auto image = BuildMacroImage(entries);
    ASSERT_TRUE(image);
    const std::size_t length = 16 + 6 * 3 + 4 * 3;
    ASSERT_EQ(image->size(), length);
    EXPECT_EQ((*image)[0], 0xAA);
    EXPECT_EQ((*image)[1], 0x55);
    EXPECT_EQ((*image)[2], length);
    EXPECT_EQ((*image)[4], 3);
    // Offsets: blocks start after the 6-byte table; each block is 4 + 4 per event.
    const std::size_t first = 16 + 2 * 3;
    EXPECT_EQ((*image)[16], first);
    EXPECT_EQ((*image)[18], first + 4 + 8);
    EXPECT_EQ((*image)[20], first + 4 + 8 + 4);
    EXPECT_EQ((*image)[first], 2) << "event count of the first entry";
    EXPECT_EQ((*image)[first + 4 + 2], 0x8A);
    EXPECT_EQ(image->back(), 0x01);
}

TEST(MacroImage, RefusesImagesWhoseLengthWouldWrap) {
    std::vector<std::vector<ImageEvent>> entries(1, std::vector<ImageEvent>(16378));
    EXPECT_TRUE(BuildMacroImage(entries)) << "16 + 6 + 65512 bytes still fit";
    entries[0].resize(16379);
    EXPECT_FALSE(BuildMacroImage(entries));
}

}  // namespace
}  // namespace morva
