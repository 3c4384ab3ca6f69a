// Where a headset's sound goes: the simulated property store for simulated headsets, the ALSA
// mixer of the sound card on the headset's USB device for real ones.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/audio/audio_bridge.h"
#include "device/device_tables.h"

namespace morva::app {

using AudioBridgeFactory =
    std::function<std::unique_ptr<audio::IAudioBridge>(const SupportedInterface& command)>;

// `simStateFile`: the simulated devices' state file (their audio state is kept beside it).
AudioBridgeFactory HeadsetAudioFactory(bool simulated, const std::string& simStateFile);

}  // namespace morva::app
