// The headset's microphone and monitor controls on the ALSA mixer of its USB sound card.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/audio/audio_bridge.h"

namespace morva::alsa {

// The USB device folder (the one with idVendor) that holds a sysfs node, e.g. the hidraw
// node's device (/sys/class/hidraw/hidrawN/device); nullopt outside a USB device.
std::optional<std::filesystem::path> UsbDeviceFolder(const std::filesystem::path& sysfsNode);
// "hw:N" for the sound card below a USB device's sysfs folder (…/sound/cardN).
std::optional<std::string> CardForUsbDevice(const std::filesystem::path& usbDevice);
// "hw:N" for the first card whose id, name or long name contains `name`, ignoring case.
std::optional<std::string> FindCardByName(std::string_view name);

// The sysfs folder of a hidraw path ("/dev/hidraw3#…"): /sys/class/hidraw/hidraw3/device;
// empty for a path that names no hidraw node.
std::string HidrawSysfsDevice(const std::string& path);

// A bridge to the mixer of the sound card on the USB device behind a hidraw path; when there
// is none, a bridge that refuses every call and says why.
std::unique_ptr<audio::IAudioBridge> MixerBridgeForHidPath(const std::string& path);

// What the card offers; the rest is reported as unknown properties, never faked.
struct MixerCapabilities {
    bool micVolume = false;
    bool micSwitch = false;
    bool monitorVolume = false;
    bool monitorSwitch = false;
    bool playbackVolume = false;
};

// Maps, on the recording device, "VolumeScalarControl" and "MuteControl" to the microphone's
// capture volume and switch, and "AAVolumeScalarControl", "AAMuteControl" and "GetAAMaxVol"
// to its playback (monitor) volume and switch; "VolumeScalarControl" on the playback device
// to the card's playback volume.
class AlsaMixerBackend : public audio::IAudioBackend {
public:
    // Any ALSA control name: "hw:2" or a device of the ALSA configuration.
    explicit AlsaMixerBackend(std::string ctlName);
    ~AlsaMixerBackend() override;

    bool Init(std::string& whyNot) override;
    std::vector<audio::DeviceRecord> Devices(audio::DataFlow flow) override;
    audio::Result Read(const audio::DeviceRecord& device, std::string_view name,
                       std::span<const std::int32_t> selector, std::u16string& text) override;
    audio::Result Write(const audio::DeviceRecord& device, std::string_view name,
                        std::span<const std::int32_t> selector, audio::PropertyWord value) override;
    void Uninit() override;

    MixerCapabilities Capabilities() const;

    static constexpr audio::DeviceRecord kPlayback{1, audio::kPlaybackDeviceType, 0,
                                                   audio::kDeviceUsable};
    static constexpr audio::DeviceRecord kRecording{2, audio::kRecordingDeviceType, 1,
                                                    audio::kDeviceUsable};

private:
    struct Mixer;
    std::string ctlName_;
    std::unique_ptr<Mixer> mixer_;
};

}  // namespace morva::alsa
