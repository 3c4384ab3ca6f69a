// Synchronised lighting: one worker steps one colour and paints it on every device taking part
// (its command channel open and its externalColour flag set), so they all change together.
// The devices' own light threads stand by meanwhile.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "device/preview/preview_engine.h"
#include "profile/profile_records.h"

namespace morva {

class CTessaronUSBDevice;

enum class SyncType : std::uint8_t { Breathing = 0, Static = 1, Flashing = 2, Wheel = 3, Off = 4 };

// What every synchronised device shows: the type and the current device's LightInfo bytes 1..7.
struct SyncLight {
    std::uint8_t type = static_cast<std::uint8_t>(SyncType::Off);  // above 4: nothing is painted
    std::uint8_t brightness = 0;  // level 0..4; larger values are held at 4
    std::uint8_t speed = 0;       // level 0..4; larger values step at every tick
    std::uint8_t direction = 0;
    std::uint8_t multiColor = 0;
    std::uint8_t red = 0, green = 0, blue = 0;

    static SyncLight Of(SyncType type, const LightInfo& info);
    friend bool operator==(const SyncLight&, const SyncLight&) = default;
};

// The light mode that plays `type` on a device of `kind` (kKindKeyboard ...); none for an
// unknown kind.
std::optional<int> SameModeEffect(int kind, SyncType type);
// The synchronised type a device of `kind` in light mode `mode` stands for; none when the
// mode is not one of the kind's synchronised effects.
std::optional<SyncType> SyncTypeOfEffect(int kind, int mode);

class CLightSync {
public:
    static constexpr std::chrono::milliseconds kIdleCheck{1000};

    explicit CLightSync(IClock& clock = SteadyClock());
    ~CLightSync();
    CLightSync(const CLightSync&) = delete;
    CLightSync& operator=(const CLightSync&) = delete;

    void Start();
    void Stop();
    bool Running() const { return thread_.joinable(); }

    void SetLight(const SyncLight& light);
    SyncLight Light() const;

    // The devices the worker may paint. Once RemoveDevice returns the worker never touches
    // the device again, so it may be destroyed.
    void AddDevice(CTessaronUSBDevice& device);
    void RemoveDevice(CTessaronUSBDevice& device);

    // Milliseconds between two steps at a speed level.
    static std::chrono::milliseconds StepPeriod(int speed);

private:
    void Loop(std::stop_token stop);
    bool AnyTakesPart() const;
    // The next step's colour, or none for a type that paints nothing.
    std::optional<LedColour> NextColour(IClock::TimePoint now);

    IClock& clock_;
    // Guards the light and the devices; the worker holds it for a whole step.
    mutable std::mutex mutex_;
    SyncLight light_;
    // Painted in this order: mice, pads, headsets, keyboards.
    std::array<std::vector<CTessaronUSBDevice*>, 4> devices_;

    // Step positions (worker thread only).
    std::uint8_t breath_ = 0;
    std::uint8_t breathWheel_ = 0;
    std::uint8_t wheel_ = 0;
    std::uint8_t flashWheel_ = 0;
    bool flashOn_ = false;
    IClock::TimePoint lastToggle_{};

    std::jthread thread_;
};

}  // namespace morva
