// Where morvactl's headset commands send the sound: the simulated property store kept beside
// the simulated devices' state (the program reads the same file), or the ALSA mixer of the
// sound card on the real headset's USB device.
#pragma once

#include <memory>
#include <string>

#include "device/audio/audio_bridge.h"
#include "device/hid/hid_backend.h"

namespace morva::cli {

// `simStateFile` is the --sim-state file (may be empty); on the HID bus the headset's command
// interface on `backend` leads to its sound card. Never null: a bridge without a back end
// says why.
std::unique_ptr<audio::IAudioBridge> HeadsetAudioBridge(bool simulated,
                                                        const std::string& simStateFile,
                                                        hid::IHidBackend& backend);

}  // namespace morva::cli
