// Golden frames of the keyboard's light modes. Every expected colour is worked out by hand
// from the colour wheel, the curves and the key grid, not read back from the code. Keys lit
// by level show scale x level / 256: a full level at full scale is 254.
#include "device/models/keyboard_light.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace morva {
namespace {

using kblight::kLeds;

constexpr std::uint8_t kOn = 1;

struct Golden {
    std::string name;
    PreviewLight light;
    int steps;
    // Key presses or state changes before the steps.
    std::function<void(CKeyboardLight&)> setup;
    std::vector<std::pair<int, LedColour>> expect;
    std::uint8_t preset = 0;
};

PreviewLight Multi(int mode, int brightness = 4, int direction = 1) {
    return {static_cast<std::uint8_t>(mode),
            static_cast<std::uint8_t>(brightness),
            4,
            static_cast<std::uint8_t>(direction),
            kOn,
            0,
            0,
            0};
}
PreviewLight Fixed(int mode, int brightness = 4, int direction = 1) {
    return {static_cast<std::uint8_t>(mode),
            static_cast<std::uint8_t>(brightness),
            4,
            static_cast<std::uint8_t>(direction),
            0,
            200,
            100,
            50};
}
constexpr LedColour Own(std::uint8_t alpha) {
    return {200, 100, 50, alpha};
}

// The same values again and again, in order.
CKeyboardLight::RandomSource Sequence(std::vector<std::uint32_t> values) {
    auto at = std::make_shared<std::size_t>(0);
    return [values, at] { return values[(*at)++ % values.size()]; };
}

class KeyboardLight : public ::testing::Test {
protected:
    KeyboardLight() { engine_.SetLedCount(kLeds); }

    void Run(const Golden& g) {
        engine_.SetLight(g.light);
        light_.SetRandomSource(Sequence({100}));
        light_.StartMode(g.light.mode);
        if (g.setup)
            g.setup(light_);
        for (int i = 0; i < g.steps; ++i)
            ASSERT_TRUE(light_.Step(g.light.mode, g.preset));
    }

