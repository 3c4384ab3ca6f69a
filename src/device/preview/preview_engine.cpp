#include "device/preview/preview_engine.h"

#include <algorithm>
#include <chrono>

namespace morva {

namespace preview {

const std::array<std::uint8_t, 96>& WaveCurve() {
    static const std::array<std::uint8_t, 96> curve = [] {
        constexpr std::array<std::uint8_t, 48> rise = {
            22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
            77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
            158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};
        std::array<std::uint8_t, 96> c{};
        for (std::size_t i = 0; i < 48; ++i) {
            c[i] = rise[i];
            c[95 - i] = rise[i];
        }
        return c;
    }();
    return curve;
}

const std::array<std::uint8_t, 128>& BreathingCurve() {
    static const std::array<std::uint8_t, 128> curve = [] {
        constexpr std::array<std::uint8_t, 64> rise = {
            0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
            22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
            77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
            158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};
        std::array<std::uint8_t, 128> c{};
        for (std::size_t i = 0; i < 64; ++i) {
            c[i] = rise[i];
            c[127 - i] = rise[i];
        }
        return c;
    }();
    return curve;
}

const std::array<Rgb, 192>& ColourWheel() {
    static const std::array<Rgb, 192> wheel = [] {
        constexpr std::array<std::uint8_t, 32> r = {
            1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
            81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
        constexpr std::array<std::uint8_t, 32> f = {
            248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
            69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};
        std::array<Rgb, 192> w{};
        for (std::size_t k = 0; k < 32; ++k) {
            w[k] = {255, r[k], 0};
            w[32 + k] = {f[k], 255, 0};
            w[64 + k] = {0, 255, r[k]};
            w[96 + k] = {0, f[k], 255};
            w[128 + k] = {r[k], 0, 255};
            w[160 + k] = {255, 0, f[k]};
        }
        return w;
    }();
    return wheel;
}

}  // namespace preview

std::uint8_t StepCounter(bool forward, int limit, std::uint8_t value, int step) {
    if (forward) {
        const int next = value + step;
        return static_cast<std::uint8_t>(next >= limit ? 0 : next);
    }
    const int next = value - step;
    return static_cast<std::uint8_t>(next < 0 ? limit - step : next);
}

namespace {
std::uint32_t SteadyMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
}  // namespace

CPreviewEngine::CPreviewEngine(Clock clock) : clock_(clock ? std::move(clock) : SteadyMs) {}

void CPreviewEngine::SetLedCount(int count) {
    std::lock_guard lock(mutex_);
    const auto n = static_cast<std::size_t>(std::max(count, 0));
    if (n == leds_.size())
        return;
    leds_.assign(n, LedColour{});
    ++generation_;
}

std::uint32_t CPreviewEngine::Generation() const {
    std::lock_guard lock(mutex_);
    return generation_;
}

int CPreviewEngine::LedCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(leds_.size());
}

void CPreviewEngine::SetLight(const PreviewLight& light) {
    std::lock_guard lock(mutex_);
    light_ = light;
}

PreviewLight CPreviewEngine::Light() const {
    std::lock_guard lock(mutex_);
    return light_;
}

void CPreviewEngine::SetLedColour(int index, std::uint32_t packed) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < static_cast<int>(leds_.size())) {
        LedColour& led = leds_[static_cast<std::size_t>(index)];
        if (led != LedColour::Unpack(packed)) {
            led = LedColour::Unpack(packed);
            ++generation_;
        }
    }
}

std::uint32_t CPreviewEngine::GetLedColour(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(leds_.size()))
        return 0;
    return leds_[static_cast<std::size_t>(index)].Pack();
}

std::vector<LedColour> CPreviewEngine::Frame() const {
    std::lock_guard lock(mutex_);
    return leds_;
}

std::size_t CPreviewEngine::CopyFrame(std::span<LedColour> out) const {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min(out.size(), leds_.size());
    std::copy_n(leds_.begin(), n, out.begin());
    return n;
}

