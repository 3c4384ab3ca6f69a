#include "tools/morvactl/headset_audio_source.h"

#include "device/device_tables.h"
#include "platform/alsa/alsa_mixer_backend.h"
#include "sim/audio_store.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/interface_scan.h"

namespace morva::cli {

std::string HidrawSysfsDevice(const std::string& path) {
    const std::string node = path.substr(0, path.find('#'));
    const std::size_t slash = node.rfind('/');
    const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
    if (!name.starts_with("hidraw"))
        return {};
    return "/sys/class/hidraw/" + name + "/device";
}

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
    const std::string sysfs = path.empty() ? std::string() : HidrawSysfsDevice(path);
    const auto usb = sysfs.empty() ? std::nullopt : alsa::UsbDeviceFolder(sysfs);
    const auto card = usb ? alsa::CardForUsbDevice(*usb) : std::nullopt;
    if (!card)
        return audio::MakeAudioBridge(nullptr, "no sound card on the headset's USB device");
    return audio::MakeAudioBridge(std::make_unique<alsa::AlsaMixerBackend>(*card));
}

}  // namespace morva::cli
