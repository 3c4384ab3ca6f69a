// A report descriptor as a device announces it, then reports read against what it parsed to.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "device/hid/report_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte splits the input: descriptor first, a report after it.
    const std::size_t split = size == 0 ? 0 : std::min<std::size_t>(data[0], size - 1);
    const std::span<const std::uint8_t> bytes(data, size);
    const std::span<const std::uint8_t> descriptor = size == 0 ? bytes : bytes.subspan(1, split);
    const std::span<const std::uint8_t> report = size == 0 ? bytes : bytes.subspan(1 + split);
    morva::hid::ParsedDescriptor parsed;
    std::string error;
    if (!morva::hid::ParseReportDescriptor(descriptor, parsed, error))
        return 0;
    for (const auto& collection : parsed.collections) {
        for (const auto& field : collection.fields) {
            (void)morva::hid::ActiveUsages(field, report);
            for (std::uint32_t i = 0; i < 4; ++i)
                (void)morva::hid::FieldValue(field, report, i);
        }
    }
    return 0;
}
