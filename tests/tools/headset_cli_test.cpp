// `morvactl headset …` against a simulated headset kept across invocations: each change lands
// in the profile and in the audio store file the program reads, and a later `headset show`
// (a new session) reads it back.
#include <gtest/gtest.h>

#include <sstream>

#include "device/audio/audio_bridge.h"
#include "sim/audio_store.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"

namespace morva::cli {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

// The first line of `text` that starts with `prefix`, without its newline; empty when none.
std::string LineOf(const std::string& text, const std::string& prefix) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with(prefix))
            return line;
    }
    return {};
}

class HeadsetCli : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> words) {
        std::vector<std::string> args{"--simulate", "headset", "--sim-state", state_,
                                      "--data-dir", data_,     "headset"};
        args.insert(args.end(), words.begin(), words.end());
        std::ostringstream out, err;
        const int status = RunMorvactl(args, out, err, {});
        return {status, out.str(), err.str()};
    }
    // What a second store on the same file (as the program would open it) holds.
    double Recorded(std::string_view property, std::optional<std::int32_t> selector,
                    const audio::DeviceRecord& device = sim::SimAudioStore::kRecording) const {
        sim::SimAudioOptions options;
        options.stateFile = sim::AudioStatePath(state_);
        const auto bridge = audio::MakeAudioBridge(std::make_unique<sim::SimAudioStore>(options));
        EXPECT_EQ(bridge->Init(), audio::Result::Ok);
        EXPECT_EQ(bridge->CreateDeviceList(), audio::Result::Ok);
        double value = -1;
        EXPECT_EQ(audio::ReadNumber(*bridge, device, property, selector, value), audio::Result::Ok)
            << property;
        return value;
    }

    test::TempDir dir_;
    const std::string state_ = dir_.File("sim.json");
    const std::string data_ = dir_.File("data");
};

TEST_F(HeadsetCli, CurvesKeepTheirOwnValuesAfterADeleteAndTheSameNameOverwrites) {
    const std::vector<std::vector<std::string>> steps = {
        {"eq-custom", "Bass", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
        {"eq-custom", "Voice", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"},
        // Ignoring case, the name is Voice's: its values are replaced, no third curve.
        {"eq-custom", "VOICE", "-20", "-3", "0", "4", "20", "5", "-6", "7", "-8", "9"},
        {"eq-delete", "bass"},
    };
    for (const auto& step : steps) {
        const CliRun r = Run(step);
        ASSERT_EQ(r.status, 0) << step[0] << ": " << r.err;
    }
    const CliRun show = Run({"show"});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(LineOf(show.out, "curve"), "curve 0 -20 -3 0 4 20 5 -6 7 -8 9 Voice");
    EXPECT_EQ(LineOf(show.out, "curve 1"), "") << show.out;
    EXPECT_EQ(LineOf(show.out, "equaliser"), "equaliser custom Voice");
    EXPECT_EQ(LineOf(show.out, "bands"), "bands -20 -3 0 4 20 5 -6 7 -8 9");
    EXPECT_EQ(LineOf(show.out, "not available"), "") << "the simulated store carries it all";
    EXPECT_EQ(Recorded("EQ_Slider1", std::nullopt, sim::SimAudioStore::kPlayback), -20);
    EXPECT_EQ(Recorded("EQ_Slider10", std::nullopt, sim::SimAudioStore::kPlayback), 9);

    const CliRun preset = Run({"eq", "3"});
    ASSERT_EQ(preset.status, 0) << preset.err;
    EXPECT_EQ(LineOf(Run({"show"}).out, "equaliser"), "equaliser 3");
}

TEST_F(HeadsetCli, SoundAndLightChangesReachTheStoreAndTheNextSession) {
    struct Case {
        std::vector<std::string> words;
        std::string shown;  // the show line after it
        const char* property;
        std::optional<std::int32_t> selector;
        double stored;
    };
    const Case cases[] = {
        {{"mic", "37"}, "mic 37 on", "VolumeScalarControl", -1, 0.37},
        {{"mic-mute", "on"}, "mic 37 off", "MuteControl", std::nullopt, 1},
        {{"mic-mute", "off"}, "mic 37 on", "MuteControl", std::nullopt, 0},
        {{"monitor", "80"}, "monitor 80 on", "AAVolumeScalarControl", 0, 0.8},
        {{"monitor-mute", "on"}, "monitor 80 off", "AAMuteControl", std::nullopt, 1},
        {{"voice", "on"}, "voice on effect 1", "Enable_MAGICVOICE", std::nullopt, 1},
        {{"voice-effect", "3"}, "voice on effect 3", "MagicVoice_Selection", std::nullopt, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words[0] + ' ' + c.words[1]);
        const CliRun r = Run(c.words);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.shown + '\n'), std::string::npos) << r.out;
        const CliRun show = Run({"show"});
        ASSERT_EQ(show.status, 0) << show.err;
        EXPECT_EQ(LineOf(show.out, c.shown.substr(0, c.shown.find(' '))), c.shown);
        EXPECT_NEAR(Recorded(c.property, c.selector), c.stored, 1e-6);
    }

    const CliRun light = Run({"light", "3", "--color", "ff8000"});
    ASSERT_EQ(light.status, 0) << light.err;
    EXPECT_EQ(LineOf(Run({"show"}).out, "light"), LineOf(light.out, "light"));
    EXPECT_NE(light.out.find("colour ff8000"), std::string::npos) << light.out;
}

TEST_F(HeadsetCli, RefusalsSayWhyInOneLineAndChangeNothing) {
    const std::vector<std::vector<std::string>> refused = {
        {"mic", "101"},        {"eq", "13"},
        {"eq", "0"},           {"eq-custom", "X", "1", "2", "3"},
        {"voice-effect", "5"}, {"eq-delete", "Nope"},
        {"mic-mute", "maybe"},
    };
    const std::string before = Run({"show"}).out;
    for (const auto& words : refused) {
        SCOPED_TRACE(words[0] + ' ' + words[1]);
        const CliRun r = Run(words);
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(r.err.starts_with("morvactl: ")) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(Run({"show"}).out, before);
}

}  // namespace
}  // namespace morva::cli
