#include "device/models/keyboard_audio_light.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "device/models/keyboard_light.h"

namespace morva {

using namespace kblight;
using kbaudio::kBands;

namespace {

constexpr int kWheel = 192;
constexpr int kRippleKey = 51;
constexpr std::int32_t kRippleEnergy = 71;
constexpr std::uint8_t kDarkBelow = 10;
constexpr std::array<int, 6> kGroups = {2, 3, 3, 4, 5, 7};
constexpr std::array<int, 6> kGroupsAlt = {2, 2, 3, 4, 5, 5};

static_assert(std::endian::native == std::endian::little, "bands arrive little-endian");

bool IsLed(int key) {
    return key >= 0 && key < kLeds;
}

int GridKey(int column, int row) {
    if (column < 0 || column >= kGridColumns || row < 0 || row >= kGridRows)
        return kNoKey;
    return kKeyGrid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

const Rgb& Wheel(int index) {
    return preview::ColourWheel()[static_cast<std::size_t>(index % kWheel)];
}

// 600 for a silent band, 0 at full level. Wide enough for any band or sum of bands; `capped`
// sub-modes show an overdriven band as 500.
std::int64_t Bar(std::int64_t v, bool capped) {
    const std::int64_t drop = v * 600 / 2000;
    return capped && drop > 600 ? 500 : 600 - drop;
}

template <std::size_t N>
std::array<std::int64_t, N> GroupValues(const std::array<std::int32_t, kBands>& bands,
                                        const std::array<int, N>& sizes) {
    std::array<std::int64_t, N> values{};
    std::size_t band = 0;
    for (std::size_t g = 0; g < N; ++g) {
        std::int64_t sum = 0;
        for (int i = 0; i < sizes[g] && band < bands.size(); ++i, ++band)
            sum += bands[band];
        values[g] = sum / 3;
    }
    return values;
}

std::uint8_t AlphaOf(std::uint8_t scale, int level) {
    return static_cast<std::uint8_t>(scale * level / 256);
}

}  // namespace

void CKeyboardAudioLight::ResetAudioBuffers() {
    state_.bands.fill(0);
    state_.columnFlags.fill(kbaudio::kColumnFlagsReset);
}

void CKeyboardAudioLight::OnAudioSpectrum(const std::uint8_t* bytes, int count, int mode,
                                          const AudioLightInfo& selection) {
    state_.bands.fill(0);
    const int n = bytes == nullptr ? 0 : std::clamp(count, 0, kBands);
    for (int i = 0; i < n; ++i)
        std::memcpy(&state_.bands[static_cast<std::size_t>(i)], bytes + 4 * i, 4);
    if (mode != 29 || selection.audioMode != 2)
        return;
    std::int64_t sum = 0;
    for (std::int32_t v : state_.bands)
        sum += Bar(v, true);
    const std::int64_t average = sum / kBands;
    const std::int64_t energy = state_.energy + (25 - average * 25 / 600);
    // Negative bands drain it; it must not wrap into a burst of ripples.
    state_.energy = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(energy, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
    if (state_.energy >= kRippleEnergy) {
        state_.energy = 0;
        owner_.SeedRipple(kRippleKey, 1);
    }
}

void CKeyboardAudioLight::OnAudioLevels(const int* levels6) {
    if (levels6 == nullptr)
        return;
    std::copy(levels6, levels6 + state_.external.size(), state_.external.begin());
}

void CKeyboardAudioLight::Step(const AudioLightInfo& selection) {
    owner_.light_ = owner_.engine_.Light();
    selection_ = selection;
    taken_ = state_.bands;
    state_.bands.fill(0);
    switch (selection.audioMode) {
        case 0:
            StepColumns();
            break;
        case 1:
            StepRows();
            break;
        case 2:
            StepRipple();
            break;
        case 3:
            StepLayout();
            break;
        case 4:
            StepPeakColumns();
            break;
        case 5:
            StepGroupedRows();
            break;
        case 6:
            StepGroupedRowsAlt();
            break;
        default:
            break;
    }
}

void CKeyboardAudioLight::StepExternalColour() {
    owner_.light_ = owner_.engine_.Light();
    const auto& e = state_.external;
    owner_.engine_.FillAll({static_cast<std::uint8_t>(e[0]), static_cast<std::uint8_t>(e[1]),
                            static_cast<std::uint8_t>(e[2])},
                           owner_.Scale());
}

// ---- Helpers ----

int CKeyboardAudioLight::StepFrame(std::int64_t step) {
    std::uint8_t& frame = owner_.state_.frame;
    const int s = static_cast<int>(std::clamp<std::int64_t>(step, 0, kWheel - 1));
    frame = StepCounter(owner_.light_.direction != 0, kWheel,
                        static_cast<std::uint8_t>(frame % kWheel), s);
    return frame;
}

void CKeyboardAudioLight::StepStart(int limit, int step) {
    state_.start = StepCounter(owner_.light_.direction != 0, limit, state_.start, step);
}

bool CKeyboardAudioLight::Dark(int column, int row) const {
    const int key = GridKey(column, row);
    return !IsLed(key) || owner_.state_.level[static_cast<std::size_t>(key)] < kDarkBelow;
}

void CKeyboardAudioLight::Decay(int key) {
    std::uint8_t& level = owner_.state_.level[static_cast<std::size_t>(key)];
    level = DecayedLevel(level, 29);
}

void CKeyboardAudioLight::Raise(int key) {
    owner_.state_.level[static_cast<std::size_t>(key)] = 255;
}

Rgb CKeyboardAudioLight::Foreground(int wheel) const {
    if (selection_.sevenColorFlags)
        return Wheel(wheel);
    return {selection_.fgColorR, selection_.fgColorG, selection_.fgColorB};
}

bool CKeyboardAudioLight::Shows(int key) const {
    return owner_.state_.level[static_cast<std::size_t>(key)] >= kDarkBelow;
}

void CKeyboardAudioLight::Show(int key, const Rgb& foreground) {
    const std::uint8_t scale = owner_.Scale();
    if (Shows(key))
        owner_.Paint(key, foreground,
                     AlphaOf(scale, owner_.state_.level[static_cast<std::size_t>(key)]));
    else
        owner_.Paint(key, {selection_.bkColorR, selection_.bkColorG, selection_.bkColorB}, scale);
}

// ---- Sub-mode steps ----

void CKeyboardAudioLight::StepColumns() {
    int w = StepFrame(1);
    for (int c = 0; c < kGridColumns; ++c) {
        const std::int64_t h = (Bar(taken_[static_cast<std::size_t>(c)], false) + 100) * 6 / 600;
        w = (w + 10) % kWheel;
        for (int r = 0; r < kGridRows; ++r) {
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            if (r == 0 || Dark(c, r - 1))
                Decay(key);
            if (r >= h)  // bars rise from the bottom row
                Raise(key);
            Show(key, Foreground(w));
        }
    }
}

void CKeyboardAudioLight::StepRows() {
    const int counter = StepFrame(1);
    StepStart(kBands, 1);
    int i = state_.start;
    for (int r = 0; r < kGridRows; ++r) {
        i = (i + 3) % kBands;
        const std::int64_t left = (Bar(taken_[static_cast<std::size_t>(i)], true) + 100) * 12 / 600;
        const std::int64_t right =
            (Bar(taken_[static_cast<std::size_t>(2 * r + 1)], true) + 100) * 12 / 600;
        int w = counter;
        for (int c = 0; c < kGridColumns; ++c) {
            w = (w + 7) % kWheel;
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            if (c <= 8) {
                if (Dark(c - 1, r))
                    Decay(key);
                if (c >= left)
                    Raise(key);
            } else {
                if (c > 20 || Dark(c + 1, r))
                    Decay(key);
                if (c - 9 <= 12 - right)
                    Raise(key);
            }
            Show(key, Foreground(w));
        }
    }
}

void CKeyboardAudioLight::StepRipple() {
    StepFrame(1);
    owner_.LightRipple();
    owner_.SpreadRipple();
    for (int k = 0; k < kLeds; ++k) {
        std::uint8_t& wheel = owner_.state_.wheel[static_cast<std::size_t>(k)];
        Decay(k);
        wheel = StepCounter(true, kWheel, wheel, 9);
        Show(k, Foreground(wheel));
    }
}

void CKeyboardAudioLight::StepLayout() {
    std::int64_t sum = 0;
    for (std::int32_t v : taken_)
        sum += Bar(v, true);
    const std::int64_t lit = sum / kBands * 20 / 600;
    int w = StepFrame(lit);
    const std::uint8_t scale = owner_.Scale();
    for (int r = 0; r < 12; ++r) {
        w = (w + 9) % kWheel;
        for (std::uint8_t cell : kDiagonalLayout[static_cast<std::size_t>(r)]) {
            const int key = CKeyboardLight::FindKeyOrderIndex(cell);
            if (!IsLed(key))
                continue;
            std::uint8_t& level = owner_.state_.level[static_cast<std::size_t>(key)];
            Rgb colour = Wheel(w);
            if (r < 20 - lit) {
                level = 255;
            } else {
                level = DecayedLevel(level, 0);
                const LedColour shown = LedColour::Unpack(owner_.engine_.GetLedColour(key));
                colour = {shown.c0, shown.c1, shown.c2};
            }
            owner_.Paint(key, colour, AlphaOf(scale, level));
        }
    }
}

void CKeyboardAudioLight::StepPeakColumns() {
    StepFrame(1);
    StepStart(kBands, 0);
    int i = state_.start;
    for (int c = 0; c < kGridColumns; ++c) {
        i = (i + 1) % kBands;
        const std::int64_t h = (Bar(taken_[static_cast<std::size_t>(i)], false) + 100) * 6 / 600;
        std::uint32_t& peak = state_.columnFlags[static_cast<std::size_t>(c)];
        if (Dark(c, kGridRows - 1))
            peak = 0;
        for (int r = 0; r < kGridRows; ++r) {
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            const int above = GridKey(c, r - 1);
            if (r == 0 || !IsLed(above) || owner_.state_.level[static_cast<std::size_t>(above)] < 5)
                Decay(key);
            Show(key, Foreground(owner_.state_.wheel[static_cast<std::size_t>(key)]));
            // One peak a column until its bottom key has gone dark; it shows next frame.
            if (r >= h && peak == 0) {
                Raise(key);
                peak = 1;
            }
        }
    }
}

void CKeyboardAudioLight::StepGroupedRows() {
    const int counter = StepFrame(1);
    const auto groups = GroupValues(taken_, kGroups);
    StepStart(8, 1);
    for (int r = 0; r < kGridRows; ++r) {
        const std::int64_t x = Bar(groups[static_cast<std::size_t>(5 - r)], true);
        const std::int64_t length = 23 - (x * 23 + 2300) / 600;
        int w = counter;
        for (int c = 0; c < kGridColumns; ++c) {
            w = (w + 3) % kWheel;
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            if (c > 20 || Dark(c + 1, r))
                Decay(key);
            if (c <= length)
                Raise(key);
            Show(key, Foreground(w));
        }
    }
}

void CKeyboardAudioLight::StepGroupedRowsAlt() {
    const int counter = StepFrame(1);
    const auto groups = GroupValues(taken_, kGroupsAlt);
    StepStart(kBands, 1);
    for (int r = 0; r < kGridRows; ++r) {
        const std::int64_t length = Bar(groups[static_cast<std::size_t>(r)], true) * 23 / 600;
        int w = counter;
        for (int c = 0; c < kGridColumns; ++c) {
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            if (r % 2 != 0) {
                if (c > 20 || Dark(c + 1, r))
                    Decay(key);
                if (c <= 23 - length)
                    Raise(key);
            } else {
                if (c < 2 || Dark(c - 1, r))
                    Decay(key);
                if (c >= length)
                    Raise(key);
            }
            if (Shows(key) && selection_.sevenColorFlags)
                w = (w + 2) % kWheel;
            Show(key, Foreground(w));
        }
    }
}

}  // namespace morva
