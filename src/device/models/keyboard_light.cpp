#include "device/models/keyboard_light.h"

#include <algorithm>
#include <memory>
#include <random>

namespace morva {

using namespace kblight;

namespace {

constexpr int kWheel = 192;
constexpr int kWave = 96;
constexpr int kBreath = 128;
// Script: 20 steps of six keys, 16 pairs, then this many steps of ripple from its key.
constexpr int kScriptRippleSteps = 24;
constexpr int kScriptLength = 20 + 16 + kScriptRippleSteps;
constexpr int kScriptRippleKey = 50;
constexpr std::uint8_t kCentreSeed = 0x40;  // one row beyond row 5: not shown until it moves

const Rgb& Wheel(int index) {
    return preview::ColourWheel()[static_cast<std::size_t>(index % kWheel)];
}

bool IsLed(int key) {
    return key >= 0 && key < kLeds;
}

std::uint8_t ScaleOf(int curve, std::uint8_t scale) {
    return static_cast<std::uint8_t>(curve * scale / 256);
}

// Grid cell of `key`; false when the grid does not hold it.
bool FindGridCell(int key, int& column, int& row) {
    if (!IsLed(key))
        return false;
    for (int c = 0; c < kGridColumns; ++c) {
        for (int r = 0; r < kGridRows; ++r) {
            if (kKeyGrid[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] == key) {
                column = c;
                row = r;
                return true;
            }
        }
    }
    return false;
}

int GridKey(int column, int row) {
    if (column < 0 || column >= kGridColumns || row < 0 || row >= kGridRows)
        return kNoKey;
    return kKeyGrid[static_cast<std::size_t>(column)][static_cast<std::size_t>(row)];
}

int SnakeLength() {
    static const int length = static_cast<int>(std::count_if(
        kSnakePath.begin(), kSnakePath.end(), [](std::uint8_t k) { return k != kNoKey; }));
    return length;
}

}  // namespace

CKeyboardLight::CKeyboardLight(CPreviewEngine& engine) : engine_(engine) {
    auto source = std::make_shared<std::minstd_rand>(std::random_device{}());
    random_ = [source] { return static_cast<std::uint32_t>((*source)()); };
}

std::uint32_t CKeyboardLight::Random() {
    return random_ ? random_() : 0;
}

bool CKeyboardLight::HasStep(int mode) {
    return (mode >= 1 && mode <= 18) || (mode >= 21 && mode <= 28);
}

int CKeyboardLight::StepThreshold(int mode, int speed) {
    const std::size_t s = static_cast<std::size_t>(std::clamp(speed, 0, 4));
    switch (mode) {
        case 21:
        case 23:
            return 4;
        case 29:
            return 2;
        case 30:
            return s == 0 ? 1 : 0;
        default:
            return kStepThreshold[s];
    }
}

bool CKeyboardLight::Step(int mode, std::uint8_t presetByte) {
    light_ = engine_.Light();
    switch (mode) {
        case 1:
            ColumnWave(7, false);
            break;
        case 2:
            ColumnWave(2, true);
            break;
        case 3:
            KeyChase();
            break;
        case 4:
            engine_.EffectSpectrum();
            break;
        case 5:
            BreathCycle();
            break;
        case 6:
            Static();
            break;
        case 7:
        case 25:
            KeyFade();
            break;
        case 8:
            ReactiveRipple();
            break;
        case 9:
            RippleStep(2);
            break;
        case 10:
            Sparkle();
            break;
        case 11:
            KeyPaletteCycle();
            break;
        case 12:
            RowWave();
            break;
        case 13:
            CentreRipple();
            break;
        case 14:
            Script();
            break;
        case 15:
            TwinkleStep(2);
            break;
        case 16:
            EdgeRipple();
            break;
        case 17:
            Preset(presetByte);
            break;
        case 18:
            Diagonal();
            break;
        case 21:
            Snake();
            break;
        case 22:
            TwinkleStep(1);
            break;
        case 23:
            engine_.EffectFlash();
            break;
        case 24:
            Rain();
            break;
        case 26:
            engine_.EffectBreathFour();
            break;
        case 27:
            engine_.EffectFlashFour();
            break;
        case 28:
            engine_.EffectOff();
            break;
        default:
            return false;
    }
    return true;
}

void CKeyboardLight::StartMode(int mode) {
    ResetEffects();
    switch (mode) {
        case 13:
            SeedCentreRipple();
            break;
        case 15:
            InitRandomFade();
            break;
        case 16:
            SeedEdgeRipple();
            break;
        case 22:
            InitTwinkle();
            break;
        default:
            InitKeyPalette();
            break;  // 11, 19 (after its colours) and the rest
    }
}

void CKeyboardLight::OnKeyAction(int mode, int key, int action) {
    if (!IsLed(key))
        return;
    held_[static_cast<std::size_t>(key)] = action == 1;
    switch (mode) {
        case 7:
            HitKey(key, action);
            break;
        case 8:
        case 9:
            SeedRipple(key, action);
            break;
        case 25:
            HitKeyCross(key, action);
            break;
        default:
            break;
    }
}

// ---- Shared operations ----

void CKeyboardLight::ResetEffects() {
    state_ = KeyboardEffectState{};
    audio_.ResetAudioBuffers();
}

void CKeyboardLight::LightRipple() {
    const std::uint8_t wheel = light_.multiColor ? StepFrame(kWheel) : 0;
    for (int c = 0; c < kGridColumns; ++c) {
        std::uint8_t bits = 0;
        for (const auto& mask : state_.masks)
            bits |= mask[static_cast<std::size_t>(c)];
        for (int r = 0; r < kGridRows; ++r) {
            const int key = GridKey(c, r);
            if (!(bits >> r & 1) || !IsLed(key))
                continue;
            state_.level[static_cast<std::size_t>(key)] = 255;
            if (light_.multiColor)
                state_.wheel[static_cast<std::size_t>(key)] = wheel;
        }
    }
}

void CKeyboardLight::SpreadRipple() {
    auto& m = state_.masks;
    // Ascending (or descending) so each column copies its own old bits, not the new ones.
    for (std::size_t c = 1; c < kGridColumns; ++c) {
        m[0][c - 1] |= m[0][c];
        m[3][c - 1] |= m[3][c];
    }
    for (std::size_t c = kGridColumns - 1; c > 0; --c) {
        m[1][c] |= m[1][c - 1];
        m[2][c] |= m[2][c - 1];
    }
    for (std::size_t c = 0; c < kGridColumns; ++c) {
        m[0][c] = static_cast<std::uint8_t>(m[0][c] >> 1);
        m[1][c] = static_cast<std::uint8_t>(m[1][c] >> 1);
        m[2][c] = static_cast<std::uint8_t>(m[2][c] << 1);
        m[3][c] = static_cast<std::uint8_t>(m[3][c] << 1);
    }
}

void CKeyboardLight::RippleCollapse() {
    auto& m = state_.masks;
    m[0].fill(0);
    m[2].fill(0);
    for (std::size_t c = 0; c + 1 < kGridColumns; ++c)
        m[3][c] = m[3][c + 1];
    m[3][kGridColumns - 1] = 0;
    for (std::size_t c = kGridColumns - 1; c > 0; --c)
        m[1][c] = m[1][c - 1];
    m[1][0] = 0;
}

void CKeyboardLight::SeedRipple(int key, int action) {
    int column = 0, row = 0;
    if (action != 1 || !FindGridCell(key, column, row))
        return;
    for (auto& mask : state_.masks)
        mask[static_cast<std::size_t>(column)] |= static_cast<std::uint8_t>(1 << row);
}

void CKeyboardLight::HitKey(int key, int state) {
    if (!IsLed(key))
        return;
    const std::size_t k = static_cast<std::size_t>(key);
    state_.hit[k] = static_cast<std::uint8_t>(state);
    state_.level[k] = 255;
    state_.wheel[k] = static_cast<std::uint8_t>(Random() % kWheel);
}

void CKeyboardLight::HitKeyCross(int key, int action) {
    int column = 0, row = 0;
    if ((action != 1 && action != 2) || !FindGridCell(key, column, row))
        return;
    constexpr std::array<std::array<int, 2>, 5> cross = {
        {{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}};
    for (const auto& [dc, dr] : cross) {
        const int c = column + dc, r = row + dr;
        const int k = GridKey(c, r);
        if (!IsLed(k))
            continue;
        const std::size_t i = static_cast<std::size_t>(k);
        if (action == 1) {
            state_.hit[i] = 1;
            state_.level[i] = 255;
        } else if (!CrossNeighbourHeld(c, r, key)) {
            state_.hit[i] = 2;
        }
    }
}

bool CKeyboardLight::CrossNeighbourHeld(int column, int row, int key) const {
    for (int k = 0; k < kLeds; ++k) {
        int c = 0, r = 0;
        if (k == key || !held_[static_cast<std::size_t>(k)] || !FindGridCell(k, c, r))
            continue;
        if (std::abs(c - column) + std::abs(r - row) <= 1)
            return true;
    }
    return false;
}

void CKeyboardLight::InitKeyPalette() {
    for (std::size_t i = 0; i < kLeds; ++i)
        state_.wheel[i] = static_cast<std::uint8_t>(33 * (i + 1) % kWheel);
}

void CKeyboardLight::InitTwinkle() {
    for (int c = 0; c < kGridColumns; ++c) {
        for (int r = 0; r < 7; ++r) {
            const int key = kColumnTable[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
            if (!IsLed(key))
                continue;
            const int level = ((192 - 8 * c - 35 * r) % kWheel + kWheel) % kWheel;
            state_.level[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(level);
            state_.wheel[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(c * 7);
        }
    }
}

void CKeyboardLight::InitRandomFade() {
    for (int c = 0; c < kGridColumns; ++c) {
        for (int r = 0; r < kGridRows; ++r) {
            const int key = GridKey(c, r);
            if (!IsLed(key))
                continue;
            state_.level[static_cast<std::size_t>(key)] =
                kFadeStartLevels[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)];
            state_.wheel[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(c * 7);
        }
    }
}

void CKeyboardLight::SeedEdgeRipple() {
    for (auto& mask : state_.masks)
        mask[1] |= 1;
}

void CKeyboardLight::SeedCentreRipple() {
    for (auto& mask : state_.masks)
        mask[9] |= kCentreSeed;
}

int CKeyboardLight::FindKeyOrderIndex(int key) {
    if (!IsLed(key))
        return kNoKey;
    return std::find(kKeyOrder.begin(), kKeyOrder.end(), key) != kKeyOrder.end() ? key : kNoKey;
}

// ---- Helpers ----

std::uint8_t CKeyboardLight::StepFrame(int limit) {
    state_.frame = StepCounter(light_.direction != 0, limit,
                               static_cast<std::uint8_t>(state_.frame % limit), 1);
    return state_.frame;
}

std::uint8_t CKeyboardLight::Scale() const {
    return preview::kBrightnessScale[std::min<std::size_t>(light_.brightness, 4)];
}

Rgb CKeyboardLight::KeyColour(int key) const {
    if (light_.multiColor)
        return Wheel(state_.wheel[static_cast<std::size_t>(key)]);
    return {light_.red, light_.green, light_.blue};
}

void CKeyboardLight::Paint(int key, const Rgb& colour, std::uint8_t alpha) {
    if (IsLed(key))
        engine_.SetLedColour(key, LedColour{colour[0], colour[1], colour[2], alpha}.Pack());
}

void CKeyboardLight::PaintLevels() {
    for (int k = 0; k < kLeds; ++k)
        Paint(k, KeyColour(k), ScaleOf(state_.level[static_cast<std::size_t>(k)], Scale()));
}

bool CKeyboardLight::MasksEmpty() const {
    for (const auto& mask : state_.masks) {
        for (std::uint8_t bits : mask) {
            if (bits != 0)
                return false;
        }
    }
    return true;
}

// ---- Steps ----

void CKeyboardLight::ColumnWave(int stride, bool pulse) {
    const std::uint8_t scale = Scale();
    if (light_.multiColor) {
        int w = (StepFrame(kWheel) + 1) % kWheel;
        for (int c = 0; c < kGridColumns; ++c) {
            for (int r = 0; r < kGridRows; ++r)
                Paint(GridKey(c, r), Wheel(w), scale);
            w = (w + stride) % kWheel;
        }
        return;
    }
    const Rgb own{light_.red, light_.green, light_.blue};
    int v = (StepFrame(kWave) + 1) % kWave;
    const int fixedStride = pulse ? 1 : stride;
    for (int c = 0; c < kGridColumns; ++c) {
        const std::size_t i = static_cast<std::size_t>(v);
        const std::uint8_t alpha = ScaleOf(pulse ? kPulseCurve[i] : preview::WaveCurve()[i], scale);
        for (int r = 0; r < kGridRows; ++r)
            Paint(GridKey(c, r), own, alpha);
        v = (v + fixedStride) % kWave;
    }
}

void CKeyboardLight::RowWave() {
    const std::uint8_t scale = Scale();
    const Rgb own{light_.red, light_.green, light_.blue};
    const int limit = light_.multiColor ? kWheel : kWave;
    const int stride = light_.multiColor ? 24 : 11;
    int v = (StepFrame(limit) + 1) % limit;
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < kGridColumns; ++c) {
            if (light_.multiColor)
                Paint(GridKey(c, r), Wheel(v), scale);
            else
                Paint(GridKey(c, r), own,
                      ScaleOf(preview::WaveCurve()[static_cast<std::size_t>(v)], scale));
        }
        v = (v + stride) % limit;
    }
}

void CKeyboardLight::KeyChase() {
    const std::uint8_t scale = Scale();
    const Rgb own{light_.red, light_.green, light_.blue};
    const int limit = light_.multiColor ? kWheel : kWave;
    int v = (StepFrame(limit) + 1) % limit;
    for (std::uint8_t key : kKeyOrder) {
        if (key == kNoKey)
            continue;
        if (light_.multiColor)
            Paint(key, Wheel(v), scale);
        else
            Paint(key, own, ScaleOf(preview::WaveCurve()[static_cast<std::size_t>(v)], scale));
        v = (v + 5) % limit;
    }
}

void CKeyboardLight::BreathCycle() {
    state_.frame = static_cast<std::uint8_t>((state_.frame % kBreath + 1) % kBreath);
    const std::uint8_t alpha = ScaleOf(preview::BreathingCurve()[state_.frame], Scale());
    const Rgb own{light_.red, light_.green, light_.blue};
    for (int c = 0; c < kGridColumns; ++c) {
        for (int r = 0; r < kGridRows; ++r)
            Paint(GridKey(c, r), light_.multiColor ? Wheel(c * 7) : own, alpha);
    }
}

void CKeyboardLight::Static() {
    const std::uint8_t scale = Scale();
    if (!light_.multiColor) {
        engine_.FillAll({light_.red, light_.green, light_.blue}, scale);
        return;
    }
    engine_.FillAll({0, 0, 0}, 0);
    for (int row = 0; row < 12; ++row) {
        const Rgb& colour = Wheel((138 - 12 * row + kWheel) % kWheel);
        for (std::uint8_t key : kDiagonalLayout[static_cast<std::size_t>(row)]) {
            if (FindKeyOrderIndex(key) != kNoKey)
                Paint(key, colour, scale);
        }
    }
}

void CKeyboardLight::KeyFade() {
    for (std::size_t k = 0; k < kLeds; ++k) {
        std::uint8_t& level = state_.level[k];
        if (state_.hit[k] == 1)
            level = static_cast<std::uint8_t>(std::min(level + 15, 255));
        else if (state_.hit[k] == 2)
            level = static_cast<std::uint8_t>(std::max(level - 5, 0));
    }
    PaintLevels();
}

// Old light fades first, so the cells the ripple reaches this step show at full level.
void CKeyboardLight::RippleStep(int decays) {
    for (std::uint8_t& level : state_.level) {
        for (int i = 0; i < decays; ++i)
            level = DecayedLevel(level, 0);
    }
    SpreadRipple();
    LightRipple();
    PaintLevels();
}

void CKeyboardLight::ReactiveRipple() {
    for (std::uint8_t& wheel : state_.wheel)
        wheel = static_cast<std::uint8_t>((wheel + 7) % kWheel);
    RippleStep(1);
}

void CKeyboardLight::Sparkle() {
    for (std::uint8_t& level : state_.level)
        level = DecayedLevel(level, 0);
    for (int i = 0; i < 6; ++i) {
        const std::size_t key = kSparklePicks[Random() % kSparklePicks.size()];
        state_.level[key] = 255;
        state_.wheel[key] = static_cast<std::uint8_t>(Random() % kWheel);
    }
    PaintLevels();
}

void CKeyboardLight::KeyPaletteCycle() {
    const std::uint8_t scale = Scale();
    for (int k = 0; k < kLeds; ++k) {
        std::uint8_t& wheel = state_.wheel[static_cast<std::size_t>(k)];
        wheel = static_cast<std::uint8_t>((wheel + 1) % kWheel);
        Paint(k, Wheel(wheel), scale);
    }
}

void CKeyboardLight::CentreRipple() {
    RippleStep(1);
    if (MasksEmpty())
        SeedCentreRipple();
}

void CKeyboardLight::EdgeRipple() {
    RippleStep(1);
    if (!MasksEmpty())
        return;
    // The ripples take turns: the far edge, then column 1 again.
    state_.rippleStep ^= 1;
    if (state_.rippleStep) {
        for (auto& mask : state_.masks)
            mask[kGridColumns - 1] |= 1;
    } else {
        SeedEdgeRipple();
    }
}

void CKeyboardLight::Script() {
    const int p = state_.rippleStep % kScriptLength;
    for (std::uint8_t& level : state_.level)
        level = DecayedLevel(level, 0);
    auto light = [this, p](int key) {
        if (!IsLed(key))
            return;
        state_.level[static_cast<std::size_t>(key)] = 255;
        state_.wheel[static_cast<std::size_t>(key)] = static_cast<std::uint8_t>(p * 7 % kWheel);
    };
    if (p < 20) {
        for (std::uint8_t key : kScriptSteps[static_cast<std::size_t>(p)])
            light(key);
    } else if (p < 36) {
        for (std::uint8_t key : kScriptPairs[static_cast<std::size_t>(p - 20)])
            light(key);
    } else {
        if (p == 36)
            SeedRipple(kScriptRippleKey, 1);
        SpreadRipple();
        LightRipple();
        if (p == kScriptLength - 1)
            state_.masks = {};
    }
    state_.rippleStep = static_cast<std::uint8_t>((p + 1) % kScriptLength);
    PaintLevels();
}

void CKeyboardLight::TwinkleStep(int places) {
    const std::uint8_t scale = Scale();
    auto twinkle = [&](int key) {
        if (!IsLed(key))
            return;
        const std::size_t k = static_cast<std::size_t>(key);
        int level = state_.level[k] % kWheel + places;
        if (level >= kWheel) {
            level -= kWheel;
            state_.wheel[k] = static_cast<std::uint8_t>(Random() % kWheel);
        }
        state_.level[k] = static_cast<std::uint8_t>(level);
        Paint(key, KeyColour(key), ScaleOf(kPulseCurve[static_cast<std::size_t>(level)], scale));
    };
    if (places == 1) {
        for (const auto& column : kColumnTable) {
            for (std::uint8_t key : column)
                twinkle(key);
        }
    } else {
        for (const auto& column : kKeyGrid) {
            for (std::uint8_t key : column)
                twinkle(key);
        }
    }
}

void CKeyboardLight::Preset(std::uint8_t presetByte) {
    const int index = presetByte == 1 ? 25 : presetByte == 2 ? 70 : presetByte == 3 ? 95 : 174;
    engine_.FillAll(Wheel(index), Scale());
}

void CKeyboardLight::Diagonal() {
    const std::uint8_t scale = Scale();
    const Rgb own{light_.red, light_.green, light_.blue};
    const int limit = light_.multiColor ? kWheel : kWave;
    const int f = StepFrame(limit);
    for (int row = 0; row < 12; ++row) {
        const int v = (f + 7 * row) % limit;
        for (std::uint8_t key : kDiagonalLayout[static_cast<std::size_t>(row)]) {
            if (FindKeyOrderIndex(key) == kNoKey)
                continue;
            if (light_.multiColor)
                Paint(key, Wheel(v), scale);
            else
                Paint(key, own, ScaleOf(preview::WaveCurve()[static_cast<std::size_t>(v)], scale));
        }
    }
}

void CKeyboardLight::Snake() {
    const int length = SnakeLength();
    // The trail grows by one key a step from the path's start (from its end with "Fx" 0).
    state_.frame = static_cast<std::uint8_t>((state_.frame % (length + 1) + 1) % (length + 1));
    const int lit = state_.frame;
    const std::uint8_t scale = Scale();
    const Rgb own{light_.red, light_.green, light_.blue};
    for (int p = 0; p < length; ++p) {
        const bool on = light_.direction ? p < lit : p >= length - lit;
        const int key = kSnakePath[static_cast<std::size_t>(p)];
        if (on)
            Paint(key, light_.multiColor ? Wheel(p * 7) : own, scale);
        else
            Paint(key, {0, 0, 0}, 0);
    }
}

void CKeyboardLight::Rain() {
    for (std::uint8_t& level : state_.level)
        level = static_cast<std::uint8_t>(std::max(level - 5, 0));
    const std::size_t s = state_.rippleStep % kRainSteps.size();
    for (std::uint8_t key : kRainSteps[s]) {
        if (!IsLed(key))
            continue;
        state_.level[key] = 255;
        // A drop's colour moves on with every row it falls.
        state_.wheel[key] = static_cast<std::uint8_t>(s * 7 % kWheel);
    }
    state_.rippleStep = static_cast<std::uint8_t>((s + 1) % kRainSteps.size());
    PaintLevels();
}

// ---- Per-key light list overlay ----

void CKeyboardLight::RestartOverlay() {
    overlay_ = {};
}

void CKeyboardLight::ApplyOverlay(const std::vector<LightInfo>& list, IClock::TimePoint now) {
    const std::size_t count =
        std::min({list.size(), overlay_.size(), static_cast<std::size_t>(engine_.LedCount())});
    for (std::size_t i = 0; i < count; ++i) {
        const LightInfo& e = list[i];
        OverlayKey& o = overlay_[i];
        const int key = static_cast<int>(i);
        const std::uint8_t scale = preview::kBrightnessScale[std::min<std::size_t>(e.light, 4)];
        const std::size_t speed = std::min<std::size_t>(e.speed, 4);
        const Rgb own{e.red, e.green, e.blue};
        switch (e.selectItem) {
            case 0:  // breathing
                if (!e.present)
                    break;
                o.counter = static_cast<std::uint8_t>(o.counter + speed + 4);
                if (o.counter > kBreath - 1) {
                    o.counter = 0;
                    o.wheel = static_cast<std::uint8_t>(std::min(o.wheel + 1, kWheel - 1));
                }
                Paint(key, e.multiColor ? Wheel(o.wheel) : own,
                      ScaleOf(preview::BreathingCurve()[o.counter], scale));
                break;
            case 1:
                Paint(key, own, scale);
                break;
            case 2: {
                const auto period = std::chrono::milliseconds(preview::kFlashBase[speed] * 200);
                if (!o.started) {
                    o.started = true;
                    o.lastToggle = now;
                }
                if (now - o.lastToggle >= period) {
                    o.flashOn = !o.flashOn;
                    o.lastToggle = now;
                    o.wheel =
                        static_cast<std::uint8_t>(o.wheel + 14 > kWheel - 1 ? 0 : o.wheel + 14);
                }
                if (o.flashOn)
                    Paint(key, e.multiColor ? Wheel(o.wheel) : own, scale);
                else
                    Paint(key, {0, 0, 0}, 0);
                break;
            }
            case 3:  // colour cycle
                if (!e.present)
                    break;
                if (++o.counter >= preview::kFlashBase[speed]) {
                    o.counter = 0;
                    o.wheel = static_cast<std::uint8_t>(o.wheel + 1 > kWheel - 1 ? 0 : o.wheel + 1);
                }
                Paint(key, Wheel(o.wheel), scale);
                break;
            case 4:
                Paint(key, {0, 0, 0}, 0);
                break;
            default:
                break;
        }
    }
}

}  // namespace morva
