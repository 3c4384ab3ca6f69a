// The capture helper against a private PulseAudio server: silence and a played tone on the
// null sink's monitor, the server going away and coming back, release and quit.
#include <gtest/gtest.h>

#include <optional>

#include "base/capture_protocol.h"
#include "support/child_process.h"
#include "support/pulse_server.h"
#include "support/temp_dir.h"
#include "tools/capture_blocks.h"

namespace morva::capture {
namespace {

using namespace std::chrono_literals;
using test::ChildProcess;
using test::DbOf;
using test::kBinHz;
using test::Near;
using test::PeakOf;
using test::PulseServer;
using Clock = ChildProcess::Clock;

struct Block {
    Samples samples{};
    Levels levels{};
};

// The helper's output, every line of which must parse.
class HelperOutput {
public:
    explicit HelperOutput(ChildProcess& helper) : helper_(helper) {}

    std::optional<Line> Next(Clock::time_point deadline) {
        const auto text = helper_.ReadLine(deadline);
        if (!text)
            return std::nullopt;
        auto line = ParseLine(*text);
        EXPECT_TRUE(line) << "unparsable: " << *text;
        return line;
    }
    // Skips blocks until a state line.
    std::optional<Line> NextState(Clock::time_point deadline) {
        while (auto line = Next(deadline)) {
            if (line->kind == Line::Kind::State)
                return line;
        }
        return std::nullopt;
    }
    // The next samples block and the levels that follow it; state lines fail the test.
    std::optional<Block> NextBlock(Clock::time_point deadline) {
        Block block;
        auto line = Next(deadline);
        if (!line || line->kind != Line::Kind::Samples) {
            ADD_FAILURE() << "expected samples";
            return std::nullopt;
        }
        block.samples = line->samples;
        line = Next(deadline);
        if (!line || line->kind != Line::Kind::Levels) {
            ADD_FAILURE() << "expected levels after samples";
            return std::nullopt;
        }
        block.levels = line->levels;
        return block;
    }

private:
    ChildProcess& helper_;
};

bool RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env = {}) {
    ChildProcess child;
    ChildProcess::Options options;
    options.env = env;
    options.pipeStdin = false;
    options.pipeStdout = false;
    return child.Start(args, options) && child.Wait(Clock::now() + 20s) == 0;
}

TEST(CapturePulse, FollowsTheToneAndTheServerGoingAndComing) {
    if (!PulseServer::Available() || std::system("command -v sox paplay >/dev/null") != 0)
        GTEST_SKIP() << "pulseaudio, pactl, paplay or sox missing";
    const test::TempDir dir;
    const std::string tone = dir.File("tone.wav");
    ASSERT_TRUE(
        RunToEnd({"sox", "-n", "-r", "44100", "-c", "1", tone, "synth", "3", "sine", "1000"}));
    PulseServer server;
    ASSERT_TRUE(server.Start()) << server.Log();

    ChildProcess helper;
    ChildProcess::Options options;
    options.env = server.Environment();
    ASSERT_TRUE(helper.Start({MORVA_AUDIO_CAPTURE}, options));
    HelperOutput out(helper);
    helper.Write(CommandLine(Command::Hello));
    helper.Write(CommandLine(Command::Start));
    auto line = out.Next(Clock::now() + 10s);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->kind, Line::Kind::Hello);
    EXPECT_EQ(line->value, kCaptureVersion);
    line = out.Next(Clock::now() + 10s);
    ASSERT_TRUE(line && line->kind == Line::Kind::State);
    if (!line->running) {
        line = out.NextState(Clock::now() + 10s);
        ASSERT_TRUE(line && line->running) << server.Log();
    }

    // Nothing plays: the null sink's monitor is silent.
    for (int i = 0; i < 10; ++i) {
        const auto block = out.NextBlock(Clock::now() + 5s);
        ASSERT_TRUE(block);
        EXPECT_LE(PeakOf(block->samples).value, kCaptureFullScale / 100);
        EXPECT_EQ(block->levels[3], 0);
    }

    ChildProcess player;
    ChildProcess::Options playerOptions;
    playerOptions.env = server.Environment();
    playerOptions.pipeStdin = playerOptions.pipeStdout = false;
    ASSERT_TRUE(player.Start({"paplay", std::string("--device=") + PulseServer::kSink, tone},
                             playerOptions));
    // Blocks while it plays peak at its frequency; in the loudest, which the tone fills, the
    // peak is the sine's RMS level less what the window loses between bins.
    int toneBlocks = 0;
    Block loudest;
    for (const auto deadline = Clock::now() + 5s; toneBlocks < 10;) {
        const auto block = out.NextBlock(deadline);
        ASSERT_TRUE(block) << "no tone after " << toneBlocks << " blocks";
        if (block->levels[3] == 0)
            continue;  // not yet
        ++toneBlocks;
        const auto peak = PeakOf(block->samples);
        EXPECT_TRUE(Near(peak.index, 1000, kBinHz))
            << "peak at " << CSpectrumAnalyser::AxisFrequency(peak.index) << " Hz";
        if (block->levels[3] > loudest.levels[3])
            loudest = *block;
    }
    const double rmsDb = loudest.levels[3] * 60.0 / 255 - 60;
    EXPECT_GT(rmsDb, -20);
    EXPECT_NEAR(DbOf(PeakOf(loudest.samples).value), rmsDb - 0.7, 1.0);
    // Meanwhile the helper's output backs up, as when the program is busy.
    EXPECT_EQ(player.Wait(Clock::now() + 10s), 0);

    // The server goes: one waiting line, however many retries follow, and the helper stays.
    server.Stop();
    line = out.NextState(Clock::now() + 5s);
    ASSERT_TRUE(line);
    EXPECT_FALSE(line->running);
    const std::string reason = line->reason;
    EXPECT_FALSE(out.Next(Clock::now() + 2s)) << "a line while the server is away";
    ASSERT_TRUE(helper.Running());
    helper.Write(CommandLine(Command::Hello));
    line = out.Next(Clock::now() + 5s);
    ASSERT_TRUE(line && line->kind == Line::Kind::Hello);
    line = out.Next(Clock::now() + 5s);
    ASSERT_TRUE(line && line->kind == Line::Kind::State);
    EXPECT_FALSE(line->running);
    EXPECT_EQ(line->reason, reason);

    // It comes back: running again, with blocks.
    ASSERT_TRUE(server.Start()) << server.Log();
    line = out.NextState(Clock::now() + 15s);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->running);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(out.NextBlock(Clock::now() + 5s));

    // Released: no blocks until command 1 opens the capture again.
    helper.Write(CommandLine(Command::Release));
    line = out.NextState(Clock::now() + 5s);
    ASSERT_TRUE(line);
    EXPECT_FALSE(line->running);
    EXPECT_EQ(line->reason, "released");
    helper.Write(CommandLine(Command::Start));
    line = out.NextState(Clock::now() + 5s);
    ASSERT_TRUE(line);
    EXPECT_TRUE(line->running);
    ASSERT_TRUE(out.NextBlock(Clock::now() + 5s));

    helper.Write(CommandLine(Command::Quit));
    EXPECT_EQ(helper.Wait(Clock::now() + 5s), 0);
}

}  // namespace
}  // namespace morva::capture
