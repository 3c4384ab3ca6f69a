#include "app/headset_audio.h"

#include "platform/alsa/alsa_mixer_backend.h"
#include "sim/audio_store.h"

namespace morva::app {

std::string HidrawSysfsDevice(const std::string& path) {
    const std::string node = path.substr(0, path.find('#'));
    const std::size_t slash = node.rfind('/');
    const std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
    if (!name.starts_with("hidraw"))
        return {};
    return "/sys/class/hidraw/" + name + "/device";
}

AudioBridgeFactory HeadsetAudioFactory(bool simulated, const std::string& simStateFile) {
    if (simulated) {
        return [state = sim::AudioStatePath(simStateFile)](const SupportedInterface&) {
            sim::SimAudioOptions options;
            options.stateFile = state;
            return audio::MakeAudioBridge(std::make_unique<sim::SimAudioStore>(options));
        };
    }
    return [](const SupportedInterface& command) {
        const std::string sysfs = HidrawSysfsDevice(command.path);
        const auto usb = sysfs.empty() ? std::nullopt : alsa::UsbDeviceFolder(sysfs);
        const auto card = usb ? alsa::CardForUsbDevice(*usb) : std::nullopt;
        if (!card)
            return audio::MakeAudioBridge(nullptr, "no sound card on the headset's USB device");
        return audio::MakeAudioBridge(std::make_unique<alsa::AlsaMixerBackend>(*card));
    };
}

}  // namespace morva::app
