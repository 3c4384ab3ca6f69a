// The keyboard's lighting preview: the effect state and the step of every built-in mode the
// keyboard plays itself, the key-press reactions, and the per-key light list overlay. Steps
// colour the preview frame by UI key (LED cell N is UI key N).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/clock.h"
#include "device/models/keyboard_audio_light.h"
#include "device/models/keyboard_light_tables.h"
#include "device/preview/preview_engine.h"
#include "profile/profile_records.h"

namespace morva {

struct KeyboardEffectState {
    std::uint8_t frame = 0;  // the counter every mode steps (0..191)
    std::uint8_t rippleStep = 0;
    std::array<std::uint8_t, kblight::kLeds> level{};
    std::array<std::uint8_t, kblight::kLeds> wheel{};
    std::array<std::uint8_t, kblight::kLeds> hit{};  // 0 idle, 1 held, 2 released
    // One bit per grid row (bit 0 = row 0), one byte per grid column.
    std::array<std::array<std::uint8_t, kblight::kGridColumns>, 4> masks{};
};

class CKeyboardLight {
public:
    // Any 32-bit value; the steps reduce it to what they pick from.
    using RandomSource = std::function<std::uint32_t()>;

    explicit CKeyboardLight(CPreviewEngine& engine);

    void SetRandomSource(RandomSource random) { random_ = std::move(random); }
    KeyboardEffectState& State() { return state_; }
    const KeyboardEffectState& State() const { return state_; }
    // Modes 29 and 30, which the program plays on this light's frame and state.
    CKeyboardAudioLight& Audio() { return audio_; }
    const CKeyboardAudioLight& Audio() const { return audio_; }

    // Runs the step of built-in `mode`; false when the keyboard has no step of its own for it
    // (19, 29 and 30 are driven elsewhere; 0, 20 and above 30 play the user effect list).
    // `presetByte` is LightInfo byte 11, which picks mode 17's colour.
    bool Step(int mode, std::uint8_t presetByte = 0);
    static bool HasStep(int mode);
    // Light thread counts between two steps of `mode` at `speed` (0: every pass).
    static int StepThreshold(int mode, int speed);

    // What a mode needs when it starts (or restarts, for 19).
    void StartMode(int mode);
    // A key pressed (1) or released (2) on the reactive modes 7, 8, 9 and 25.
    void OnKeyAction(int mode, int key, int action);

    // ---- Operations the modes share ----
    void ResetEffects();
    void LightRipple();
    void SpreadRipple();
    void RippleCollapse();
    void SeedRipple(int key, int action);
    void HitKey(int key, int state);
    void HitKeyCross(int key, int action);
    // Whether a held key other than `key` covers grid cell (column, row).
    bool CrossNeighbourHeld(int column, int row, int key) const;
    void InitKeyPalette();
    void InitTwinkle();
    void InitRandomFade();
    void SeedEdgeRipple();
    void SeedCentreRipple();
    // The key itself when the chase order holds it, else kNoKey.
    static int FindKeyOrderIndex(int key);

    // ---- Per-key light list overlay ----
    // Paints the keys whose entry asks for their own effect over the mode's frame.
    void ApplyOverlay(const std::vector<LightInfo>& list, IClock::TimePoint now);
    void RestartOverlay();

private:
    friend class CKeyboardAudioLight;

    void ColumnWave(int stride, bool pulse);
    void RowWave();
    void KeyChase();
    void BreathCycle();
    void Static();
    void KeyFade();
    void RippleStep(int decays);
    void ReactiveRipple();
    void Sparkle();
    void KeyPaletteCycle();
    void CentreRipple();
    void Script();
    void TwinkleStep(int places);
    void EdgeRipple();
    void Preset(std::uint8_t presetByte);
    void Diagonal();
    void Snake();
    void Rain();

    // The frame counter stepped by one within `limit`, in the light's direction; a value left
    // by a mode with a larger table is reduced first.
    std::uint8_t StepFrame(int limit);
    std::uint8_t Scale() const;
    Rgb KeyColour(int key) const;
    void Paint(int key, const Rgb& colour, std::uint8_t alpha);
    void PaintLevels();
    bool MasksEmpty() const;
    std::uint32_t Random();

    CPreviewEngine& engine_;
    PreviewLight light_;  // of the step being run
    KeyboardEffectState state_;
    RandomSource random_;
    CKeyboardAudioLight audio_{*this};

    struct OverlayKey {
        std::uint8_t counter = 0;
        std::uint8_t wheel = 0;
        bool flashOn = false;
        bool started = false;
        IClock::TimePoint lastToggle{};
    };
    std::array<OverlayKey, kblight::kLeds> overlay_{};
    std::array<bool, kblight::kLeds> held_{};  // keys pressed now (mode 25's cross)
};

}  // namespace morva
