#include "device/hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "device/hid/descriptor_dump.h"
#include "support/temp_dir.h"

namespace morva::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Usages = std::vector<std::uint16_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// HID 1.11 appendix E.10, with an optional wheel.
Bytes BootMouse(bool wheel) {
    Bytes d = {
        0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,  // Generic Desktop, Mouse, Application
        0x09, 0x01, 0xA1, 0x00,              //   Pointer, Physical
        0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  //     Buttons 1..3
        0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  // 3 x 1 bit, Data Var
        0x95, 0x01, 0x75, 0x05, 0x81, 0x01,                          // 5 bits padding
        0x05, 0x01, 0x09, 0x30, 0x09, 0x31,                          //     X, Y
    };
    if (wheel)
        d.insert(d.end(), {0x09, 0x38});  //                         Wheel
    d.insert(d.end(), {0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95,
                       static_cast<std::uint8_t>(wheel ? 3 : 2), 0x81, 0x06,  // Data Var Rel
                       0xC0, 0xC0});
    return d;
}

// HID 1.11 appendix E.6, optionally behind a report id.
Bytes BootKeyboard(std::uint8_t reportId = 0) {
    Bytes d = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01};
    if (reportId != 0)
        d.insert(d.end(), {0x85, reportId});
    d.insert(d.end(), {
                          0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,  // modifiers
                          0x75, 0x01, 0x95, 0x08, 0x81, 0x02,  //   8 x 1 bit
                          0x95, 0x01, 0x75, 0x08, 0x81, 0x01,  // reserved byte
                          0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05,  // 5 LEDs
                          0x91, 0x02,                                                  //   Output
                          0x95, 0x01, 0x75, 0x03, 0x91, 0x01,              // LED padding
                          0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,  // 6 keys
                          0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,  //   Data Array
                          0xC0,
                      });
    return d;
}

const Bytes kSystemControl = {
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02,              // System Control, id 2
    0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01,              // Power Down..Wake Up
    0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01,  // 3 bits + 5 padding
    0xC0,
};

const Bytes kConsumerControl16 = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,  // Consumer Control, id 3
    0x19, 0x00, 0x2A, 0xFF, 0xFF,                    // Usage 0..0xFFFF
    0x15, 0x00, 0x26, 0xFF, 0xFF,                    // Logical 0..0xFFFF
    0x75, 0x10, 0x95, 0x01, 0x81, 0x00,              // 1 x 16 bits, Data Array
    0xC0,
};

const Bytes kVendorFF1C = {
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,  // page 0xFF1C, usage 0x92, id 4
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F,  // 63 bytes 0..255
    0x09, 0x01, 0x81, 0x02,                                // Input
    0x09, 0x01, 0x91, 0x02,                                // Output
    0xC0,
};

Bytes CompositeKeyboard() {
    return Concat({BootKeyboard(1), kSystemControl, kConsumerControl16, kVendorFF1C});
}

// A headset: volume up/down and mute bits (id 1), vendor output report (id 2).
const Bytes kHeadset = {
    0x05,
    0x0C,
    0x09,
    0x01,
    0xA1,
    0x01,
    0x85,
    0x01,  // Consumer Control, id 1
    0x15,
    0x00,
    0x25,
    0x01,
    0x09,
    0xE9,
    0x09,
    0xEA,
    0x09,
    0xE2,
    0x75,
    0x01,
    0x95,
    0x03,
    0x81,
    0x02,  // 3 bits
    0x95,
    0x05,
    0x81,
    0x01,  // padding
    0xC0,
    0x06,
    0x00,
    0xFF,
    0x09,
    0x01,
    0xA1,
    0x01,
    0x85,
    0x02,  // vendor page, id 2
    0x09,
    0x02,
    0x15,
    0x00,
    0x26,
    0xFF,
    0x00,
    0x75,
    0x08,
    0x95,
    0x10,
    0x91,
    0x02,  // 16 bytes
           // Output
    0xC0,
};

// A mouse whose buttons after a Push/Pop pair keep the pushed globals.
const Bytes kPushPopMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01,
    0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03,
    0xA4,                                                        // Push
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,  // X, Y
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06,
    0xB4,                                // Pop
    0x19, 0x04, 0x29, 0x06, 0x81, 0x02,  // buttons 4..6
    0x95, 0x01, 0x75, 0x05, 0x81, 0x01,  // padding
    0xC0,
};