std::vector<std::uint8_t> CPreviewEngine::FrameBytes() const {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t> bytes(3 * leds_.size(), 0);
    for (std::size_t i = 0; i < leds_.size(); ++i) {
        if (i == 170)
            continue;  // the frame has no room for a 171st LED
        const LedColour& c = leds_[i];
        bytes[3 * i] = static_cast<std::uint8_t>(c.c0 * c.alpha / 256);
        bytes[3 * i + 1] = static_cast<std::uint8_t>(c.c1 * c.alpha / 256);
        bytes[3 * i + 2] = static_cast<std::uint8_t>(c.c2 * c.alpha / 256);
    }
    return bytes;
}

// Brightness and speed come from device bytes and files: held to the 5-entry tables.
std::uint8_t CPreviewEngine::Scale() const {
    return preview::kBrightnessScale[std::min<std::size_t>(light_.brightness, 4)];
}

std::uint8_t CPreviewEngine::Scaled(std::uint8_t curve) const {
    return static_cast<std::uint8_t>(curve * Scale() / 256);
}

void CPreviewEngine::Fill(const Rgb& colour, std::uint8_t alpha) {
    const LedColour value{colour[0], colour[1], colour[2], alpha};
    for (LedColour& led : leds_) {
        if (led != value) {
            led = value;
            ++generation_;
        }
    }
}

void CPreviewEngine::EffectBreathCycle() {
    std::lock_guard lock(mutex_);
    counter_ = StepCounter(light_.direction != 0, 128, counter_ % 128, 1);
    if (counter_ == 0) {
        colourIndex_ = static_cast<std::uint8_t>((colourIndex_ % 192 + 16) % 192);
    }
    const Rgb colour = light_.multiColor ? preview::ColourWheel()[colourIndex_ % 192]
                                         : Rgb{light_.red, light_.green, light_.blue};
    Fill(colour, Scaled(preview::BreathingCurve()[counter_ % 128]));
}

void CPreviewEngine::EffectBreathFour() {
    std::lock_guard lock(mutex_);
    counter_ = StepCounter(light_.direction != 0, 128, counter_ % 128, 1);
    if (counter_ == 0)
        colourIndex_ = static_cast<std::uint8_t>((colourIndex_ % 4 + 1) % 4);
    Fill(preview::kFixedColours[colourIndex_ % 4],
         Scaled(preview::BreathingCurve()[counter_ % 128]));
}

void CPreviewEngine::EffectStatic() {
    std::lock_guard lock(mutex_);
    Fill({light_.red, light_.green, light_.blue}, Scale());
}

void CPreviewEngine::EffectSpectrum() {
    std::lock_guard lock(mutex_);
    counter_ = StepCounter(light_.direction != 0, 192, counter_ % 192, 1);
    Fill(preview::ColourWheel()[counter_ % 192], Scale());
}

void CPreviewEngine::Flash(int advance, int wrap, bool fixed) {
    const std::uint32_t now = clock_();
    const std::uint32_t period = preview::kFlashBase[std::min<std::size_t>(light_.speed, 4)] * 200u;
    if (now - lastToggle_ >= period) {
        flashOn_ = !flashOn_;
        lastToggle_ = now;
        counter_ = static_cast<std::uint8_t>((counter_ % wrap + advance) % wrap);
    }
    if (!flashOn_) {
        Fill({0, 0, 0}, 0);
    } else if (fixed) {
        Fill(preview::kFixedColours[counter_ % 4], Scale());
    } else {
        Fill(light_.multiColor ? preview::ColourWheel()[counter_ % 192]
                               : Rgb{light_.red, light_.green, light_.blue},
             Scale());
    }
}

void CPreviewEngine::EffectFlash() {
    std::lock_guard lock(mutex_);
    Flash(16, 192, false);
}

void CPreviewEngine::EffectFlashFour() {
    std::lock_guard lock(mutex_);
    Flash(1, 4, true);
}

void CPreviewEngine::EffectOff() {
    std::lock_guard lock(mutex_);
    Fill({0, 0, 0}, 0);
}