    CPreviewEngine engine_;
    CKeyboardLight light_{engine_};
};

TEST_F(KeyboardLight, GoldenFrames) {
    auto press = [](int mode, int key) {
        return [mode, key](CKeyboardLight& l) { l.OnKeyAction(mode, key, 1); };
    };
    const std::vector<Golden> cases = {
        // Counter 1, first column wheel 2, seven places a column (Esc: column 2, wheel 16).
        {"column wave",
         Multi(1),
         1,
         {},
         {{120, {255, 5, 0, 255}}, {0, {255, 81, 0, 255}}, {41, {213, 0, 255, 255}}}},
        // Downward from 0: 95, then v = 0; scale 30 x wave (22, then 69 two columns on).
        {"column wave fixed", Fixed(1, 0, 0), 1, {}, {{120, Own(2)}, {0, Own(8)}}},
        // Pulse curve one place a column: 8 and 22 at full scale.
        {"column sweep fixed", Fixed(2), 1, {}, {{120, Own(7)}, {0, Own(21)}}},
        // Chase order: Esc wheel 2, F1 wheel 7, M1 (22nd) wheel 112.
        {"key chase",
         Multi(3),
         1,
         {},
         {{0, {255, 5, 0, 255}}, {1, {255, 22, 0, 255}}, {120, {0, 69, 255, 255}}}},
        // Counter 20: breathing 33; Esc's column 2 is wheel 14.
        {"breathing", Multi(5), 20, {}, {{0, {255, 65, 0, 32}}, {120, {255, 1, 0, 32}}}},
        // Diagonal row 0 wheel 138, row 11 wheel 6, at scale 135.
        {"static layout", Multi(6, 2), 1, {}, {{0, {38, 0, 255, 135}}, {118, {255, 18, 0, 135}}}},
        {"static fixed", Fixed(6, 0), 1, {}, {{50, Own(30)}, {169, Own(30)}}},
        // A held key rises to 255 with the random wheel 100; other keys stay dark.
        {"key fade held",
         Multi(7),
         2,
         press(7, 50),
         {{50, {0, 194, 255, 254}}, {0, {234, 255, 0, 0}}}},
        {"key fade released",
         Fixed(7),
         3,
         [](CKeyboardLight& l) {
             l.OnKeyAction(7, 50, 1);
             l.OnKeyAction(7, 50, 2);
         },
         {{50, Own(239)}}},
        // From I (column 9, row 2): one step reaches rows 1 and 3 of columns 8..10, the next
        // rows 0 and 4 while row 1 falls to 215.
        {"reactive ripple",
         Fixed(8),
         2,
         press(8, 50),
         {{29, Own(214)}, {5, Own(254)}, {50, Own(0)}, {90, Own(254)}}},
        // The ring fades twice as fast: 255, 215, 175.
        {"ripple", Fixed(9), 2, press(9, 50), {{29, Own(174)}}},
        {"sparkle",
         Multi(10),
         1,
         [](CKeyboardLight& l) {
             l.SetRandomSource(Sequence({0, 10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60}));
         },
         {{0, {255, 38, 0, 254}}, {2, {255, 241, 0, 254}}, {6, {158, 255, 0, 0}}}},
        // Palette 33 (i + 1), one place on.
        {"palette cycle", Multi(11), 1, {}, {{0, {220, 255, 0, 255}}, {5, {255, 22, 0, 255}}}},
        // Rows 24 places apart: row 1 wheel 26, row 5 wheel 122.
        {"row wave",
         Multi(12),
         1,
         {},
         {{0, {255, 5, 0, 255}}, {21, {255, 188, 0, 255}}, {105, {0, 12, 255, 255}}}},
        // The seed below row 5 of column 9 shows on row 5 of columns 8..10 only.
        {"centre ripple", Fixed(13), 1, {}, {{109, Own(254)}, {108, Own(0)}, {91, Own(0)}}},
        {"script", Multi(14), 1, {}, {{21, {255, 1, 0, 254}}, {0, {234, 255, 0, 0}}}},
        // Start levels 4 and 25, two places on: pulse 45 and 234; wheel column x 7.
        {"random fade", Multi(15), 1, {}, {{120, {255, 1, 0, 44}}, {65, {255, 129, 0, 233}}}},
        // The seed on row 0 of column 1 reaches row 1 of columns 0..2.
        {"edge ripple", Fixed(16), 1, {}, {{120, Own(254)}, {22, Own(254)}, {23, Own(0)}}},
        {"preset", Multi(17, 1), 1, {}, {{77, {0, 255, 18, 80}}}, 2},
        {"diagonal", Multi(18), 1, {}, {{0, {255, 3, 0, 255}}, {118, {0, 255, 65, 255}}}},
        {"snake forward", Fixed(21), 3, {}, {{2, Own(255)}, {3, {0, 0, 0, 0}}}},
        {"snake backward",
         Fixed(21, 4, 0),
         3,
         {},
         {{105, Own(255)}, {107, Own(255)}, {108, {0, 0, 0, 0}}}},
        // Z (column 3, row 4) starts at 192 - 24 - 140 = 28: pulse 220 one place on.
        {"twinkle", Multi(22), 1, {}, {{85, {255, 129, 0, 219}}}},
        // Esc falls in the first step and fades by 5 in the next, while M1 lights.
        {"rain", Fixed(24), 2, {}, {{0, Own(249)}, {120, Own(254)}}},
        {"off", Multi(28), 1, {}, {{0, {0, 0, 0, 0}}}},
    };
    for (const Golden& g : cases) {
        SCOPED_TRACE(g.name);
        Run(g);
        for (const auto& [key, colour] : g.expect)
            EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(key)), colour) << "key " << key;
    }
}

