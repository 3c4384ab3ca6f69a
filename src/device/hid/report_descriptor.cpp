#include "device/hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace morva::hid {
namespace {

// Limits that keep a hostile descriptor from costing more than a few megabytes or from
// describing reports no device could send. Real descriptors stay far below every one.
constexpr std::size_t kMaxCollectionDepth = 64;
constexpr std::size_t kMaxTopLevelCollections = 256;
constexpr std::size_t kMaxFields = 4096;
constexpr std::size_t kMaxPushDepth = 32;
constexpr std::size_t kMaxLocalUsages = 4096;      // usage items before one main item
constexpr std::size_t kMaxFieldUsages = 4096;      // usages one field keeps after expansion
constexpr std::size_t kMaxStoredUsages = 1 << 16;  // over the whole descriptor
constexpr std::uint32_t kMaxElementBits = 256;     // Report Size (as the Linux HID core)
// Data bytes of one report, so that the length with its report id byte fits 16 bits.
constexpr std::uint64_t kMaxReportBits = 65534ull * 8;

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

// Main item tags.
constexpr std::uint8_t kTagInput = 0x8, kTagOutput = 0x9, kTagFeature = 0xB, kTagCollection = 0xA,
                       kTagEndCollection = 0xC;
// Global item tags.
constexpr std::uint8_t kTagUsagePage = 0x0, kTagLogicalMin = 0x1, kTagLogicalMax = 0x2,
                       kTagPhysicalMin = 0x3, kTagPhysicalMax = 0x4, kTagUnitExponent = 0x5,
                       kTagUnit = 0x6, kTagReportSize = 0x7, kTagReportId = 0x8,
                       kTagReportCount = 0x9, kTagPush = 0xA, kTagPop = 0xB;
// Local item tags (designators, strings and delimiters are read and ignored).
constexpr std::uint8_t kTagUsage = 0x0, kTagUsageMin = 0x1, kTagUsageMax = 0x2;

struct Globals {
    std::uint16_t usagePage = 0;
    std::int32_t logicalMin = 0;
    // Logical Maximum both ways; which one applies depends on the sign of the minimum,
    // known only at the main item (the minimum may follow the maximum).
    std::int32_t logicalMaxSigned = 0;
    std::uint32_t logicalMaxUnsigned = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// A usage value as written: 4-byte items carry their page in the high 16 bits.
struct LocalValue {
    std::uint32_t value = 0;
    bool extended = false;
};

struct LocalEntry {
    bool isRange = false;
    LocalValue first;  // the usage, or the range minimum
    LocalValue last;   // the range maximum
};

struct Locals {
    std::vector<LocalEntry> entries;
    std::optional<LocalValue> pendingMin, pendingMax;
    void Clear() {
        entries.clear();
        pendingMin.reset();
        pendingMax.reset();
    }
};

struct ResolvedUsage {
    std::uint16_t page = 0;
    std::uint16_t id = 0;
};

ResolvedUsage Resolve(const LocalValue& v, std::uint16_t currentPage) {
    // The page in effect at the main item applies to usages written without one (HID 1.11
    // §6.2.2.8), so a Usage Page after its usages still counts.
    if (v.extended) {
        return {static_cast<std::uint16_t>(v.value >> 16),
                static_cast<std::uint16_t>(v.value & 0xFFFF)};
    }
    return {currentPage, static_cast<std::uint16_t>(v.value & 0xFFFF)};
}

std::uint32_t UnsignedData(std::span<const std::uint8_t> data) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        v |= std::uint32_t{data[i]} << (8 * i);
    return v;
}

std::int32_t SignedData(std::span<const std::uint8_t> data) {
    const std::uint32_t v = UnsignedData(data);
    switch (data.size()) {
        case 1:
            return static_cast<std::int8_t>(v);
        case 2:
            return static_cast<std::int16_t>(v);
        case 4:
            return static_cast<std::int32_t>(v);
        default:
            return 0;
    }
}

std::string At(std::size_t offset) {
    return " at byte " + std::to_string(offset);
}

class Parser {
public:
    Parser(std::span<const std::uint8_t> bytes, ParsedDescriptor& out, std::string& error)
        : bytes_(bytes), out_(out), error_(error) {}