void CPreviewEngine::FillAll(const Rgb& colour, std::uint8_t alpha) {
    std::lock_guard lock(mutex_);
    Fill(colour, alpha);
}

void CPreviewEngine::SetLedLocked(int index, const Rgb& colour, std::uint8_t alpha) {
    if (index < 0 || index >= static_cast<int>(leds_.size()))
        return;
    const LedColour value{colour[0], colour[1], colour[2], alpha};
    LedColour& led = leds_[static_cast<std::size_t>(index)];
    if (led != value) {
        led = value;
        ++generation_;
    }
}

void CPreviewEngine::EffectGroupWave(std::span<const std::vector<int>> groups) {
    std::lock_guard lock(mutex_);
    const bool forward = light_.direction != 0;
    if (light_.multiColor) {
        counter_ = StepCounter(forward, 192, counter_ % 192, 1);
        int b = (counter_ + 1) % 192;
        for (const std::vector<int>& group : groups) {
            for (int led : group)
                SetLedLocked(led, preview::ColourWheel()[static_cast<std::size_t>(b)], Scale());
            b = (b + 7) % 192;
        }
        return;
    }
    counter_ = StepCounter(forward, 96, counter_ % 96, 1);
    int b = (counter_ + 1) % 96;
    for (const std::vector<int>& group : groups) {
        const auto alpha = static_cast<std::uint8_t>(
            Scale() * preview::WaveCurve()[static_cast<std::size_t>(b)] / 256);
        for (int led : group)
            SetLedLocked(led, {light_.red, light_.green, light_.blue}, alpha);
        b = (b + 7) % 96;
    }
}

void CPreviewEngine::EffectGroupMusic(std::span<const std::vector<int>> groups) {
    std::lock_guard lock(mutex_);
    const bool forward = light_.direction != 0;
    counter_ = StepCounter(forward, 192, counter_ % 192, 1);
    PeaksLocked();
    RotateLocked(forward);
    for (std::size_t i = 0; i < groups.size() && i < kMusicLevels; ++i) {
        const std::vector<int>& group = groups[i];
        DecayLocked(static_cast<int>(i), light_.mode);
        Rgb colour{light_.red, light_.green, light_.blue};
        if (light_.multiColor) {
            counter_ = static_cast<std::uint8_t>(counter_ + 12);
            colour = preview::ColourWheel()[counter_ % 192];
            // While the leading bar is lit the group keeps the colour it shows.
            const std::uint8_t lead = levels_[forward ? 0 : 6];
            if (lead != 0 && !group.empty() && group.front() >= 0 &&
                group.front() < static_cast<int>(leds_.size())) {
                const LedColour& first = leds_[static_cast<std::size_t>(group.front())];
                colour = {first.c0, first.c1, first.c2};
            }
        }
        const auto alpha = static_cast<std::uint8_t>(Scale() * levels_[i] / 256);
        for (int led : group)
            SetLedLocked(led, colour, alpha);
    }
}

void CPreviewEngine::TriggerReactive(const std::function<int()>& randomWheelIndex) {
    std::lock_guard lock(mutex_);
    reactPhase_.assign(leds_.size(), 1);
    reactColour_.resize(leds_.size());
    for (std::size_t i = 0; i < leds_.size(); ++i) {
        if (i < kMusicLevels)
            levels_[i] = 255;
        reactColour_[i] = static_cast<std::uint8_t>(randomWheelIndex() % 192);
    }
}

void CPreviewEngine::EffectReactive() {
    std::lock_guard lock(mutex_);
    reactPhase_.resize(leds_.size(), 0);
    reactColour_.resize(leds_.size(), 0);
    for (std::size_t i = 0; i < leds_.size() && i < kMusicLevels; ++i) {
        std::uint8_t& level = levels_[i];
        if (reactPhase_[i] == 1) {
            level = static_cast<std::uint8_t>(std::min(level + 15, 255));
            if (level == 255)
                reactPhase_[i] = 2;
        } else if (reactPhase_[i] == 2) {
            level = static_cast<std::uint8_t>(std::max(level - 15, 0));
        }
        const Rgb colour = light_.multiColor ? preview::ColourWheel()[reactColour_[i] % 192]
                                             : Rgb{light_.red, light_.green, light_.blue};
        SetLedLocked(static_cast<int>(i), colour, static_cast<std::uint8_t>(Scale() * level / 256));
    }
}

