// Golden frames of the audio-driven mode 29 (every sub-mode) and the external colour of mode
// 30. Expected colours are worked out by hand from the band arithmetic, the key grid and the
// colour wheel. At full scale a lit key shows 255 x 255 / 256 = 254; the background is
// (1, 2, 3) at the full scale 255, the foreground (200, 100, 50).
#include "device/models/keyboard_audio_light.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device/models/keyboard_light.h"

namespace morva {
namespace {

using kblight::kLeds;
using Bands = std::array<std::int32_t, kbaudio::kBands>;

constexpr LedColour kBack{1, 2, 3, 255};
constexpr LedColour Fore(std::uint8_t alpha) {
    return {200, 100, 50, alpha};
}

Bands All(std::int32_t v) {
    Bands b;
    b.fill(v);
    return b;
}
Bands With(Bands b, std::initializer_list<std::pair<int, std::int32_t>> set) {
    for (const auto& [i, v] : set)
        b[static_cast<std::size_t>(i)] = v;
    return b;
}

AudioLightInfo Selection(int subMode, bool wheel) {
    return {.audioMode = static_cast<std::uint8_t>(subMode),
            .bkColorR = 1,
            .bkColorG = 2,
            .bkColorB = 3,
            .fgColorR = 200,
            .fgColorG = 100,
            .fgColorB = 50,
            .sevenColorFlags = static_cast<std::uint8_t>(wheel)};
}

class KeyboardAudioLight : public ::testing::Test {
protected:
    KeyboardAudioLight() { engine_.SetLedCount(kLeds); }

    void Start(int mode, int brightness = 4, int direction = 1) {
        engine_.SetLight({static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(brightness), 4,
                          static_cast<std::uint8_t>(direction), 0, 0, 0, 0});
        light_.StartMode(mode);
        Audio().State().start = 0;  // a mode start leaves the shared start byte alone
    }
    void Steps(int subMode, bool wheel, const Bands& bands, int steps) {
        for (int i = 0; i < steps; ++i) {
            Audio().State().bands = bands;
            Audio().Step(Selection(subMode, wheel));
        }
    }
    LedColour Key(int key) const { return LedColour::Unpack(engine_.GetLedColour(key)); }
    CKeyboardAudioLight& Audio() { return light_.Audio(); }

