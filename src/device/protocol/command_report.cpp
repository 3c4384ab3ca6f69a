#include "device/protocol/command_report.h"

#include <algorithm>
#include <cstdio>

namespace morva {

std::uint16_t CommandChecksum(std::span<const std::uint8_t, kReportSize> report) {
    unsigned sum = 0;
    for (std::size_t i = 3; i < kReportSize; ++i)
        sum += report[i];
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

void CommandReport::UpdateChecksum() {
    const std::uint16_t sum = CommandChecksum(bytes);
    bytes[1] = static_cast<std::uint8_t>(sum & 0xFF);
    bytes[2] = static_cast<std::uint8_t>(sum >> 8);
}

CommandReport CommandReport::Request(std::uint8_t command, std::uint8_t length,
                                     std::uint16_t address, std::span<const std::uint8_t> payload) {
    CommandReport r;
    r.bytes[0] = kCommandReportId;
    r.bytes[3] = command;
    r.bytes[4] = length;
    r.bytes[5] = static_cast<std::uint8_t>(address & 0xFF);
    r.bytes[6] = static_cast<std::uint8_t>(address >> 8);
    const std::size_t n = std::min(payload.size(), kMaxPayload);
    std::copy_n(payload.begin(), n, r.bytes.begin() + kPayloadOffset);
    r.UpdateChecksum();
    return r;
}

std::string FormatReportTrace(std::span<const std::uint8_t, kReportSize> report) {
    std::string out;
    for (int line = 0; line < 2; ++line) {
        const std::uint8_t* b = report.data() + line * 32;
        char text[128];
        std::snprintf(text, sizeof text,
                      "%02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x %02x   "
                      "%02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  "
                      "%02x %02x %02x %02x  %02x %02x %02x %02x\n",
                      b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11],
                      b[12], b[13], b[14], b[15], b[16], b[17], b[18], b[19], b[20], b[21], b[22],
                      b[23], b[24], b[25], b[26], b[27], b[28], b[29], b[30], b[31]);
        out += text;
    }
    return out;
}

}  // namespace morva
