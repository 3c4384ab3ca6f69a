#include "app/headset_audio.h"

#include "platform/alsa/alsa_mixer_backend.h"
#include "sim/audio_store.h"

namespace morva::app {

AudioBridgeFactory HeadsetAudioFactory(bool simulated, const std::string& simStateFile) {
    if (simulated) {
        return [state = sim::AudioStatePath(simStateFile)](const SupportedInterface&) {
            sim::SimAudioOptions options;
            options.stateFile = state;
            return audio::MakeAudioBridge(std::make_unique<sim::SimAudioStore>(options));
        };
    }
    return
        [](const SupportedInterface& command) { return alsa::MixerBridgeForHidPath(command.path); };
}

}  // namespace morva::app