    bool Run() {
        std::size_t pos = 0;
        while (pos < bytes_.size()) {
            const std::uint8_t prefix = bytes_[pos];
            if (prefix == 0xFE) {  // long item: bDataSize, bLongItemTag, data
                if (bytes_.size() - pos < 3 || bytes_.size() - pos - 3 < bytes_[pos + 1]) {
                    return Fail("truncated long item" + At(pos));
                }
                pos += 3 + std::size_t{bytes_[pos + 1]};
                continue;
            }
            static constexpr std::size_t kSizes[4] = {0, 1, 2, 4};
            const std::size_t size = kSizes[prefix & 0x3];
            if (bytes_.size() - pos - 1 < size)
                return Fail("truncated item" + At(pos));
            const auto type = static_cast<ItemType>((prefix >> 2) & 0x3);
            const std::uint8_t tag = prefix >> 4;
            const std::span<const std::uint8_t> data = bytes_.subspan(pos + 1, size);
            itemOffset_ = pos;
            pos += 1 + size;
            bool ok = true;
            switch (type) {
                case kMain:
                    ok = Main(tag, data);
                    break;
                case kGlobal:
                    ok = Global(tag, data);
                    break;
                case kLocal:
                    ok = Local(tag, data);
                    break;
                case kReserved:
                    break;
            }
            if (!ok)
                return false;
        }
        if (depth_ != 0)
            return Fail("collection not closed at the end of the descriptor");
        return Finish();
    }

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool Main(std::uint8_t tag, std::span<const std::uint8_t> data) {
        bool ok = true;
        switch (tag) {
            case kTagInput:
                ok = AddField(ReportKind::Input, UnsignedData(data));
                break;
            case kTagOutput:
                ok = AddField(ReportKind::Output, UnsignedData(data));
                break;
            case kTagFeature:
                ok = AddField(ReportKind::Feature, UnsignedData(data));
                break;
            case kTagCollection:
                ok = OpenCollection();
                break;
            case kTagEndCollection:
                if (depth_ == 0)
                    return Fail("End Collection without an open collection" + At(itemOffset_));
                --depth_;
                break;
            default:
                return true;  // reserved main item: ignored, locals kept
        }
        locals_.Clear();
        return ok;
    }

    bool OpenCollection() {
        if (depth_ >= kMaxCollectionDepth)
            return Fail("collections nested too deep" + At(itemOffset_));
        if (depth_ == 0) {
            if (out_.collections.size() >= kMaxTopLevelCollections) {
                return Fail("too many top-level collections" + At(itemOffset_));
            }
            TopLevelCollection c;
            c.usagePage = globals_.usagePage;
            // The last usage before the Collection item names it; a lone range counts by its
            // minimum.
            const LocalEntry* named = nullptr;
            for (const LocalEntry& e : locals_.entries) {
                if (!e.isRange || named == nullptr || named->isRange)
                    named = &e;
            }
            if (named != nullptr) {
                const ResolvedUsage u = Resolve(named->first, globals_.usagePage);
                c.usagePage = u.page;
                c.usage = u.id;
            }
            out_.collections.push_back(std::move(c));
        }
        ++depth_;
        return true;
    }

    bool AddField(ReportKind kind, std::uint32_t flags) {
        if (depth_ == 0)
            return Fail("main item outside any collection" + At(itemOffset_));
        if (fieldCount_ >= kMaxFields)
            return Fail("too many report fields" + At(itemOffset_));
        if (globals_.reportSize > kMaxElementBits) {
            return Fail("report size of " + std::to_string(globals_.reportSize) + " bits" +
                        At(itemOffset_));
        }
        const std::uint64_t bits = std::uint64_t{globals_.reportSize} * globals_.reportCount;
        if (globals_.reportCount > kMaxReportBits) {
            return Fail("report count of " + std::to_string(globals_.reportCount) +
                        At(itemOffset_));
        }
        std::uint32_t& total = reportBits_[static_cast<std::size_t>(kind)][globals_.reportId];
        if (total + bits > kMaxReportBits)
            return Fail("report longer than 65534 bytes" + At(itemOffset_));

        ReportField f;
        f.kind = kind;
        f.reportId = globals_.reportId;
        f.bitOffset = total;
        f.bitSize = globals_.reportSize;
        f.count = globals_.reportCount;
        f.isConstant = (flags & 0x1) != 0;
        f.isVariable = (flags & 0x2) != 0;
        f.logicalMin = globals_.logicalMin;
        if (globals_.logicalMin >= 0) {
            f.logicalMax = static_cast<std::int32_t>(std::min<std::uint32_t>(
                globals_.logicalMaxUnsigned, std::numeric_limits<std::int32_t>::max()));
        } else {
            f.logicalMax = globals_.logicalMaxSigned;
        }
        if (!SetUsages(f))
            return false;
        total += static_cast<std::uint32_t>(bits);
        out_.collections.back().fields.push_back(std::move(f));
        ++fieldCount_;
        return true;
    }

