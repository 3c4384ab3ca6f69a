// The lit mouse pad: lighting only. Reads its information, keeps the profile, writes the
// setting record of the profile the pad is on, and plays its light modes in the preview,
// whose frames are the pad's light while the program drives it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "device/models/default_data.h"
#include "device/models/keyboard_light.h"
#include "device/models/usb_device.h"
#include "profile/basic_profiledata.h"

namespace morva {

inline constexpr int kPadLeds = 15;
// Records are 29 bytes apart: the pad reads a whole record and the host writes its first 21.
inline constexpr std::size_t kPadRecordStride = 29;
inline constexpr std::size_t kPadRecordSize = 21;
inline constexpr int kPadLightModes = 9;  // presets 0..8, then the user's effects

namespace padrec {
inline constexpr std::size_t kProfile = 0;
inline constexpr std::size_t kMode = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3;
inline constexpr std::size_t kMultiColour = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
}  // namespace padrec

using PadRecord = std::array<std::uint8_t, kPadRecordSize>;

// Address of profile `profile`'s record in the setting space, for reading and writing alike.
constexpr std::uint16_t PadRecordAddress(int profile) {
    return static_cast<std::uint16_t>(profile * static_cast<int>(kPadRecordStride));
}

class CTessaronMousePadDevice : public CTessaronUSBDevice {
public:
    explicit CTessaronMousePadDevice(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    ~CTessaronMousePadDevice() override;

    // ---- Device operations ----
    void ApplyLightSettings() override;
    void ReadFromDevice() override;
    void ReadActiveProfile() override;
    void RefreshPowerStatus() override;
    int LoadProfile() override;
    void RefreshPage() override;
    void LoadDefaultProfile() override;
    // The record to the profile the pad is on; 1 written, else the first failing exchange's
    // code (0 when the pad is not connected).
    int DownloadSettings(int profile, int value0, int value59, int width, int height) override;
    void LoadDefaultData() override;
    void SetProfilePaths() override;
    std::string GetProfilePath() const override;
    int SaveProfile() override;
    void SetDeviceKind(int kind) override;
    void SetLightInfo(const LightInfo& info) override;
    void MusicPeaks() override;
    void OnEventWord(std::uint16_t word, EventLink link) override;

    // ---- Data the page shows ----
    CBasicProfiledata& Profile() { return profile_; }
    const CDeviceDefaultData& DefaultData() const { return defaults_; }
    CBasicProfiledata* ProfileData() override { return &profile_; }
    const CDeviceDefaultData* PresetData() const override { return &defaults_; }
    int ActiveProfile() const;
    PadRecord RecordCopy() const;
    // The bytes DownloadSettings sends: device mode code and 4 - speed.
    PadRecord BuildRecord() const;
    // Device code of a page light mode and back (-1 when no mode has the code).
    int LightModeCode(int mode) const;
    int LightModeOfCode(int code) const;

    // ---- Lighting preview (light thread) ----
    void EffectWave();
    void EffectReactive();
    void EffectMusic();
    std::uint8_t WaveCounter() const { return counter_; }
    void SetWaveCounter(std::uint8_t value) { counter_ = value; }

protected:
    EffectStep LightModeStep(int mode) const override;
    // The per-LED light list over the mode's frame.
    void AfterLightPass() override;

private:
    // The active profile and its record; false (nothing changed) when a read failed.
    bool ReadRecord(std::array<std::uint8_t, kPadRecordStride>& record, int& active);
    // Modes 6 and 7: the music levels as bars; `pairs` lights the LED pairs only.
    void MusicStep(bool pairs);

    CBasicProfiledata profile_;
    CDeviceDefaultData defaults_;

    mutable std::mutex stateLock_;
    PadRecord recordCopy_{};
    int activeProfile_ = 0;

    // The keyboard's per-key overlay serves the pad's LEDs; used under the LED list's lock.
    CKeyboardLight overlay_{Engine()};

    // Light thread only.
    std::uint8_t counter_ = 0;
    std::uint8_t stepCount_ = 0;
};

}  // namespace morva
