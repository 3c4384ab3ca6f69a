// The capture helper's analysis on generated signals, its WAV reader on hand-made files, and
// one run of the helper itself on a file.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#include "base/capture_protocol.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tools/audio_capture/spectrum.h"
#include "tools/audio_capture/wav_reader.h"
#include "tools/capture_blocks.h"

namespace morva::capture {
namespace {

using test::DbOf;
using test::kBinHz;
using test::Near;
using test::PeakOf;

constexpr int kRate = 44100;

std::vector<float> Sine(double hz, double amplitude, int count) {
    std::vector<float> out(count);
    for (int n = 0; n < count; ++n)
        out[n] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * n / kRate));
    return out;
}

// Feeds everything; the number of blocks it completed.
int Feed(CSpectrumAnalyser& analyser, const std::vector<float>& signal) {
    int blocks = 0;
    std::span<const float> rest(signal);
    while (!rest.empty()) {
        rest = rest.subspan(analyser.Consume(rest));
        blocks += analyser.Ready();
    }
    return blocks;
}

struct Tone {
    double hz;
    double amplitude;
    double db;     // expected at the peak
    int loudness;  // the frame's RMS on 0..255, a full-scale sine at the top
};

void PrintTo(const Tone& tone, std::ostream* os) {
    *os << tone.hz << " Hz at " << tone.db << " dB";
}

class CaptureTone : public ::testing::TestWithParam<Tone> {};

// Below ~1.8 kHz an FFT bin is wider than a value, so a bass tone sits on a bin's centre to
// have its peak where its own frequency is; the others are wherever they fall.
INSTANTIATE_TEST_SUITE_P(Tones, CaptureTone,
                         ::testing::Values(Tone{5 * kBinHz, 0.1, -20, 170}, Tone{1000, 1.0, 0, 255},
                                           Tone{8000, 0.01, -40, 85}),
                         [](const auto& info) {
                             return std::to_string(static_cast<int>(info.param.hz)) + "Hz";
                         });

TEST_P(CaptureTone, PeaksAtItsFrequencyAtItsLevel) {
    const Tone tone = GetParam();
    CSpectrumAnalyser analyser(kRate);
    EXPECT_EQ(Feed(analyser, Sine(tone.hz, tone.amplitude, kRate)), kCaptureBlocksPerSecond);
    const Samples& samples = analyser.LastSamples();
    const Levels& levels = analyser.LastLevels();

    const auto peak = PeakOf(samples);
    EXPECT_TRUE(Near(peak.index, tone.hz, kBinHz))
        << "peak at " << CSpectrumAnalyser::AxisFrequency(peak.index) << " Hz";
    // A Hann window loses up to 1.42 dB between bins.
    EXPECT_NEAR(DbOf(peak.value), tone.db, 1.5);
    // Hann side lobes are 40 dB down a few bins away; below the floor they read 0.
    const std::int32_t far = std::max(0, peak.value - 40 * kCaptureFullScale / 70);
    for (int i = 0; i < kCaptureSamples; ++i) {
        if (!Near(i, tone.hz, 5 * kBinHz)) {
            EXPECT_LE(samples[i], far) << "value " << i;
        }
    }

    EXPECT_NEAR(levels[3], tone.loudness, 1);
    EXPECT_EQ(levels[0], levels[3]);  // style colour 9 9 9: the loudness itself
    EXPECT_EQ(levels[1], levels[3]);
    EXPECT_EQ(levels[2], levels[3]);
    EXPECT_EQ(levels[5], 0);
    // The loudest of the 25 bands holds the tone.
    const double position = CSpectrumAnalyser::AxisPosition(tone.hz);
    if (position < 125) {
        EXPECT_EQ(levels[4], static_cast<int>(position) / 5);
    }
}

TEST(CaptureAnalysis, SilenceAndResetGiveZerosAndTheColourScalesWithLoudness) {
    CSpectrumAnalyser analyser(kRate);
    Feed(analyser, std::vector<float>(kRate / 2, 0.f));
    EXPECT_EQ(analyser.LastSamples(), Samples{});
    EXPECT_EQ(analyser.LastLevels(), Levels{});

    analyser.SetColour({9, 0, 3});
    Feed(analyser, Sine(1000, 0.1, kRate / 2));
    EXPECT_EQ(analyser.LastLevels()[3], 170);
    EXPECT_EQ(analyser.LastLevels()[0], 170);
    EXPECT_EQ(analyser.LastLevels()[1], 0);
    EXPECT_EQ(analyser.LastLevels()[2], 57);

    // One hop of silence still holds part of the tone in its frame; after a reset it does not.
    Feed(analyser, std::vector<float>(analyser.Hop(), 0.f));
    EXPECT_GT(PeakOf(analyser.LastSamples()).value, 0);
    Feed(analyser, Sine(1000, 0.1, kRate / 2));
    analyser.Reset();
    EXPECT_EQ(Feed(analyser, std::vector<float>(analyser.Hop(), 0.f)), 1);
    EXPECT_EQ(analyser.LastSamples(), Samples{});
    EXPECT_EQ(analyser.LastLevels(), Levels{});
}

// A WAV file from its parts: fmt fields, then chunks as given.
std::string Le(std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}
std::string Chunk(const std::string& id, const std::string& body) {
    std::string out = id + Le(static_cast<std::uint32_t>(body.size()), 4) + body;
    if (body.size() % 2)
        out += '\0';
    return out;
}
std::string Fmt(int format, int channels, int bits, int rate = kRate) {
    const int align = channels * bits / 8;
    return Chunk("fmt ", Le(format, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * align, 4) +
                             Le(align, 2) + Le(bits, 2));
}
std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(static_cast<std::uint32_t>(chunks.size() + 4), 4) + "WAVE" + chunks;
}
std::string Pcm16(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += Le(static_cast<std::uint16_t>(v), 2);
    return out;
}
std::string Float32(std::initializer_list<float> values) {
    std::string out;
    for (float v : values)
        out += Le(std::bit_cast<std::uint32_t>(v), 4);
    return out;
}