    bool SetUsages(ReportField& f) {
        const std::uint16_t page = globals_.usagePage;
        const auto& entries = locals_.entries;
        f.usagePage = page;
        if (entries.empty())
            return true;
        if (entries.size() == 1 && entries[0].isRange) {
            const ResolvedUsage lo = Resolve(entries[0].first, page);
            const ResolvedUsage hi = Resolve(entries[0].last, page);
            f.usagePage = lo.page;
            if (lo.id <= hi.id) {  // a reversed range names nothing
                f.hasRange = true;
                f.usageMin = lo.id;
                f.usageMax = hi.id;
            }
            return true;
        }
        // Single usages, possibly mixed with ranges: one list in declaration order. Usages of
        // another page than the first keep their ids (the field has one page).
        f.usagePage = Resolve(entries[0].first, page).page;
        for (const LocalEntry& e : entries) {
            const std::uint32_t lo = Resolve(e.first, page).id;
            const std::uint32_t hi = e.isRange ? Resolve(e.last, page).id : lo;
            for (std::uint32_t u = lo; u <= hi && f.usages.size() < kMaxFieldUsages; ++u) {
                f.usages.push_back(static_cast<std::uint16_t>(u));
            }
        }
        storedUsages_ += f.usages.size();
        if (storedUsages_ > kMaxStoredUsages)
            return Fail("too many usages" + At(itemOffset_));
        return true;
    }

    bool Global(std::uint8_t tag, std::span<const std::uint8_t> data) {
        switch (tag) {
            case kTagUsagePage:
                globals_.usagePage = static_cast<std::uint16_t>(UnsignedData(data));
                break;
            case kTagLogicalMin:
                globals_.logicalMin = SignedData(data);
                break;
            case kTagLogicalMax:
                globals_.logicalMaxSigned = SignedData(data);
                globals_.logicalMaxUnsigned = UnsignedData(data);
                break;
            case kTagPhysicalMin:
            case kTagPhysicalMax:
            case kTagUnitExponent:
            case kTagUnit:
                break;  // not needed for decoding
            case kTagReportSize:
                globals_.reportSize = UnsignedData(data);
                break;
            case kTagReportId: {
                const std::uint32_t id = UnsignedData(data);
                if (id == 0 || id > 0xFF) {
                    return Fail("invalid report id " + std::to_string(id) + At(itemOffset_));
                }
                globals_.reportId = static_cast<std::uint8_t>(id);
                out_.usesReportIds = true;
                break;
            }
            case kTagReportCount:
                globals_.reportCount = UnsignedData(data);
                break;
            case kTagPush:
                if (stack_.size() >= kMaxPushDepth)
                    return Fail("push nested too deep" + At(itemOffset_));
                stack_.push_back(globals_);
                break;
            case kTagPop:
                if (stack_.empty())
                    return Fail("Pop without Push" + At(itemOffset_));
                globals_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;  // reserved
        }
        return true;
    }

    bool Local(std::uint8_t tag, std::span<const std::uint8_t> data) {
        if (tag > kTagUsageMax)
            return true;  // designators, strings, delimiters
        if (locals_.entries.size() >= kMaxLocalUsages) {
            return Fail("too many usages before one main item" + At(itemOffset_));
        }
        // A 4-byte usage names its page, unless that part is zero (written long, meant short).
        const std::uint32_t raw = UnsignedData(data);
        const LocalValue v{raw, data.size() == 4 && (raw >> 16) != 0};
        switch (tag) {
            case kTagUsage:
                locals_.entries.push_back({false, v, {}});
                break;
            case kTagUsageMin:
                locals_.pendingMin = v;
                break;
            case kTagUsageMax:
                locals_.pendingMax = v;
                break;
        }
        if (locals_.pendingMin && locals_.pendingMax) {  // a range in either order
            locals_.entries.push_back({true, *locals_.pendingMin, *locals_.pendingMax});
            locals_.pendingMin.reset();
            locals_.pendingMax.reset();
        }
        return true;
    }