TEST_F(KeyboardLight, CrossStaysLitWhileANeighbourIsHeld) {
    engine_.SetLight(Fixed(25));
    light_.StartMode(25);
    light_.OnKeyAction(25, 50, 1);  // I: column 9, row 2
    light_.OnKeyAction(25, 51, 1);  // O: column 10
    light_.OnKeyAction(25, 50, 2);
    const auto& hit = light_.State().hit;
    EXPECT_EQ(hit[50], 1);  // O's cross covers I
    EXPECT_EQ(hit[51], 1);
    EXPECT_EQ(hit[49], 2);  // U and 8 are I's alone
    EXPECT_EQ(hit[29], 2);
    light_.OnKeyAction(25, 200, 1);  // outside every table: ignored
}

TEST_F(KeyboardLight, StepThresholds) {
    EXPECT_EQ(CKeyboardLight::StepThreshold(1, 0), 5);
    EXPECT_EQ(CKeyboardLight::StepThreshold(1, 4), 1);
    EXPECT_EQ(CKeyboardLight::StepThreshold(21, 0), 4);
    EXPECT_EQ(CKeyboardLight::StepThreshold(23, 4), 4);
    EXPECT_EQ(CKeyboardLight::StepThreshold(29, 3), 2);
    EXPECT_EQ(CKeyboardLight::StepThreshold(30, 0), 1);
    EXPECT_EQ(CKeyboardLight::StepThreshold(30, 2), 0);
    EXPECT_FALSE(CKeyboardLight::HasStep(19));
    EXPECT_FALSE(CKeyboardLight::HasStep(20));
}

// A counter left high by a mode with a large table must be reduced by the next mode.
TEST_F(KeyboardLight, CountersStayInsideEachTable) {
    // Wave, downward: 150 reduces to 54, steps to 53, v = 54: wave 213 at full scale.
    engine_.SetLight(Fixed(1, 4, 0));
    light_.State().frame = 150;
    light_.Step(1);
    EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(120)), Own(212));
    // Every mode from the worst counters, both ways (out-of-range reads fail under ASan).
    for (int mode = 1; mode <= 28; ++mode) {
        for (int dir = 0; dir < 2; ++dir) {
            for (int multi = 0; multi < 2; ++multi) {
                PreviewLight l = multi ? Multi(mode, 4, dir) : Fixed(mode, 4, dir);
                engine_.SetLight(l);
                light_.State().frame = 255;
                light_.State().rippleStep = 255;
                light_.State().level.fill(255);
                light_.State().wheel.fill(255);
                for (int i = 0; i < 3; ++i)
                    light_.Step(mode, 9);
            }
        }
    }
}

TEST_F(KeyboardLight, OverlayPaintsKeysWithTheirOwnEffect) {
    engine_.SetLight(Fixed(28));
    light_.Step(28);
    std::vector<LightInfo> list(kLeds);
    list[5] = {.selectItem = 1, .light = 0, .red = 1, .green = 2, .blue = 3, .present = 1};
    list[6] = {.selectItem = 3, .light = 4, .speed = 4, .present = 1};  // period 7
    list[7] = {.selectItem = 3, .light = 4, .speed = 4};                // absent: skipped
    const IClock::TimePoint t{};
    for (int pass = 0; pass < 7; ++pass)
        light_.ApplyOverlay(list, t);
    EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(5)), (LedColour{1, 2, 3, 30}));
    EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(6)), (LedColour{255, 3, 0, 255}));
    EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(7)), (LedColour{0, 0, 0, 0}));
    // Flashing at speed 0 toggles after 28 x 200 ms.
    list[8] = {.selectItem = 2, .light = 4, .red = 9, .present = 1};
    light_.ApplyOverlay(list, t);
    EXPECT_EQ(engine_.GetLedColour(8), 0u);
    light_.ApplyOverlay(list, t + std::chrono::milliseconds(5600));
    EXPECT_EQ(LedColour::Unpack(engine_.GetLedColour(8)), (LedColour{9, 0, 0, 255}));
}

}  // namespace
}  // namespace morva
