// The 64-byte configuration report exchanged with every device of the family.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace morva {

inline constexpr std::size_t kReportSize = 64;
inline constexpr std::uint8_t kCommandReportId = 4;
inline constexpr std::size_t kPayloadOffset = 8;
inline constexpr std::size_t kMaxPayload = kReportSize - kPayloadOffset;  // 56

// Answer byte 3 from a receiver whose wireless device is out of reach.
inline constexpr std::uint8_t kUnreachableEcho = 0xAA;

// Result codes of exchanges and command functions.
inline constexpr int kResultOk = 1;
inline constexpr int kResultNoAnswer = 0;  // channel not open, or the answer timed out
inline constexpr int kResultWriteFailed = -1;
inline constexpr int kResultUnreachable = -101;
inline constexpr int kResultStatusFF = -102;
inline constexpr int kResultStatusFE = -103;
inline constexpr int kResultBadPage = -201;
// A macro or shoot image too long for the device's 16-bit lengths; nothing was sent.
inline constexpr int kResultImageTooLarge = -301;

// The device information block's size (command 0x03).
inline constexpr std::size_t kInfoBlockSize = 34;

// Command codes.
namespace cmd {
inline constexpr std::uint8_t kBegin = 0x01;
inline constexpr std::uint8_t kEnd = 0x02;
inline constexpr std::uint8_t kReadInfo = 0x03;
inline constexpr std::uint8_t kReadSetting = 0x05;
inline constexpr std::uint8_t kWriteSetting = 0x06;
inline constexpr std::uint8_t kReadKeyTable = 0x07;
inline constexpr std::uint8_t kWriteKeyTable = 0x09;
inline constexpr std::uint8_t kWriteLightColours = 0x0B;
inline constexpr std::uint8_t kWriteLightFrame = 0x12;
inline constexpr std::uint8_t kWriteMacro = 0x15;
inline constexpr std::uint8_t kWriteShoot = 0x17;
inline constexpr std::uint8_t kReadStatus = 0x1A;
inline constexpr std::uint8_t kReadLightIndex = 0x1B;
inline constexpr std::uint8_t kLightControl = 0x1C;
inline constexpr std::uint8_t kWriteFnKeyTable = 0x27;
inline constexpr std::uint8_t kQueryWireless = 0xAA;
}  // namespace cmd

struct CommandReport {
    std::array<std::uint8_t, kReportSize> bytes{};

    // A request with the id, command, length and address in place, payload copied (at most
    // 56 bytes) and the checksum computed last.
    static CommandReport Request(std::uint8_t command, std::uint8_t length = 0,
                                 std::uint16_t address = 0,
                                 std::span<const std::uint8_t> payload = {});
    std::uint8_t Command() const { return bytes[3]; }
    std::uint8_t Status() const { return bytes[7]; }
    // Stores the sum of bytes 3..63 (low 16 bits) little-endian in bytes 1 and 2.
    void UpdateChecksum();
};

std::uint16_t CommandChecksum(std::span<const std::uint8_t, kReportSize> report);

// Two trace lines of 32 bytes each, in the fixed diagnostic layout.
std::string FormatReportTrace(std::span<const std::uint8_t, kReportSize> report);

}  // namespace morva