std::uint8_t CPreviewEngine::Counter() const {
    std::lock_guard lock(mutex_);
    return counter_;
}

std::uint8_t CPreviewEngine::ColourIndex() const {
    std::lock_guard lock(mutex_);
    return colourIndex_;
}

bool CPreviewEngine::FlashOn() const {
    std::lock_guard lock(mutex_);
    return flashOn_;
}

void CPreviewEngine::MusicDecay(int index, int mode) {
    std::lock_guard lock(mutex_);
    DecayLocked(index, mode);
}

std::uint8_t DecayedLevel(std::uint8_t l, int mode) {
    int minus = 0;
    if (mode == 29) {
        if (l & 0x90) {
            minus = 45;
        } else if (l & 0x60) {
            minus = 35;
        } else if (l > 0) {
            minus = 1;
        }
    } else if (l >= 128) {
        minus = 40;
    } else if (l >= 64) {
        minus = 30;
    } else if (l >= 32) {
        minus = mode == 0 ? 15 : 10;
    } else if (l > 16) {
        minus = 8;
    } else if (l > 0) {
        minus = 1;
    }
    // Mode 29 picks its step by the level's bits: 16 or 32 would fall past 0 and wrap bright.
    return static_cast<std::uint8_t>(std::max(l - minus, 0));
}

void CPreviewEngine::DecayLocked(int index, int mode) {
    if (index < 0 || index >= kMusicLevels)
        return;
    std::uint8_t& l = levels_[static_cast<std::size_t>(index)];
    l = DecayedLevel(l, mode);
}

void CPreviewEngine::MusicPeaks() {
    std::lock_guard lock(mutex_);
    PeaksLocked();
}

void CPreviewEngine::PeaksLocked() {
    for (std::size_t i = 0; i < 9; ++i) {
        if (peaks_[i])
            levels_[i] = 255;
    }
}

void CPreviewEngine::MusicRotate(bool direction) {
    std::lock_guard lock(mutex_);
    RotateLocked(direction);
}

void CPreviewEngine::RotateLocked(bool direction) {
    if (direction) {
        std::rotate(peaks_.rbegin(), peaks_.rbegin() + 1, peaks_.rend());
    } else {
        std::rotate(peaks_.begin(), peaks_.begin() + 1, peaks_.end());
    }
}

void CPreviewEngine::MusicReset() {
    std::lock_guard lock(mutex_);
    levels_.fill(0);
    peaks_.fill(false);
}

std::uint8_t CPreviewEngine::MusicLevel(int index) const {
    std::lock_guard lock(mutex_);
    return index >= 0 && index < kMusicLevels ? levels_[static_cast<std::size_t>(index)] : 0;
}

void CPreviewEngine::SetMusicLevel(int index, std::uint8_t level) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < kMusicLevels)
        levels_[static_cast<std::size_t>(index)] = level;
}

void CPreviewEngine::RaiseMusicLevels(std::span<const std::uint8_t> levels) {
    std::lock_guard lock(mutex_);
    const std::size_t n = std::min<std::size_t>(levels.size(), kMusicLevels);
    for (std::size_t i = 0; i < n; ++i)
        levels_[i] = std::max(levels_[i], levels[i]);
}

void CPreviewEngine::SetPeak(int index, bool on) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < kMusicPeaks)
        peaks_[static_cast<std::size_t>(index)] = on;
}

bool CPreviewEngine::Peak(int index) const {
    std::lock_guard lock(mutex_);
    return index >= 0 && index < kMusicPeaks && peaks_[static_cast<std::size_t>(index)];
}

}  // namespace morva
