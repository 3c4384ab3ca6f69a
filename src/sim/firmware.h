// The device side of the 64-byte command reports: a firmware with generic memory areas that
// answers requests, plus hooks through which a product adds its own reactions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "sim/sim_types.h"

namespace morva::sim {

// Command codes the firmware understands.
namespace cmd {
inline constexpr std::uint8_t kBegin = 0x01;
inline constexpr std::uint8_t kEnd = 0x02;
inline constexpr std::uint8_t kReadInfo = 0x03;
inline constexpr std::uint8_t kReadSetting = 0x05;
inline constexpr std::uint8_t kWriteSetting = 0x06;
inline constexpr std::uint8_t kReadFactoryKeyTable = 0x07;
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

// Answer status bytes.
inline constexpr std::uint8_t kStatusOk = 0x00;
inline constexpr std::uint8_t kStatusFailed = 0xFF;
inline constexpr std::uint8_t kStatusBadChecksum = 0xFE;

// Largest payload one report carries.
inline constexpr std::size_t kMaxPayload = 56;

// Sum of bytes 3..63, low 16 bits.
std::uint16_t ReportChecksum(const Report& report);
bool HasValidChecksum(const Report& report);
// Stores the checksum in bytes 1..2.
void SealReport(Report& report);
// Answer skeleton: report id, echoed command, length and address, status; sealed.
Report MakeAnswer(const Report& request, std::uint8_t status);

// LEDs a host sets through output reports (the headset's report 0xFF), per target group.
inline constexpr std::size_t kHeadsetLedCount = 13;
struct LedColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const LedColour&, const LedColour&) = default;
};
using LedRow = std::array<LedColour, kHeadsetLedCount>;

class VirtualFirmware {
public:
    explicit VirtualFirmware(Product product);
    virtual ~VirtualFirmware();
    VirtualFirmware(const VirtualFirmware&) = delete;
    VirtualFirmware& operator=(const VirtualFirmware&) = delete;

    Product product() const { return product_; }

    // Answers one request (report id byte first). Thread-safe.
    Report HandleCommand(const Report& request);

    // Inspection and set-up; thread-safe. Reads are clipped to the area, a write that does not
    // fit changes nothing and returns false.
    std::vector<std::uint8_t> ReadArea(Area area) const;
    std::vector<std::uint8_t> ReadArea(Area area, std::size_t offset, std::size_t length) const;
    bool WriteArea(Area area, std::size_t offset, std::span<const std::uint8_t> bytes);
    // Replaces a whole area; shorter contents are zero-filled, longer ones refused.
    bool SetArea(Area area, std::span<const std::uint8_t> bytes);

    // Clears every area and lays down the product's factory contents; the active key table
    // starts as a copy of the factory one.
    void ResetToFactory();

    // Event words the firmware raised since the last call (see EmitEvent).
    std::vector<std::uint16_t> TakeEvents();

    // An output report other than the command report, report id byte first. Thread-safe.
    void HandleOutputReport(std::span<const std::uint8_t> report);
    // LED colours as output reports last set them for `group` (all dark for a group the
    // product does not have), LED reports received, and those of them with an unknown group
    // or register. Cleared by ResetToFactory.
    LedRow Leds(std::uint8_t group) const;
    std::size_t LedReportCount() const;
    std::size_t IgnoredLedReportCount() const;

protected:
    // Hooks, called with the firmware locked: use Memory() and EmitEvent(), never the public
    // functions, from inside them.
    virtual void FillFactory() {}
    virtual void OnBegin() {}
    virtual void OnEnd() {}
    virtual void OnLightControl() {}
    // After a write command stored `length` bytes at `offset`.
    virtual void AfterWrite(Area /*area*/, std::size_t /*offset*/, std::size_t /*length*/) {}
    // A command the generic core does not know; fill `answer` (a sealed echo with status
    // 0x00 on entry) and return true to accept it, false answers it with 0xFF.
    virtual bool HandleOther(const Report& /*request*/, Report& /*answer*/) { return false; }
    // An output report that is not a command report; the default ignores it.
    virtual void OnOutputReport(std::span<const std::uint8_t> /*report*/) {}

    // What OnOutputReport keeps of the LED reports; FillFactory lists the groups.
    struct LedState {
        std::vector<std::pair<std::uint8_t, LedRow>> groups;  // group id, colours
        std::size_t reports = 0;
        std::size_t ignored = 0;
    };
    LedState& LedMemory() { return leds_; }

    std::vector<std::uint8_t>& Memory(Area area) { return areas_[static_cast<std::size_t>(area)]; }
    // An event word the device reports on its consumer collection after this command.
    void EmitEvent(std::uint16_t word) { events_.push_back(word); }

private:
    Report HandleLocked(const Report& request);

    const Product product_;
    mutable std::mutex mutex_;
    std::vector<std::vector<std::uint8_t>> areas_;
    std::vector<std::uint16_t> events_;
    LedState leds_;
};

// The firmware of one product, in its factory state.
std::unique_ptr<VirtualFirmware> MakeFirmware(Product product);

}  // namespace morva::sim