ParsedDescriptor Parse(const Bytes& d) {
    ParsedDescriptor p;
    std::string error;
    EXPECT_TRUE(ParseReportDescriptor(d, p, error)) << error;
    EXPECT_EQ(error, "");
    return p;
}

std::string ParseError(const Bytes& d) {
    ParsedDescriptor p;
    p.usesReportIds = true;
    std::string error;
    EXPECT_FALSE(ParseReportDescriptor(d, p, error));
    EXPECT_TRUE(p.collections.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
    return error;
}

TEST(ReportDescriptor, BootMouseLengthsFollowTheWheel) {
    for (bool wheel : {false, true}) {
        const ParsedDescriptor p = Parse(BootMouse(wheel));
        ASSERT_EQ(p.collections.size(), 1u);
        const TopLevelCollection& c = p.collections[0];
        EXPECT_FALSE(p.usesReportIds);
        EXPECT_EQ(c.usagePage, 0x01);
        EXPECT_EQ(c.usage, 0x02);  // the physical sub-collection does not make a second one
        EXPECT_TRUE(c.reportIds.empty());
        // 3 button bits + 5 padding + X + Y (+ wheel) bytes, plus the report id byte.
        EXPECT_EQ(c.inputLength, wheel ? 5 : 4);
        EXPECT_EQ(c.outputLength, 0);
        EXPECT_EQ(c.featureLength, 0);
        ASSERT_EQ(c.fields.size(), 3u);
        const ReportField& buttons = c.fields[0];
        EXPECT_EQ(buttons.usagePage, 0x09);
        EXPECT_TRUE(buttons.hasRange);
        EXPECT_EQ(buttons.usageMin, 1u);
        EXPECT_EQ(buttons.usageMax, 3u);
        EXPECT_TRUE(buttons.isVariable);
        EXPECT_TRUE(c.fields[1].isConstant);
        EXPECT_EQ(c.fields[1].bitOffset, 3u);
        const ReportField& axes = c.fields[2];
        EXPECT_EQ(axes.bitOffset, 8u);
        EXPECT_EQ(axes.bitSize, 8u);
        EXPECT_EQ(axes.usagePage, 0x01);
        EXPECT_EQ(axes.usages, (wheel ? Usages{0x30, 0x31, 0x38} : Usages{0x30, 0x31}));
        EXPECT_EQ(axes.logicalMin, -127);
        EXPECT_EQ(axes.logicalMax, 127);
    }
}

TEST(ReportDescriptor, BootKeyboardHasNineByteInputAndTwoByteOutput) {
    const ParsedDescriptor p = Parse(BootKeyboard());
    ASSERT_EQ(p.collections.size(), 1u);
    const TopLevelCollection& c = p.collections[0];
    EXPECT_EQ(c.usagePage, 0x01);
    EXPECT_EQ(c.usage, 0x06);
    EXPECT_EQ(c.inputLength, 9);
    EXPECT_EQ(c.outputLength, 2);
    ASSERT_EQ(c.fields.size(), 5u);
    const ReportField& leds = c.fields[2];
    EXPECT_EQ(leds.kind, ReportKind::Output);
    EXPECT_EQ(leds.bitOffset, 0u);  // offsets run per report kind
    EXPECT_EQ(leds.usagePage, 0x08);
    EXPECT_EQ(c.fields[3].bitOffset, 5u);
    const ReportField& keys = c.fields[4];
    EXPECT_EQ(keys.kind, ReportKind::Input);
    EXPECT_EQ(keys.bitOffset, 16u);
    EXPECT_FALSE(keys.isVariable);
    EXPECT_EQ(keys.count, 6u);
    EXPECT_EQ(keys.logicalMax, 0x65);
}

TEST(ReportDescriptor, CompositeKeyboardSplitsCollectionsByReportId) {
    const ParsedDescriptor p = Parse(CompositeKeyboard());
    EXPECT_TRUE(p.usesReportIds);
    ASSERT_EQ(p.collections.size(), 4u);
    const auto& kb = p.collections[0];
    EXPECT_EQ(kb.reportIds, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(kb.inputLength, 9);
    EXPECT_EQ(kb.outputLength, 2);
    const auto& sys = p.collections[1];
    EXPECT_EQ(sys.usage, 0x80);
    EXPECT_EQ(sys.reportIds, (std::vector<std::uint8_t>{2}));
    EXPECT_EQ(sys.inputLength, 2);
    EXPECT_EQ(sys.outputLength, 0);
    const auto& cc = p.collections[2];
    EXPECT_EQ(cc.usagePage, 0x0C);
    EXPECT_EQ(cc.usage, 0x01);
    EXPECT_EQ(cc.inputLength, 3);
    ASSERT_EQ(cc.fields.size(), 1u);
    EXPECT_EQ(cc.fields[0].bitOffset, 0u);  // report 3 starts afresh
    EXPECT_EQ(cc.fields[0].logicalMax, 0xFFFF);
    EXPECT_EQ(cc.fields[0].usageMax, 0xFFFFu);
    const auto& vendor = p.collections[3];
    EXPECT_EQ(vendor.usagePage, 0xFF1C);
    EXPECT_EQ(vendor.usage, 0x92);
    EXPECT_EQ(vendor.reportIds, (std::vector<std::uint8_t>{4}));
    EXPECT_EQ(vendor.inputLength, 64);
    EXPECT_EQ(vendor.outputLength, 64);
    EXPECT_EQ(vendor.featureLength, 0);
    EXPECT_EQ(vendor.fields[0].logicalMax, 255);
}

TEST(ReportDescriptor, HeadsetConsumerBitsAndVendorOutput) {
    const ParsedDescriptor p = Parse(kHeadset);
    ASSERT_EQ(p.collections.size(), 2u);
    const auto& cc = p.collections[0];
    EXPECT_EQ(cc.reportIds, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(cc.inputLength, 2);
    EXPECT_EQ(cc.fields[0].usages, (Usages{0xE9, 0xEA, 0xE2}));
    const auto& vendor = p.collections[1];
    EXPECT_EQ(vendor.usagePage, 0xFF00);
    EXPECT_EQ(vendor.inputLength, 0);
    EXPECT_EQ(vendor.outputLength, 17);
}

TEST(ReportDescriptor, PopRestoresThePushedGlobals) {
    const ParsedDescriptor p = Parse(kPushPopMouse);
    ASSERT_EQ(p.collections.size(), 1u);
    const auto& f = p.collections[0].fields;
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[0].usagePage, 0x01);
    EXPECT_EQ(f[1].usagePage, 0x09);
    EXPECT_EQ(f[1].bitSize, 1u);
    EXPECT_EQ(f[1].count, 3u);
    EXPECT_EQ(f[1].logicalMin, 0);
    EXPECT_EQ(f[1].logicalMax, 1);
    EXPECT_EQ(f[1].bitOffset, 16u);
    EXPECT_EQ(f[1].usageMin, 4u);
    EXPECT_EQ(p.collections[0].inputLength, 4);
}

TEST(ReportDescriptor, UsagePagesAndMixedUsageLists) {
    const Bytes d =
        {
            0x09, 0x02, 0x05, 0x01, 0xA1, 0x01,        // Usage before its Usage Page
            0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x02,  // extended usage 0x000C:0001 (logical)
            0x09, 0x01, 0x19, 0x03, 0x29, 0x05,        // Usage 1 + range 3..5: expanded
            0x75, 0x01, 0x95, 0x04, 0x25, 0x01, 0x81, 0x02, 0x2B,
            0xE7, 0x00, 0x07, 0x00, 0x1B, 0xE0, 0x00, 0x07, 0x00,  // extended max, min
            0x95, 0x08, 0x81, 0x02, 0xC0, 0xC0, 0x0B, 0x01, 0x00,
            0x0C, 0x00, 0xA1, 0x01, 0xC0,  // a collection named by page
        };
    const ParsedDescriptor p = Parse(d);
    ASSERT_EQ(p.collections.size(), 2u);
    EXPECT_EQ(p.collections[0].usagePage, 0x01);
    EXPECT_EQ(p.collections[0].usage, 0x02);
    const auto& f = p.collections[0].fields;
    ASSERT_EQ(f.size(), 2u);
    EXPECT_FALSE(f[0].hasRange);
    EXPECT_EQ(f[0].usages, (Usages{1, 3, 4, 5}));
    EXPECT_EQ(f[0].UsageAt(0), 1);
    EXPECT_EQ(f[0].UsageAt(3), 5);
    EXPECT_EQ(f[0].UsageAt(9), 5);  // the last usage repeats
    EXPECT_EQ(f[1].usagePage, 0x07);
    EXPECT_TRUE(f[1].hasRange);
    EXPECT_EQ(f[1].UsageAt(0), 0xE0);
    EXPECT_EQ(f[1].UsageAt(7), 0xE7);
    EXPECT_EQ(f[1].UsageAt(100), 0xE7);
    EXPECT_EQ(p.collections[1].usagePage, 0x0C);
    EXPECT_EQ(p.collections[1].usage, 0x01);
    EXPECT_EQ(p.collections[1].inputLength, 0);
}

TEST(ReportDescriptor, LogicalMaximumIsUnsignedWhenTheMinimumIsNot) {
    const Bytes d = {
        0x05, 0x01, 0xA1, 0x01, 0x75, 0x10, 0x95, 0x01, 0x27,
        0xFF, 0xFF, 0x00, 0x00, 0x15, 0x00, 0x81, 0x02,        // max before min: 65535
        0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F, 0x81, 0x02,        // -32768..32767
        0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02,  // 0..0xFFFFFFFF, clamped
        0x96, 0x00, 0x00, 0x81, 0x01,                          // Report Count 0: no bits
        0xFE, 0x02, 0x10, 0xAA, 0xBB,                          // a long item, skipped
        0xC0,
    };
    const ParsedDescriptor p = Parse(d);
    ASSERT_EQ(p.collections.size(), 1u);
    const auto& f = p.collections[0].fields;
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[0].logicalMax, 65535);
    EXPECT_EQ(f[1].logicalMin, -32768);
    EXPECT_EQ(f[1].logicalMax, 32767);
    EXPECT_EQ(f[2].logicalMax, 0x7FFFFFFF);
    EXPECT_EQ(p.collections[0].inputLength, 7);
}

TEST(ReportDescriptor, RejectsMalformedDescriptors) {
    EXPECT_NE(ParseError({0x05, 0x01, 0x06, 0x0C}).find("truncated item"), std::string::npos);
    EXPECT_NE(ParseError({0x05, 0x01, 0xFE, 0x05, 0x00, 0x01}).find("truncated long item"),
              std::string::npos);
    EXPECT_NE(ParseError({0x05, 0x01, 0xFE}).find("truncated long item"), std::string::npos);
    EXPECT_NE(ParseError({0xA1, 0x01, 0xC0, 0xC0}).find("End Collection"), std::string::npos);
    EXPECT_NE(ParseError({0xA1, 0x01, 0xA1, 0x00, 0xC0}).find("not closed"), std::string::npos);
    EXPECT_NE(ParseError({0xA4, 0xB4, 0xB4}).find("Pop without Push"), std::string::npos);
    EXPECT_NE(ParseError({0x75, 0x01, 0x95, 0x01, 0x81, 0x02}).find("outside any collection"),
              std::string::npos);
    EXPECT_NE(ParseError({0x85, 0x00}).find("report id"), std::string::npos);
    EXPECT_NE(ParseError({0x84}).find("report id"), std::string::npos);
    EXPECT_NE(ParseError({0x86, 0x00, 0x01}).find("report id"), std::string::npos);
    // 8 bits x 0xFFFF, then 8 bits x 0x7FFFFFFF in one report.
    EXPECT_NE(
        ParseError({0xA1, 0x01, 0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0xC0}).find("65534"),
        std::string::npos);
    EXPECT_NE(ParseError({0xA1, 0x01, 0x75, 0x08, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02, 0xC0})
                  .find("report count"),
              std::string::npos);
    // Two halves that each fit but not together.
    EXPECT_NE(ParseError({0xA1, 0x01, 0x75, 0x08, 0x96, 0x00, 0x80, 0x81, 0x02, 0x81, 0x02, 0xC0})
                  .find("65534"),
              std::string::npos);
    EXPECT_NE(ParseError({0xA1, 0x01, 0x77, 0x01, 0x01, 0x00, 0x00, 0x95, 0x01, 0x81, 0x01, 0xC0})
                  .find("report size"),
              std::string::npos);
    // Data before the first Report ID of a descriptor that uses them.
    EXPECT_NE(
        ParseError({0xA1, 0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x85, 0x01, 0x81, 0x02, 0xC0})
            .find("before the first Report ID"),
        std::string::npos);

    Bytes deep(65 * 2, 0xA1);
    for (std::size_t i = 1; i < deep.size(); i += 2)
        deep[i] = 0x00;
    EXPECT_NE(ParseError(deep).find("nested too deep"), std::string::npos);
    Bytes pushes(33, 0xA4);
    EXPECT_NE(ParseError(pushes).find("push"), std::string::npos);
    Bytes many;
    for (int i = 0; i < 257; ++i)
        many.insert(many.end(), {0xA1, 0x01, 0xC0});
    EXPECT_NE(ParseError(many).find("top-level collections"), std::string::npos);
    Bytes fields = {0xA1, 0x01, 0x75, 0x01, 0x95, 0x01};
    fields.insert(fields.end(), 4097, 0x80);  // Input items without data bytes
    fields.push_back(0xC0);
    EXPECT_NE(ParseError(fields).find("fields"), std::string::npos);
}

TEST(ReportDescriptor, LimitsAtTheEdgeStillParse) {
    Bytes deep;
    for (int i = 0; i < 64; ++i)
        deep.insert(deep.end(), {0xA1, 0x00});
    deep.insert(deep.end(), 64, 0xC0);
    EXPECT_EQ(Parse(deep).collections.size(), 1u);
    // 65534 data bytes: the length with the id byte is the largest 16-bit value but one.
    const Bytes big = {0xA1, 0x01, 0x75, 0x08, 0x96, 0xFE, 0xFF, 0xB1, 0x02, 0xC0};
    const ParsedDescriptor p = Parse(big);
    ASSERT_EQ(p.collections.size(), 1u);
    EXPECT_EQ(p.collections[0].featureLength, 65535);
    EXPECT_TRUE(Parse({}).collections.empty());
}

TEST(ReportDescriptorDecode, ConsumerControlSixteenBitArray) {
    const ParsedDescriptor p = Parse(CompositeKeyboard());
    const ReportField& cc = p.collections[2].fields[0];
    EXPECT_EQ(ActiveUsages(cc, Bytes{0x03, 0x01, 0x04}), (Usages{0x0401}));
    EXPECT_EQ(ActiveUsages(cc, Bytes{0x03, 0xE9, 0x00}), (Usages{0x00E9}));
    EXPECT_EQ(ActiveUsages(cc, Bytes{0x03, 0xFF, 0xFF}), (Usages{0xFFFF}));
    EXPECT_TRUE(ActiveUsages(cc, Bytes{0x03, 0x00, 0x00}).empty());
    EXPECT_TRUE(ActiveUsages(cc, Bytes{0x03, 0x01}).empty());        // short report
    EXPECT_TRUE(ActiveUsages(cc, Bytes{0x02, 0x01, 0x04}).empty());  // another report id
    EXPECT_TRUE(ActiveUsages(cc, Bytes{}).empty());
    EXPECT_EQ(FieldValue(cc, Bytes{0x03, 0x01, 0x04}, 0), 0x0401);
}

TEST(ReportDescriptorDecode, KeyboardModifiersAndKeyArray) {
    const ParsedDescriptor p = Parse(BootKeyboard());
    const auto& f = p.collections[0].fields;
    // Left Shift + Right Alt, keys A and B, then empty slots.
    const Bytes report = {0x00, 0x42, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(ActiveUsages(f[0], report), (Usages{0xE1, 0xE6}));
    EXPECT_TRUE(ActiveUsages(f[1], report).empty());  // reserved byte
    EXPECT_EQ(ActiveUsages(f[4], report), (Usages{0x04, 0x05}));
    // A value past the logical maximum names no key; ErrorRollOver (1) is a usage.
    const Bytes rollover = {0x00, 0x00, 0x00, 0x01, 0x66, 0xFF, 0x00, 0x00, 0x65};
    EXPECT_EQ(ActiveUsages(f[4], rollover), (Usages{0x01, 0x65}));
    // The key array ends at byte 8: a report one byte short yields nothing.
    EXPECT_TRUE(ActiveUsages(f[4], Bytes(report.begin(), report.end() - 1)).empty());
    EXPECT_EQ(ActiveUsages(f[0], Bytes(report.begin(), report.begin() + 2)), (Usages{0xE1, 0xE6}));
}

TEST(ReportDescriptorDecode, OneBitVariableFields) {
    const ParsedDescriptor p = Parse(kHeadset);
    const ReportField& bits = p.collections[0].fields[0];
    EXPECT_EQ(ActiveUsages(bits, Bytes{0x01, 0x05}), (Usages{0xE9, 0xE2}));
    EXPECT_EQ(ActiveUsages(bits, Bytes{0x01, 0xFA}), (Usages{0xEA}));  // padding bits ignored
    EXPECT_TRUE(ActiveUsages(bits, Bytes{0x01}).empty());
    EXPECT_TRUE(ActiveUsages(p.collections[0].fields[1], Bytes{0x01, 0xFF}).empty());

    const ParsedDescriptor sys = Parse(CompositeKeyboard());
    EXPECT_EQ(ActiveUsages(sys.collections[1].fields[0], Bytes{0x02, 0x06}), (Usages{0x82, 0x83}));
}

TEST(ReportDescriptorDecode, FieldValuesAreSignExtendedForSignedRanges) {
    const ParsedDescriptor p = Parse(BootMouse(true));
    const auto& f = p.collections[0].fields;
    const Bytes report = {0x00, 0x05, 0xFF, 0x80, 0x7F};
    EXPECT_EQ(ActiveUsages(f[0], report), (Usages{1, 3}));
    EXPECT_EQ(FieldValue(f[2], report, 0), -1);
    EXPECT_EQ(FieldValue(f[2], report, 1), -128);
    EXPECT_EQ(FieldValue(f[2], report, 2), 127);
    EXPECT_EQ(FieldValue(f[2], report, 3), 0);                   // past the count
    EXPECT_EQ(FieldValue(f[2], Bytes{0x00, 0x05, 0xFF}, 1), 0);  // past the report
    EXPECT_EQ(FieldValue(f[0], report, 2), 1);                   // a button bit
    EXPECT_TRUE(ActiveUsages(f[2], report).empty());             // values, not buttons

    const ParsedDescriptor v = Parse(CompositeKeyboard());
    Bytes vendor(64, 0);
    vendor[0] = 0x04;
    vendor[63] = 0xFE;
    EXPECT_EQ(FieldValue(v.collections[3].fields[0], vendor, 62), 254);  // unsigned
}

// Lengths and ids as a consumer of the parse relies on them.
void ExpectConsistent(const ParsedDescriptor& p) {
    for (const TopLevelCollection& c : p.collections) {
        EXPECT_TRUE(std::is_sorted(c.reportIds.begin(), c.reportIds.end()));
        EXPECT_EQ(std::adjacent_find(c.reportIds.begin(), c.reportIds.end()), c.reportIds.end());
        const std::uint16_t lengths[3] = {c.inputLength, c.outputLength, c.featureLength};
        bool hasKind[3] = {false, false, false};
        for (const ReportField& f : c.fields) {
            const auto k = static_cast<std::size_t>(f.kind);
            ASSERT_LT(k, 3u);
            hasKind[k] = true;
            const std::uint64_t end = f.bitOffset + std::uint64_t{f.bitSize} * f.count;
            EXPECT_GE(lengths[k], (end + 7) / 8 + 1);
            if (p.usesReportIds) {
                EXPECT_NE(f.reportId, 0);
                EXPECT_TRUE(std::binary_search(c.reportIds.begin(), c.reportIds.end(), f.reportId));
            } else {
                EXPECT_EQ(f.reportId, 0);
            }
            // Exercise the decoders on a report of the collection's length.
            std::vector<std::uint8_t> report(lengths[k], 0xA5);
            if (!report.empty())
                report[0] = f.reportId;
            (void)ActiveUsages(f, report);
            (void)f.UsageAt(f.count);
            for (std::uint32_t i = 0; i < std::min<std::uint32_t>(f.count, 4); ++i) {
                (void)FieldValue(f, report, i);
            }
        }
        if (!p.usesReportIds) {
            EXPECT_TRUE(c.reportIds.empty());
        }
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(lengths[k] == 0, !hasKind[k]);
    }
}

TEST(ReportDescriptorFuzz, MutatedDescriptorsFailCleanlyOrStayConsistent) {
    const Bytes seeds[] = {BootMouse(true), BootKeyboard(), CompositeKeyboard(), kHeadset,
                           kPushPopMouse};
    const std::uint8_t replacements[] = {0x00, 0xFF, 0x80, 0x81, 0xC0, 0xA1, 0xA4,
                                         0xB4, 0xFE, 0x85, 0x27, 0x97, 0x0B, 0x2A};
    int variants = 0, accepted = 0;
    auto check = [&](const Bytes& d) {
        ParsedDescriptor p;
        std::string error;
        ++variants;
        if (ParseReportDescriptor(d, p, error)) {
            ++accepted;
            ExpectConsistent(p);
        } else {
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(p.collections.empty());
        }
    };
    for (const Bytes& seed : seeds) {
        for (std::size_t i = 0; i <= seed.size(); ++i) {
            check(Bytes(seed.begin(), seed.begin() + i));  // trimmed
            if (i == seed.size())
                break;
            Bytes removed = seed;
            removed.erase(removed.begin() + i);
            check(removed);
            for (std::uint8_t r : replacements) {
                Bytes m = seed;
                m[i] = r;
                check(m);
            }
            Bytes flipped = seed;
            flipped[i] ^= 0x55;
            check(flipped);
        }
    }
    // Random bytes from a fixed linear congruential generator.
    std::uint32_t state = 12345;
    for (int n = 0; n < 2000; ++n) {
        Bytes d(1 + n % 97);
        for (auto& b : d) {
            state = state * 1664525u + 1013904223u;
            b = static_cast<std::uint8_t>(state >> 24);
        }
        check(d);
    }
    EXPECT_GT(variants, 5000);
    EXPECT_GT(accepted, 100);
}

TEST(ReportDescriptorDump, PrintsOneLinePerCollection) {
    test::TempDir dir;
    const Bytes d = CompositeKeyboard();
    const std::string path = dir.Write("composite.bin", std::string(d.begin(), d.end()));
    std::ostringstream out, err;
    EXPECT_EQ(DumpDescriptorFile(path, out, err), 0);
    EXPECT_EQ(out.str(),
              "collection 1 usage_page=0x0001 usage=0x0006 report_ids=1 input=9 output=2 "
              "feature=0\n"
              "collection 2 usage_page=0x0001 usage=0x0080 report_ids=2 input=2 output=0 "
              "feature=0\n"
              "collection 3 usage_page=0x000C usage=0x0001 report_ids=3 input=3 output=0 "
              "feature=0\n"
              "collection 4 usage_page=0xFF1C usage=0x0092 report_ids=4 input=64 output=64 "
              "feature=0\n");
    EXPECT_EQ(err.str(), "");

    const Bytes mouse = BootMouse(false);
    std::ostringstream out2;
    EXPECT_EQ(DumpDescriptorFile(dir.Write("mouse.bin", std::string(mouse.begin(), mouse.end())),
                                 out2, err),
              0);
    EXPECT_EQ(out2.str(),
              "collection 1 usage_page=0x0001 usage=0x0002 report_ids=none input=4 output=0 "
              "feature=0\n");
}

int LineCount(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(ReportDescriptorDump, ReportsUnreadableAndMalformedFiles) {
    test::TempDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(DumpDescriptorFile(dir.File("missing.bin"), out, err), 1);
    EXPECT_NE(err.str().find("missing.bin"), std::string::npos);
    EXPECT_EQ(LineCount(err.str()), 1);

    std::ostringstream err2;
    EXPECT_EQ(DumpDescriptorFile(dir.Write("bad.bin", std::string("\xA1\x01", 2)), out, err2), 1);
    EXPECT_NE(err2.str().find("not closed"), std::string::npos);
    EXPECT_EQ(LineCount(err2.str()), 1);

    std::ostringstream err3;
    EXPECT_EQ(DumpDescriptorFile(dir.path().string(), out, err3), 1);  // a directory
    EXPECT_EQ(LineCount(err3.str()), 1);
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace morva::hid
