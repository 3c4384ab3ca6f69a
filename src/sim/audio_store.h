// The simulated headset's audio devices: a property store behind the audio bridge, kept in a
// state file beside the simulated firmware's.
#pragma once

#include <map>
#include <string>

#include "device/audio/audio_bridge.h"

namespace morva::sim {

struct SimAudioOptions {
    std::string stateFile;  // empty: every run starts with no properties
    bool failInit = false;  // stands for a back end that cannot start
};

// The audio state file that goes with a --sim-state file; empty for an empty one.
std::string AudioStatePath(const std::string& simStateFile);

class SimAudioStore : public audio::IAudioBackend {
public:
    explicit SimAudioStore(SimAudioOptions options = {});

    bool Init(std::string& whyNot) override;
    std::vector<audio::DeviceRecord> Devices(audio::DataFlow flow) override;
    audio::Result Read(const audio::DeviceRecord& device, std::string_view name,
                       std::span<const std::int32_t> selector, std::u16string& text) override;
    audio::Result Write(const audio::DeviceRecord& device, std::string_view name,
                        std::span<const std::int32_t> selector, audio::PropertyWord value) override;
    void Uninit() override {}

    static constexpr audio::DeviceRecord kPlayback{1, audio::kPlaybackDeviceType, 0,
                                                   audio::kDeviceUsable};
    static constexpr audio::DeviceRecord kRecording{2, audio::kRecordingDeviceType, 1,
                                                    audio::kDeviceUsable};
    // Voice changer support (feature word 0) on the recording device.
    static constexpr std::uint32_t kMagicVoiceFeature = 0x20000;

private:
    struct Value {
        bool scalar = false;
        std::int32_t integer = 0;
        float real = 0;
    };
    using Properties = std::map<std::string, Value>;

    Properties* DeviceProperties(const audio::DeviceRecord& device);
    bool Load();
    bool Save() const;

    SimAudioOptions options_;
    Properties playback_;
    Properties recording_;
};

}  // namespace morva::sim
