// The keyboard's host-driven light modes: 29 follows the audio analysis' 25 bands through one
// of seven sub-mode steps, 30 shows a colour given from outside. Both colour the frame of the
// keyboard's light, whose effect state (levels, wheel indexes, ripple masks) they share.
#pragma once

#include <array>
#include <cstdint>

#include "device/preview/preview_engine.h"
#include "profile/profile_records.h"

namespace morva {

class CKeyboardLight;

namespace kbaudio {
inline constexpr int kBands = 25;
inline constexpr std::uint32_t kColumnFlagsReset = 0x01010101;
}  // namespace kbaudio

struct KeyboardAudioState {
    std::array<std::int32_t, kbaudio::kBands> bands{};
    std::array<std::uint32_t, kbaudio::kBands> columnFlags{};
    std::uint8_t start = 0;   // sub-modes 1, 4, 5 and 6 step the same byte
    std::int32_t energy = 0;  // sub-mode 2: spectra add up to the next ripple
    // The low bytes of the first three are red, green, blue.
    std::array<std::int32_t, 6> external{};
};

class CKeyboardAudioLight {
public:
    explicit CKeyboardAudioLight(CKeyboardLight& owner) : owner_(owner) {}

    KeyboardAudioState& State() { return state_; }
    const KeyboardAudioState& State() const { return state_; }

    void ResetAudioBuffers();
    // `count` band values of 4 little-endian bytes each; bands past `count` read as 0.
    // `mode` and the selection's sub-mode decide whether a ripple is fed at once.
    void OnAudioSpectrum(const std::uint8_t* bytes, int count, int mode,
                         const AudioLightInfo& selection);
    void OnAudioLevels(const int* levels6);

    // Mode 29: the selection's sub-mode step; the stored bands are used up.
    void Step(const AudioLightInfo& selection);
    // Mode 30: every key in the external colour at the brightness scale.
    void StepExternalColour();

private:
    void StepColumns();
    void StepRows();
    void StepRipple();
    void StepLayout();
    void StepPeakColumns();
    void StepGroupedRows();
    void StepGroupedRowsAlt();

    // The frame counter stepped by `step` (held inside the wheel) in the light's direction.
    int StepFrame(std::int64_t step);
    void StepStart(int limit, int step);
    bool Dark(int column, int row) const;
    void Decay(int key);
    void Raise(int key);
    Rgb Foreground(int wheel) const;
    // Lit keys in the foreground at their level, the others in the background.
    void Show(int key, const Rgb& foreground);
    bool Shows(int key) const;

    CKeyboardLight& owner_;
    KeyboardAudioState state_;
    AudioLightInfo selection_;                           // of the step being run
    std::array<std::int32_t, kbaudio::kBands> taken_{};  // the bands the step uses up
};

}  // namespace morva