TEST(CaptureWavReader, ReadsMonoFromEitherFormatPastOtherChunks) {
    const test::TempDir dir;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::string bytes;
        std::vector<float> mono;
    };
    const std::vector<Case> cases = {
        {Riff(Chunk("LIST", "odd") + Fmt(1, 2, 16) +
              Chunk("data", Pcm16({16384, -16384, 16384, 16384, -32768, -32768}))),
         {0.f, 0.5f, -1.f}},
        {Riff(Fmt(3, 1, 32) + Chunk("data", Float32({0.25f, nan, -0.75f})) + Chunk("junk", "x")),
         {0.25f, 0.f, -0.75f}},
    };
    for (const Case& c : cases) {
        std::string error;
        auto reader = CWavReader::Open(dir.Write("in.wav", c.bytes), error);
        ASSERT_TRUE(reader) << error;
        EXPECT_EQ(reader->SampleRate(), kRate);
        std::vector<float> out(8, 9.f);
        EXPECT_EQ(reader->Read(out), c.mono.size());
        out.resize(c.mono.size());
        EXPECT_EQ(out, c.mono);
        EXPECT_EQ(reader->Read(out), 0u);
        EXPECT_FALSE(reader->Failed());
    }
}

TEST(CaptureWavReader, RefusesMalformedFilesSayingWhy) {
    const test::TempDir dir;
    const std::string good = Riff(Fmt(1, 1, 16) + Chunk("data", Pcm16({1, 2, 3, 4})));
    struct Case {
        std::string bytes;
        std::string says;
    };
    const std::vector<Case> cases = {
        {good.substr(0, good.size() - 3), "truncated"},
        {good.substr(0, 30), "'fmt '"},  // cut inside the fmt chunk
        {"RIFX" + good.substr(4), "not a RIFF WAVE"},
        {good.substr(0, 8), "too short"},
        {Riff(Fmt(1, 1, 8) + Chunk("data", "ab")), "only 16-bit PCM and 32-bit float"},
        {Riff(Fmt(1, 3, 16) + Chunk("data", Pcm16({1, 2, 3}))), "channels"},
        {Riff(Chunk("data", Pcm16({1})) + Fmt(1, 1, 16)), "before the fmt"},
        {Riff(Fmt(1, 2, 16) + Chunk("data", Pcm16({1}))), "whole number of frames"},
        {Riff(Fmt(1, 1, 16)), "no data chunk"},
        {Riff(Chunk("fmt ", "short")), "needs 16"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CWavReader::Open(dir.Write("bad.wav", c.bytes), error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

// The helper itself on a file: every line parses, one block per hop and one for the rest, the
// tone where it belongs; a malformed file ends it with code 2 and a message.
TEST(CaptureHelperFile, SendsEveryBlockOfTheFileThenExits) {
    const test::TempDir dir;
    const std::vector<float> tone = Sine(1000, 0.5, kRate + 100);
    std::string data;
    for (float v : tone) {
        const int s = static_cast<int>(std::lround(v * 32767));
        data += Pcm16({s, s});  // stereo
    }
    const std::string wav = dir.Write("tone.wav", Riff(Fmt(1, 2, 16) + Chunk("data", data)));

    test::ChildProcess helper;
    ASSERT_TRUE(helper.Start({MORVA_AUDIO_CAPTURE, "--file", wav, "--fast"}));
    helper.CloseStdin();  // a file plays to its end even so
    const auto deadline = test::ChildProcess::Clock::now() + std::chrono::seconds(20);
    int samplesLines = 0;
    int levelsLines = 0;
    Samples last{};
    while (const auto text = helper.ReadLine(deadline)) {
        const auto line = ParseLine(*text);
        ASSERT_TRUE(line) << *text;
        if (line->kind == Line::Kind::Samples) {
            EXPECT_EQ(samplesLines, levelsLines);
            ++samplesLines;
            last = line->samples;
        } else if (line->kind == Line::Kind::Levels) {
            ++levelsLines;
            EXPECT_EQ(samplesLines, levelsLines);
        } else {
            EXPECT_EQ(line->kind, Line::Kind::State);
            EXPECT_TRUE(line->running);
            EXPECT_EQ(samplesLines, 0);
        }
    }
    EXPECT_EQ(helper.Wait(deadline), 0);
    EXPECT_EQ(samplesLines, kCaptureBlocksPerSecond + 1);
    EXPECT_EQ(levelsLines, samplesLines);
    EXPECT_TRUE(Near(PeakOf(last).index, 1000, kBinHz));
    EXPECT_NEAR(DbOf(PeakOf(last).value), -6, 1.5);

    const std::string bad =
        dir.Write("bad.wav", Riff(Fmt(1, 1, 16) + Chunk("data", "ab")).substr(0, 45));
    test::ChildProcess::Options options;
    options.stderrPath = dir.File("stderr");
    ASSERT_TRUE(helper.Start({MORVA_AUDIO_CAPTURE, "--file", bad, "--fast"}, options));
    EXPECT_FALSE(helper.ReadLine(deadline));
    EXPECT_EQ(helper.Wait(deadline), 2);
    EXPECT_NE(test::TempDir::Read(dir.File("stderr")).find("truncated"), std::string::npos);
}

}  // namespace
}  // namespace morva::capture
