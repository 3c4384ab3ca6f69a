// The USB headset: 13 LEDs lit by the program's frames (LED output reports), the lit
// accessories' setting record, and its sound (microphone, monitor, equaliser, voice changer)
// as named properties of its audio devices through the audio bridge. The profile keeps the
// sound settings; what the audio back end cannot carry is reported, never pretended.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "device/audio/audio_bridge.h"
#include "device/models/frame_rate_log.h"
#include "device/models/lit_accessory_device.h"
#include "profile/vu6533_profiledata.h"

namespace morva {

inline constexpr int kHeadsetLeds = 13;
inline constexpr int kEqBandCount = CVu6533Profiledata::kEqBands;
inline constexpr int kEqPresetCount = 12;
inline constexpr int kEqCustom = 13;  // the equaliser type of the named curves
inline constexpr int kMaxCustomEqs = 20;
inline constexpr int kVoiceEffects = 4;
inline constexpr int kHeadsetColourMax = 247;

using EqBands = std::array<int, kEqBandCount>;
// Gain per band of presets 1..12.
const std::array<EqBands, kEqPresetCount>& EqPresets();

// The LED output report: id, target group, register, 0, colour values.
inline constexpr std::size_t kLedReportSize = 17;
inline constexpr std::uint8_t kLedReportId = 0xFF;
using LedReport = std::array<std::uint8_t, kLedReportSize>;
using LedFrame = std::array<std::array<std::uint8_t, 3>, kHeadsetLeds>;  // red, green, blue
// A frame's 12 reports for per-LED red, green, blue (each 0..247).
std::array<LedReport, 12> BuildLedReports(const LedFrame& rgb);

// The sound functions the page offers, each available or not on this system.
enum class SoundFeature { MicLevel, MicMute, MonitorLevel, MonitorMute, Equaliser, VoiceChanger };

// What the sound panels show.
struct HeadsetSoundView {
    HeadsetSystemSetStages stages;
    EqBands bands{};
    std::vector<std::string> customNames;
    int customShown = -1;  // the curve the name list selects, -1 none
};

class CTessaronVU6533Device : public CLitAccessoryDevice {
public:
    explicit CTessaronVU6533Device(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    ~CTessaronVU6533Device() override;

    // ---- Device operations ----
    void ReadFromDevice() override;
    // Hands the frame to the LED sender; the reports go out on its own thread.
    bool PresentLightFrame() override;
    // Waits until the frames handed over have been written; false after `limit`.
    bool WaitLedFramesSent(std::chrono::milliseconds limit);
    void EffectWave() override;
    CVu6533Profiledata& Profile() { return static_cast<CVu6533Profiledata&>(*profile_); }

    // ---- Audio ----
    // The bridge to use; the next StartAudio starts it.
    void SetAudioBridge(std::unique_ptr<audio::IAudioBridge> bridge);
    // Initialises the bridge, chooses the playback and recording devices, gives properties
    // the device lacks their defaults and reads the sound state. Once per page.
    void StartAudio();
    // A playback and a recording device of the headset were found.
    bool SoundReady() const { return audioReady_; }
    bool Available(SoundFeature feature) const;
    // Why sound functions are missing, empty when the back end carries them all.
    std::string SoundUnavailableReason() const;
    HeadsetSoundView SoundView() const;

    // ---- Use-case operations (page and morvactl) ----
    // Every change takes effect in the audio device first; a refused or failed write changes
    // nothing. The equaliser and voice settings are kept in the profile even where the audio
    // device lacks them. Each stores the stages it changes and saves the profile.
    [[nodiscard]] OpResult SetMicLevel(int level);
    [[nodiscard]] OpResult SetMicMuted(bool muted);
    [[nodiscard]] OpResult SetMonitorLevel(int level);
    [[nodiscard]] OpResult SetMonitorMuted(bool muted);
    // One band moved by hand: the equaliser becomes custom without a curve; nothing is saved
    // until a curve is saved or a preset chosen.
    [[nodiscard]] OpResult SetEqBand(int band, int value);
    // Presets 1..12, or 13: the custom curve `customIndex` (-1: the bands stay).
    [[nodiscard]] OpResult SelectEqPreset(int preset, int customIndex = -1);
    [[nodiscard]] OpResult ApplyCustomEq(int index);
    // A new curve `name` from `bands`, or (empty name) the curve `selected` overwritten.
    // Refused: a name taken (ignoring case; kMsgNameTaken), 20 curves, no name nor curve.
    [[nodiscard]] OpResult SaveCustomEq(const std::string& name, int selected,
                                        const EqBands& bands);
    [[nodiscard]] OpResult DeleteCustomEq(int index);
    [[nodiscard]] OpResult SetVoiceChanger(bool on);
    [[nodiscard]] OpResult SetVoiceEffect(int effect);
    // Index of the curve named `name` (ignoring case), -1 when none.
    int FindCustomEq(const std::string& name) const;

protected:
    std::span<const LedPair> MusicPairs() const override;
    void OnProfileLoaded() override;

private:
    enum class Device { Playback, Recording };
    // Reads the microphone, monitor and voice changer state into the stages.
    void ReadSoundState();
    void WriteDefaults();
    bool Has(Device device, std::string_view property) const;
    // One property write; Ok without writing when the device lacks the property.
    audio::Result Write(Device device, std::string_view property,
                        std::optional<std::int32_t> selector, audio::PropertyWord value);
    audio::Result WriteBands(const EqBands& bands);
    const audio::DeviceRecord& Record(Device device) const;
    OpResult StoreAndSave(bool bands = false);
    OpResult WriteFailed(audio::Result result) const;

    std::unique_ptr<audio::IAudioBridge> bridge_;
    bool audioReady_ = false;  // a playback and a recording device were found
    std::string audioReason_;
    audio::DeviceRecord playback_{};
    audio::DeviceRecord recording_{};
    std::uint32_t recordingFeature_ = 0;
    // Properties each device answered to (or took a default for).
    std::set<std::string, std::less<>> playbackHas_;
    std::set<std::string, std::less<>> recordingHas_;

    // UI thread only.
    HeadsetSystemSetStages stages_;
    EqBands bands_{};
    std::vector<std::string> customNames_;
    int customShown_ = -1;

    // UI thread only: the last frame handed over.
    LedFrame lastFrame_{};
    bool sentOnce_ = false;
    IClock::TimePoint lastSentAt_{};

    // A frame's 12 reports take the link about as long as a frame lasts, so they are written
    // off the UI thread; only the newest waiting frame matters.
    void SendLoop(std::stop_token stop);
    std::mutex sendLock_;
    std::condition_variable_any sendWake_;
    std::optional<LedFrame> pendingFrame_;
    bool sending_ = false;
    CFrameRateLog frameRate_{kDeviceTypeHeadset};  // sender thread only
    std::jthread sender_;                          // last: stops before the rest goes
};

}  // namespace morva