    CPreviewEngine engine_;
    CKeyboardLight light_{engine_};
};

struct Golden {
    std::string name;
    int subMode;  // -1: mode 30
    bool wheel;
    Bands bands;
    int steps;
    std::function<void(CKeyboardLight&, CPreviewEngine&)> setup;
    std::vector<std::pair<int, LedColour>> expect;
};

TEST_F(KeyboardAudioLight, GoldenFrames) {
    constexpr std::int32_t kHuge = 2000000000;
    const std::vector<Golden> cases = {
        // Counter 1, ten wheel places a column, first at 11. Full band: h = 1; half band
        // (x 300): h = 4; silent band: h = 7.
        {"columns",
         0,
         true,
         With(All(2000), {{3, 0}, {5, 1000}}),
         1,
         {},
         {{0, kBack},
          {22, {255, 255, 0, 254}},
          {106, {255, 255, 0, 254}},
          {23, kBack},
          {20, kBack},
          {87, {4, 255, 0, 254}},
          {67, kBack}}},
        // Start 1: rows read bands 4, 7, 10, ... on the left and 1, 3, 5, ... on the right.
        // Row 1: left A = 8 (band 7 half), right B = 14 (band 3 silent); row 2 full: A = B = 2.
        {"rows",
         1,
         true,
         With(All(2000), {{7, 1000}, {3, 0}}),
         1,
         {},
         {{22, kBack},
          {28, {0, 255, 1, 254}},
          {29, kBack},
          {43, {255, 140, 0, 254}},
          {59, {57, 0, 255, 254}},
          {60, kBack}}},
        // I's seed (column 10, row 2) lights and falls 255 -> 210 -> 165; the next step its
        // ring reaches rows 1 and 3 of columns 9..11. Wheel indexes step 9 and restart at 0:
        // O's 180 -> 189 -> 0, key 30's 63 -> 72 -> 81.
        {"ripple",
         2,
         true,
         All(0),
         2,
         [](CKeyboardLight& l, CPreviewEngine&) { l.SeedRipple(51, 1); },
         {{51, {255, 1, 0, 164}}, {30, {0, 255, 89, 209}}, {50, kBack}}},
        // Bars of 300: L = 10. The counter steps 10, rows 9 places apart from 19; rows 10 and
        // 11 fall by mode 0's steps (200 -> 160) and keep the colour they show.
        {"layout",
         3,
         false,
         All(1000),
         1,
         [](CKeyboardLight& l, CPreviewEngine& e) {
             l.State().level[59] = 200;
             e.SetLedColour(59, LedColour{9, 8, 7, 1}.Pack());
         },
         {{0, {255, 109, 0, 254}}, {57, {0, 194, 255, 254}}, {59, {9, 8, 7, 159}}}},
        // Column c reads band c + 1. The peak lit in the first step (row 4; row 1 for the full
        // band 3) shows in the second at 210, from the key's own wheel index, and lights
        // again; the keys below it stay dark.
        {"peak columns",
         4,
         true,
         With(All(1000), {{3, 2000}}),
         2,
         {},
         {{22, {255, 0, 24, 209}}, {43, kBack}, {87, {255, 164, 0, 209}}, {106, kBack}}},
        {"peak shows next frame", 4, true, All(1000), 1, {}, {{87, kBack}}},
        // Groups of 600s: row 0 takes the 7-band group (1400: len 13), row 1 the 5-band
        // (1000: len 8), row 5 the 2-band (400: len 1). Band 24 belongs to no group.
        {"grouped rows",
         5,
         true,
         With(All(600), {{24, kHuge}}),
         1,
         {},
         {{10, {114, 255, 0, 254}},
          {11, kBack},
          {28, {255, 213, 0, 254}},
          {29, kBack},
          {105, {255, 22, 0, 254}},
          {106, kBack}}},
        // Row 0 (400: len 18) lights from column 18, row 1 up to column 23 - 18, row 2 (600:
        // len 16) from column 16; every key shown in a wheel colour moves the wheel on by 2.
        // Bands 21..24 belong to no group.
        {"grouped rows alt",
         6,
         true,
         With(All(600), {{21, kHuge}, {22, kHuge}, {23, kHuge}, {24, kHuge}}),
         1,
         {},
         {{58, {255, 7, 0, 254}},
          {12, kBack},
          {25, {255, 57, 0, 254}},
          {26, kBack},
          {16, {255, 73, 0, 254}}}},
        // The low bytes, at scale 135.
        {"external colour",
         -1,
         false,
         All(0),
         1,
         [](CKeyboardLight& l, CPreviewEngine&) {
             const int levels[6] = {0x1234A0, 0x7F50, -1, 9, 9, 9};
             l.Audio().OnAudioLevels(levels);
         },
         {{0, {0xA0, 0x50, 0xFF, 135}}, {169, {0xA0, 0x50, 0xFF, 135}}}},
    };
    for (const Golden& g : cases) {
        SCOPED_TRACE(g.name);
        if (g.subMode < 0) {
            Start(30, 2);
            g.setup(light_, engine_);
            Audio().StepExternalColour();
        } else {
            Start(29);
            if (g.setup)
                g.setup(light_, engine_);
            Steps(g.subMode, g.wheel, g.bands, g.steps);
            EXPECT_EQ(Audio().State().bands, All(0)) << "each step uses the bands up";
        }
        for (const auto& [key, colour] : g.expect)
            EXPECT_EQ(Key(key), colour) << "key " << key;
    }
}

// A full band (column 2, under Esc) against a silent one (column 3, under F1).
TEST_F(KeyboardAudioLight, ColumnBarsRiseFromTheBottomRow) {
    Start(29);
    Steps(0, false, With(All(0), {{2, 2000}, {3, 0}}), 1);
    for (int r = 0; r < kblight::kGridRows; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(Key(kblight::kKeyGrid[2][static_cast<std::size_t>(r)]),
                  r == 0 ? kBack : Fore(254));
        EXPECT_EQ(Key(kblight::kKeyGrid[3][static_cast<std::size_t>(r)]), kBack);
    }
}

// Out-of-range input must stay inside every table (ASan and UBSan watch the reads and the
// arithmetic) and still mean something: an overdriven band fills its column, a negative one
// lights nothing.
TEST_F(KeyboardAudioLight, BandsOfAnySizeStayInsideTheTables) {
    Start(29);
    Steps(0, false, With(All(0), {{2, INT_MAX}, {3, INT_MIN}}), 1);
    EXPECT_EQ(Key(0), Fore(254)) << "row 0 too";
    EXPECT_EQ(Key(1), kBack);

    // Only 25 bands are read from the 100 bytes, whatever the count says.
    std::vector<std::uint8_t> bytes(100);
    for (std::size_t i = 0; i < 25; ++i) {
        const std::int32_t v = static_cast<std::int32_t>(i) - 12;
        std::memcpy(bytes.data() + 4 * i, &v, 4);
    }
    Audio().OnAudioSpectrum(bytes.data(), 1000, 1, Selection(2, false));
    EXPECT_EQ(Audio().State().bands[0], -12);
    EXPECT_EQ(Audio().State().bands[24], 12);
    Audio().OnAudioSpectrum(bytes.data(), 3, 1, Selection(2, false));
    EXPECT_EQ(Audio().State().bands[2], -10);
    EXPECT_EQ(Audio().State().bands[3], 0) << "bands past the count read as silent";
    Audio().OnAudioSpectrum(bytes.data(), -5, 1, Selection(2, false));
    EXPECT_EQ(Audio().State().bands, All(0));

    // Negative bands drain the ripple energy down to the 32-bit floor, never past it.
    const Bands low = All(INT_MIN);
    for (int i = 0; i < 100; ++i)
        Audio().OnAudioSpectrum(reinterpret_cast<const std::uint8_t*>(low.data()), 25, 29,
                                Selection(2, false));
    EXPECT_EQ(Audio().State().energy, INT_MIN);

    const Bands wild = {INT_MIN, INT_MAX, -1, 0, 2000, 2003, 2004, INT_MIN + 1, 1 << 30};
    for (int subMode = 0; subMode <= 7; ++subMode) {
        for (int direction = 0; direction < 2; ++direction) {
            Start(29, 4, direction);
            light_.State().frame = 255;
            light_.State().level.fill(255);
            light_.State().wheel.fill(255);
            Audio().State().start = 255;
            Audio().State().columnFlags.fill(0);
            Steps(subMode, true, wild, 3);
        }
    }
}

}  // namespace
}  // namespace morva
