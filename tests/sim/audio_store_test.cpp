#include "sim/audio_store.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace morva::sim {
namespace {

using audio::DataFlow;
using audio::PropertyWord;
using audio::Result;

constexpr const char* kMicLevel = "VolumeScalarControl";
constexpr const char* kMicMute = "MuteControl";

struct Headset {
    std::unique_ptr<audio::IAudioBridge> bridge;
    audio::DeviceRecord playback, recording;

    explicit Headset(SimAudioOptions options)
        : bridge(audio::MakeAudioBridge(std::make_unique<SimAudioStore>(std::move(options)))) {
        EXPECT_EQ(bridge->Init(), Result::Ok);
        EXPECT_EQ(bridge->CreateDeviceList(), Result::Ok);
        EXPECT_EQ(bridge->GetDeviceById(DataFlow::Playback, 0, playback), Result::Ok);
        EXPECT_EQ(bridge->GetDeviceById(DataFlow::Recording, 0, recording), Result::Ok);
    }
    Result SetLevel(int level) {
        return audio::WriteWord(*bridge, recording, kMicLevel, -1,
                                PropertyWord::Float(audio::LevelToScalar(level)));
    }
    std::optional<int> Level() {
        double v = -1;
        if (audio::ReadNumber(*bridge, recording, kMicLevel, -1, v) != Result::Ok)
            return std::nullopt;
        return audio::ScalarToLevel(v);
    }
    Result SetMute(int muted) {
        return audio::WriteWord(*bridge, recording, kMicMute, std::nullopt,
                                PropertyWord::Int(muted));
    }
    std::optional<double> Number(const audio::DeviceRecord& device, const char* name,
                                 std::optional<std::int32_t> selector = std::nullopt) {
        double v = -1;
        if (audio::ReadNumber(*bridge, device, name, selector, v) != Result::Ok)
            return std::nullopt;
        return v;
    }
};

TEST(SimAudioStore, MicLevelAndMuteRoundTripAndBadValuesChangeNothing) {
    Headset h({});
    // A fresh device lacks the properties; the headset then writes its defaults.
    EXPECT_EQ(h.Level(), std::nullopt);
    EXPECT_EQ(h.Number(h.recording, kMicMute), std::nullopt);

    for (int level : {0, 28, 29, 37, 57, 99, 100}) {
        ASSERT_EQ(h.SetLevel(level), Result::Ok);
        EXPECT_EQ(h.Level(), level);
    }
    for (int muted : {1, 0, 1}) {
        ASSERT_EQ(h.SetMute(muted), Result::Ok);
        EXPECT_EQ(h.Number(h.recording, kMicMute), muted);
    }
    EXPECT_EQ(audio::WriteWord(*h.bridge, h.recording, kMicLevel, -1, PropertyWord::Float(1.5f)),
              Result::BadValue);
    EXPECT_EQ(h.SetMute(2), Result::BadValue);
    EXPECT_EQ(h.Level(), 100);
    EXPECT_EQ(h.Number(h.recording, kMicMute), 1);

    // The selector picks a separate value; the other device has its own properties.
    EXPECT_EQ(h.Number(h.recording, kMicLevel, 0), std::nullopt);
    EXPECT_EQ(h.Number(h.playback, kMicLevel, -1), std::nullopt);
    EXPECT_EQ(h.Number(h.recording, "GetAAMaxVol"), 100);
    EXPECT_EQ(audio::WriteWord(*h.bridge, h.recording, "GetAAMaxVol", {}, PropertyWord::Int(3)),
              Result::Failed);

    std::array<std::byte, audio::kFeatureBufferBytes> features{};
    ASSERT_EQ(h.bridge->PropertyControl(h.recording, "GetSupportFeature", features, {}, false),
              Result::Ok);
    std::string list;
    for (std::size_t i = 0; i < features.size() && features[i] != std::byte{0}; i += 2)
        list.push_back(static_cast<char>(features[i]));
    auto words = audio::ParseSupportFeature(list);
    ASSERT_TRUE(words);
    EXPECT_TRUE((*words)[0] & SimAudioStore::kMagicVoiceFeature);
}

TEST(SimAudioStore, StatePersistsAcrossInstancesAndADamagedFileStartsEmpty) {
    test::TempDir dir;
    const std::string file = AudioStatePath(dir.File("sim.json"));
    {
        Headset first({file});
        ASSERT_EQ(first.SetLevel(29), Result::Ok);
        ASSERT_EQ(first.SetMute(1), Result::Ok);
        ASSERT_EQ(audio::WriteWord(*first.bridge, first.playback, "EQ_Slider3", {},
                                   PropertyWord::Int(-5)),
                  Result::Ok);
    }
    {
        Headset second({file});
        EXPECT_EQ(second.Level(), 29);
        EXPECT_EQ(second.Number(second.recording, kMicMute), 1);
        EXPECT_EQ(second.Number(second.playback, "EQ_Slider3"), -5);
        EXPECT_EQ(second.Number(second.recording, "EQ_Slider3"), std::nullopt);
    }
    // Each damaged file also holds a good entry, which must not be taken alone.
    for (const char* damaged :
         {"{ not json", R"({"recording": {"VolumeScalarControl/-1": 0.5, "MuteControl": "yes"}})",
          R"({"recording": {"VolumeScalarControl/-1": 0.5}, "playback": 3})"}) {
        SCOPED_TRACE(damaged);
        dir.Write("sim.json.audio.json", damaged);
        Headset third({file});
        EXPECT_EQ(third.Level(), std::nullopt);
        EXPECT_EQ(third.Number(third.playback, "EQ_Slider3"), std::nullopt);
    }
}

TEST(SimAudioStore, FailedStartLeavesABridgeThatRefusesAndSaysWhy) {
    auto bridge = audio::MakeAudioBridge(
        std::make_unique<SimAudioStore>(SimAudioOptions{.stateFile = {}, .failInit = true}));
    EXPECT_EQ(bridge->Init(), Result::Unavailable);
    EXPECT_EQ(bridge->CreateDeviceList(), Result::Unavailable);
    EXPECT_NE(bridge->UnavailableReason().find("failed to initialise"), std::string::npos);
    EXPECT_EQ(AudioStatePath(""), "");
}

}  // namespace
}  // namespace morva::sim
