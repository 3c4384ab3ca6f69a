#include "device/preview/preview_engine.h"

#include <gtest/gtest.h>

#include <thread>

namespace morva {
namespace {

TEST(PreviewTables, WheelCurveAndPacking) {
    const auto& wheel = preview::ColourWheel();
    EXPECT_EQ(wheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(wheel[63], (Rgb{0, 255, 0}));
    EXPECT_EQ(wheel[191], (Rgb{255, 0, 0}));
    const auto& curve = preview::BreathingCurve();
    EXPECT_EQ(curve[63], 255);
    EXPECT_EQ(curve[64], 255);
    EXPECT_EQ(curve[127], 0);

    const LedColour c{0x11, 0x22, 0x33, 0xFF};
    EXPECT_EQ(c.Pack(), 0xFF332211u);
    EXPECT_EQ(LedColour::Unpack(c.Pack()), c);
    EXPECT_EQ(c.ButtonColour(), 0x11u + 0x33u * 256 + 0x22u * 65536);
}

TEST(StepCounter, WrapsBothWays) {
    EXPECT_EQ(StepCounter(true, 128, 126, 1), 127);
    EXPECT_EQ(StepCounter(true, 128, 127, 1), 0);
    EXPECT_EQ(StepCounter(false, 128, 0, 1), 127);
    EXPECT_EQ(StepCounter(false, 192, 5, 16), 176);
    EXPECT_EQ(StepCounter(true, 192, 180, 16), 0);
}

TEST(PreviewEngine, BreathingWalksTheWheelInSixteens) {
    CPreviewEngine engine;
    engine.SetLedCount(3);
    engine.SetLight({.mode = 1, .brightness = 4, .direction = 1, .multiColor = 1});
    std::vector<int> indexes;
    for (int cycle = 0; cycle < 13; ++cycle) {
        for (int step = 0; step < 128; ++step)
            engine.EffectBreathCycle();
        indexes.push_back(engine.ColourIndex());
    }
    EXPECT_EQ(indexes, (std::vector<int>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 0, 16}));
    engine.EffectBreathCycle();  // counter 1
    const LedColour led = LedColour::Unpack(engine.GetLedColour(2));
    EXPECT_EQ((Rgb{led.c0, led.c1, led.c2}), preview::ColourWheel()[16]);
    EXPECT_EQ(led.alpha, 1 * 255 / 256);
}

TEST(PreviewEngine, OutOfRangeStateNeverReadsOutsideATable) {
    CPreviewEngine engine;
    engine.SetLedCount(2);
    engine.SetLight({.mode = 5, .brightness = 200, .speed = 99, .red = 10});
    engine.EffectStatic();
    EXPECT_EQ(LedColour::Unpack(engine.GetLedColour(0)).alpha, 255) << "brightness held at 4";
    // A counter left high by the spectrum (192 entries) read by the breathing curve (128).
    for (int i = 0; i < 150; ++i)
        engine.EffectSpectrum();
    engine.EffectBreathCycle();
    engine.EffectBreathFour();
    engine.EffectFlashFour();
    EXPECT_LT(engine.Counter(), 192);
    EXPECT_EQ(engine.GetLedColour(5), 0u) << "an index out of range reads 0";
}

TEST(PreviewEngine, FlashTogglesWithItsPeriod) {
    std::uint32_t now = 100000;
    CPreviewEngine engine([&] { return now; });
    engine.SetLedCount(1);
    engine.SetLight({.brightness = 4, .speed = 4, .multiColor = 1});
    engine.EffectFlash();
    EXPECT_TRUE(engine.FlashOn());
    EXPECT_EQ(engine.Counter(), 16);
    now += 7 * 200 - 1;
    engine.EffectFlash();
    EXPECT_TRUE(engine.FlashOn()) << "speed 4 toggles every 1400 ms";
    now += 1;
    engine.EffectFlash();
    EXPECT_FALSE(engine.FlashOn());
    EXPECT_EQ(LedColour::Unpack(engine.GetLedColour(0)), LedColour{});

    engine.SetLight({.brightness = 4, .speed = 0});
    now += 28 * 200 - 1;
    engine.EffectFlash();
    EXPECT_FALSE(engine.FlashOn()) << "speed 0: 5600 ms";
}

TEST(PreviewEngine, FrameBytesScaleByAlphaAndSkipLed170) {
    CPreviewEngine engine;
    engine.SetLedCount(171);
    engine.SetLedColour(0, LedColour{200, 100, 50, 128}.Pack());
    engine.SetLedColour(170, LedColour{255, 255, 255, 255}.Pack());
    const auto bytes = engine.FrameBytes();
    ASSERT_EQ(bytes.size(), 513u);
    EXPECT_EQ(bytes[0], 100);
    EXPECT_EQ(bytes[1], 50);
    EXPECT_EQ(bytes[2], 25);
    EXPECT_EQ(bytes[510], 0);
    engine.SetLedCount(171);
    EXPECT_NE(engine.GetLedColour(0), 0u) << "the same count keeps the colours";
    engine.SetLedCount(15);
    EXPECT_EQ(engine.GetLedColour(0), 0u) << "a new count clears them";
}

TEST(PreviewEngine, GenerationMovesOnlyWhenAColourChanges) {
    CPreviewEngine engine;
    engine.SetLedCount(4);
    engine.SetLight(PreviewLight{0, 4, 0, 0, 0, 9, 8, 7});
    std::uint32_t seen = engine.Generation();
    engine.EffectStatic();
    EXPECT_NE(engine.Generation(), seen);
    seen = engine.Generation();
    engine.EffectStatic();  // the same colours again
    engine.SetLedColour(2, engine.GetLedColour(2));
    engine.SetLedColour(9, 0xFFFFFFFF);  // outside the frame
    EXPECT_EQ(engine.Generation(), seen);
    engine.EffectOff();
    EXPECT_NE(engine.Generation(), seen);
}

TEST(PreviewEngine, MusicDecayRotateAndPeaks) {
    CPreviewEngine engine;
    engine.SetMusicLevel(0, 255);
    std::vector<int> seen;
    for (int i = 0; i < 8; ++i) {
        engine.MusicDecay(0, 0);
        seen.push_back(engine.MusicLevel(0));
    }
    EXPECT_EQ(seen, (std::vector<int>{215, 175, 135, 95, 65, 35, 20, 12}));
    // Mode 29 steps by the level's bits: below its step the level stops at 0, never wraps.
    for (const auto& [level, after] : std::vector<std::pair<int, int>>{
             {0x90, 99}, {17, 0}, {0x20, 0}, {0x60, 61}, {9, 8}, {0, 0}}) {
        engine.SetMusicLevel(1, static_cast<std::uint8_t>(level));
        engine.MusicDecay(1, 29);
        EXPECT_EQ(engine.MusicLevel(1), after) << "from " << level;
    }

    engine.SetPeak(22, true);
    engine.MusicRotate(true);
    EXPECT_TRUE(engine.Peak(0));
    engine.MusicRotate(false);
    EXPECT_TRUE(engine.Peak(22));
    engine.SetPeak(3, true);
    engine.MusicPeaks();
    EXPECT_EQ(engine.MusicLevel(3), 255);
    engine.MusicReset();
    EXPECT_EQ(engine.MusicLevel(3), 0);
    EXPECT_FALSE(engine.Peak(22));
}

TEST(PreviewEngine, ReadersSeeWholeFrames) {
    CPreviewEngine engine;
    engine.SetLedCount(64);
    engine.SetLight({.brightness = 4, .multiColor = 1});
    std::atomic<bool> stop{false};
    std::thread light([&] {
        while (!stop)
            engine.EffectSpectrum();
    });
    for (int i = 0; i < 500; ++i) {
        const auto frame = engine.Frame();
        for (const LedColour& led : frame)
            ASSERT_EQ(led, frame.front()) << "a torn frame";
    }
    stop = true;
    light.join();
}

}  // namespace
}  // namespace morva