    bool Finish() {
        for (TopLevelCollection& c : out_.collections) {
            std::array<std::array<bool, 256>, 3> used{};
            for (const ReportField& f : c.fields) {
                if (out_.usesReportIds && f.reportId == 0) {
                    return Fail(
                        "main item before the first Report ID in a descriptor that uses report "
                        "ids");
                }
                used[static_cast<std::size_t>(f.kind)][f.reportId] = true;
            }
            std::uint16_t* lengths[3] = {&c.inputLength, &c.outputLength, &c.featureLength};
            for (std::size_t id = 0; id < 256; ++id) {
                bool any = false;
                for (std::size_t k = 0; k < 3; ++k) {
                    if (!used[k][id])
                        continue;
                    any = true;
                    const auto bytes = static_cast<std::uint16_t>((reportBits_[k][id] + 7) / 8 + 1);
                    *lengths[k] = std::max(*lengths[k], bytes);
                }
                if (any && id != 0)
                    c.reportIds.push_back(static_cast<std::uint8_t>(id));
            }
        }
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    ParsedDescriptor& out_;
    std::string& error_;
    std::size_t itemOffset_ = 0;
    Globals globals_;
    std::vector<Globals> stack_;
    Locals locals_;
    std::size_t depth_ = 0;
    std::size_t fieldCount_ = 0;
    std::size_t storedUsages_ = 0;
    std::array<std::array<std::uint32_t, 256>, 3> reportBits_{};  // per kind and report id
};

// Element `index` of `field` in `report` (report id byte first), or nothing when the report
// is too short or has another report id.
std::optional<std::int64_t> ReadElement(const ReportField& field,
                                        std::span<const std::uint8_t> report, std::uint32_t index) {
    if (index >= field.count || field.bitSize == 0 || report.empty() ||
        report[0] != field.reportId) {
        return std::nullopt;
    }
    const std::uint64_t start =
        8 + std::uint64_t{field.bitOffset} + std::uint64_t{index} * field.bitSize;
    if (start + field.bitSize > std::uint64_t{report.size()} * 8)
        return std::nullopt;
    const std::uint32_t n = std::min<std::uint32_t>(field.bitSize, 32);  // low bits beyond 32
    std::uint32_t raw = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint64_t bit = start + i;
        raw |= std::uint32_t{(report[bit / 8] >> (bit % 8)) & 1u} << i;
    }
    if (field.logicalMin < 0) {
        if (n < 32 && (raw >> (n - 1)) & 1u)
            return std::int64_t{raw} - (std::int64_t{1} << n);
        return std::int64_t{static_cast<std::int32_t>(raw)};
    }
    return std::int64_t{raw};
}

}  // namespace

std::uint16_t ReportField::UsageAt(std::uint32_t index) const {
    if (hasRange) {
        return static_cast<std::uint16_t>(
            std::min<std::uint64_t>(std::uint64_t{usageMin} + index, usageMax));
    }
    if (usages.empty())
        return 0;
    return usages[std::min<std::size_t>(index, usages.size() - 1)];
}

bool ParseReportDescriptor(std::span<const std::uint8_t> bytes, ParsedDescriptor& out,
                           std::string& error) {
    out = ParsedDescriptor{};
    error.clear();
    ParsedDescriptor parsed;
    if (!Parser(bytes, parsed, error).Run())
        return false;
    out = std::move(parsed);
    return true;
}

std::vector<std::uint16_t> ActiveUsages(const ReportField& field,
                                        std::span<const std::uint8_t> report) {
    std::vector<std::uint16_t> active;
    if (field.isConstant || field.bitSize == 0 || field.count == 0)
        return active;
    if (field.isVariable && field.bitSize != 1)
        return active;  // values, not buttons
    // The whole field must lie in the report (as HidP_GetUsages wants the full length).
    const std::uint64_t end =
        8 + std::uint64_t{field.bitOffset} + std::uint64_t{field.count} * field.bitSize;
    if (report.empty() || report[0] != field.reportId || end > std::uint64_t{report.size()} * 8) {
        return active;
    }
    for (std::uint32_t i = 0; i < field.count; ++i) {
        const std::optional<std::int64_t> v = ReadElement(field, report, i);
        if (!v)
            continue;
        std::uint16_t usage = 0;
        if (field.isVariable) {
            if (*v == 0)
                continue;
            usage = field.UsageAt(i);
        } else {
            // Array: the value indexes the usages; outside the logical range means none.
            if (*v < field.logicalMin || *v > field.logicalMax)
                continue;
            const std::uint64_t k = static_cast<std::uint64_t>(*v - field.logicalMin);
            if (field.hasRange) {
                if (field.usageMin + k > field.usageMax)
                    continue;
                usage = static_cast<std::uint16_t>(field.usageMin + k);
            } else {
                if (k >= field.usages.size())
                    continue;
                usage = field.usages[k];
            }
        }
        // Usage 0 is "no event" (a keyboard's empty slot, an idle consumer control).
        if (usage != 0)
            active.push_back(usage);
    }
    return active;
}

std::int32_t FieldValue(const ReportField& field, std::span<const std::uint8_t> report,
                        std::uint32_t index) {
    const std::optional<std::int64_t> v = ReadElement(field, report, index);
    return v ? static_cast<std::int32_t>(*v) : 0;
}

}  // namespace morva::hid
