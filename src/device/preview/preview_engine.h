// The lighting preview engine every device runs: the effect steps that colour the on-screen
// LEDs (and the frame sent to devices the program drives), with their tables, and the music
// bar levels. The light thread writes the frame while the UI thread reads it: the frame is
// guarded, so a reader sees one whole step, never a half-written one.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

namespace morva {

// Colour bytes in the order the device frame carries them, and an alpha.
struct LedColour {
    std::uint8_t c0 = 0, c1 = 0, c2 = 0, alpha = 0;

    // c0 in the lowest byte, alpha in the highest.
    std::uint32_t Pack() const {
        return c0 | c1 << 8 | c2 << 16 | static_cast<std::uint32_t>(alpha) << 24;
    }
    static LedColour Unpack(std::uint32_t v) {
        return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    }
    // The colour an on-screen LED button is given: c0 + c2 * 256 + c1 * 65536.
    std::uint32_t ButtonColour() const { return c0 + c2 * 256u + c1 * 65536u; }
    friend bool operator==(const LedColour&, const LedColour&) = default;
};

using Rgb = std::array<std::uint8_t, 3>;

namespace preview {
inline constexpr std::array<std::uint8_t, 5> kBrightnessScale = {30, 80, 135, 195, 255};
inline constexpr std::array<std::uint8_t, 5> kFlashBase = {28, 23, 18, 13, 7};  // x 200 ms
inline constexpr std::array<Rgb, 4> kFixedColours = {
    {{0, 255, 180}, {0, 255, 0}, {255, 255, 255}, {255, 0, 0}}};
const std::array<std::uint8_t, 128>& BreathingCurve();
// The wave's brightness curve: 48 rising values, then the same falling.
const std::array<std::uint8_t, 96>& WaveCurve();
const std::array<Rgb, 192>& ColourWheel();
}  // namespace preview

// Forward: value + step, or 0 when that reaches limit; backward: value - step, or
// limit - step when that would go below 0.
std::uint8_t StepCounter(bool forward, int limit, std::uint8_t value, int step);
// One music bar decay of `level`, never below 0; mode 29 falls by its own steps.
std::uint8_t DecayedLevel(std::uint8_t level, int mode);

// The lighting state the engine plays.
struct PreviewLight {
    std::uint8_t mode = 0;
    std::uint8_t brightness = 0;  // 0..4; larger values are held at 4
    std::uint8_t speed = 0;       // 0..4; larger values are held at 4
    std::uint8_t direction = 0;
    std::uint8_t multiColor = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
};

class CPreviewEngine {
public:
    static constexpr int kMusicLevels = 170;
    static constexpr int kMusicPeaks = 23;
    using Clock = std::function<std::uint32_t()>;  // milliseconds

    explicit CPreviewEngine(Clock clock = {});

    // Resizes the frame; every LED is cleared when the count changes.
    void SetLedCount(int count);
    int LedCount() const;
    void SetLight(const PreviewLight& light);
    PreviewLight Light() const;

    void SetLedColour(int index, std::uint32_t packed);
    // 0 for an index out of range.
    std::uint32_t GetLedColour(int index) const;
    // Changes whenever an LED changes colour, so a reader can tell that nothing moved.
    std::uint32_t Generation() const;
    // A consistent copy of the frame.
    std::vector<LedColour> Frame() const;
    // The frame into `out` without allocating; the LEDs copied.
    std::size_t CopyFrame(std::span<LedColour> out) const;
    // 3 bytes an LED, each colour byte scaled by its alpha; LED 170 is never written.
    std::vector<std::uint8_t> FrameBytes() const;

    void EffectBreathCycle();
    void EffectBreathFour();
    void EffectStatic();
    void EffectSpectrum();
    void EffectFlash();
    void EffectFlashFour();
    void EffectOff();

    // Every LED one colour (custom effect players).
    void FillAll(const Rgb& colour, std::uint8_t alpha);

    // Effects over LED groups (each group one bar; -1 or out-of-range LEDs are skipped).
    void EffectGroupWave(std::span<const std::vector<int>> groups);
    void EffectGroupMusic(std::span<const std::vector<int>> groups);
    // Reactive lighting: a trigger lights every LED at full level with a random wheel colour;
    // each step raises rising LEDs by 15 up to 255, then lowers them by 15 to 0.
    void TriggerReactive(const std::function<int()>& randomWheelIndex);
    void EffectReactive();

    std::uint8_t Counter() const;
    std::uint8_t ColourIndex() const;
    bool FlashOn() const;

    // Music bars.
    void MusicDecay(int index, int mode);
    void MusicPeaks();
    void MusicRotate(bool direction);
    void MusicReset();
    std::uint8_t MusicLevel(int index) const;
    void SetMusicLevel(int index, std::uint8_t level);
    // Bars below a new level rise to it; the effect's decay brings them down again.
    void RaiseMusicLevels(std::span<const std::uint8_t> levels);
    void SetPeak(int index, bool on);
    bool Peak(int index) const;

private:
    std::uint8_t Scale() const;  // brightness scale for the held brightness
    std::uint8_t Scaled(std::uint8_t curve) const;
    void Fill(const Rgb& colour, std::uint8_t alpha);
    void SetLedLocked(int index, const Rgb& colour, std::uint8_t alpha);
    void DecayLocked(int index, int mode);
    void PeaksLocked();
    void RotateLocked(bool direction);
    void Flash(int advance, int wrap, bool fixed);

    Clock clock_;
    mutable std::mutex mutex_;
    std::vector<LedColour> leds_;
    std::uint32_t generation_ = 0;
    PreviewLight light_;
    std::uint8_t counter_ = 0;
    std::uint8_t colourIndex_ = 0;
    bool flashOn_ = false;
    std::uint32_t lastToggle_ = 0;
    std::array<std::uint8_t, kMusicLevels> levels_{};
    std::array<bool, kMusicPeaks> peaks_{};
    std::vector<std::uint8_t> reactPhase_;  // 0 idle, 1 rising, 2 falling
    std::vector<std::uint8_t> reactColour_;
};

}  // namespace morva
