// HID report descriptor parsing: splits a descriptor into its top-level collections and
// describes every field of their reports, so input reports can be decoded without an OS
// HID parser.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morva::hid {

enum class ReportKind : std::uint8_t { Input = 0, Output = 1, Feature = 2 };

// One main item (Input/Output/Feature) as it lies in its report.
struct ReportField {
    ReportKind kind = ReportKind::Input;
    std::uint8_t reportId = 0;    // 0 when the descriptor uses no report ids
    std::uint32_t bitOffset = 0;  // from the first byte after the report id byte
    std::uint32_t bitSize = 0;    // Report Size
    std::uint32_t count = 0;      // Report Count
    bool isConstant = false;      // padding
    bool isVariable = false;      // false: an array of usage indexes
    std::uint16_t usagePage = 0;  // page of the usages below
    // Usages in declaration order (ids on `usagePage`), or a range when `hasRange`.
    std::vector<std::uint16_t> usages;
    bool hasRange = false;
    std::uint32_t usageMin = 0, usageMax = 0;
    std::int32_t logicalMin = 0, logicalMax = 0;

    // Usage of element `index` of a variable field (the last usage repeats).
    std::uint16_t UsageAt(std::uint32_t index) const;
};

struct TopLevelCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::vector<std::uint8_t> reportIds;  // ascending; empty when none are used
    // Largest report of each kind in bytes, plus one byte for the report id (always, as the
    // Windows HID stack counts it); 0 when the collection has no report of that kind.
    std::uint16_t inputLength = 0, outputLength = 0, featureLength = 0;
    std::vector<ReportField> fields;  // in descriptor order
};

struct ParsedDescriptor {
    std::vector<TopLevelCollection> collections;  // in descriptor order
    bool usesReportIds = false;
};

// False with a one-line reason on a malformed descriptor (truncated item, unbalanced or
// unclosed collection, pop without push, absurd sizes). Never allocates without bound.
// `out` is left empty on failure. Also rejected: a main item outside any collection, Report
// ID 0 (or above 255), a main item before the first Report ID of a descriptor that uses ids,
// Report Size above 256 bits, a report above 65534 bytes, more than 256 top-level
// collections, 4096 fields, 64 nested collections or 32 pushes. An empty descriptor parses
// to no collections.
// Usages: a Usage Page applies to the usages written without a page that are in effect at
// the next main item (so it may follow them); a 4-byte usage carries its own page. A field
// with a single Usage Minimum/Maximum pair keeps it as a range; usages mixed with ranges are
// expanded into `usages` (at most 4096). A field whose usages span several pages keeps the
// page of the first one in `usagePage`. Logical Maximum is read unsigned when the minimum
// is >= 0 (clamped to INT32_MAX).
bool ParseReportDescriptor(std::span<const std::uint8_t> bytes, ParsedDescriptor& out,
                           std::string& error);

// Reports as the program handles them start with the report id byte (0 without ids); a
// report whose first byte is not the field's report id yields nothing (and value 0).
// Usages active in an input report for an array field or a 1-bit variable field, in element
// order; usage 0 is never returned (an empty array slot). An array value outside
// [logicalMin, logicalMax], or past the usages, names nothing. Constant fields, wider
// variable fields and a report too short to hold the whole field yield nothing.
std::vector<std::uint16_t> ActiveUsages(const ReportField& field,
                                        std::span<const std::uint8_t> report);
// Raw value of element `index` of a variable field, sign-extended when logicalMin < 0; the
// low 32 bits of wider elements; 0 when the element lies outside the field or the report.
std::int32_t FieldValue(const ReportField& field, std::span<const std::uint8_t> report,
                        std::uint32_t index);

}  // namespace morva::hid
