#include "tools/morvactl/headset_audio_source.h"

#include "device/device_tables.h"
#include "platform/alsa/alsa_mixer_backend.h"
#include "sim/audio_store.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/interface_scan.h"

namespace morva::cli {

std::unique_ptr<audio::IAudioBridge> HeadsetAudioBridge(bool simulated,
                                                        const std::string& simStateFile,
                                                        hid::IHidBackend& backend) {
    if (simulated) {
        sim::SimAudioOptions options;
        options.stateFile = sim::AudioStatePath(simStateFile);
        return audio::MakeAudioBridge(std::make_unique<sim::SimAudioStore>(options));
    }
    const int row = RowsOf(kDeviceTypeHeadset).cableRow;
    std::string path;
    for (const FoundInterface& f : ScanSupportedInterfaces(backend).interfaces) {
        if (f.row == row) {
            path = f.path;
            break;
        }
    }
    return alsa::MixerBridgeForHidPath(path);
}

}  // namespace morva::cli
