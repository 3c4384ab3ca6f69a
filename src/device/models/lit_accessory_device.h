// The lit accessories (pad, headset): no keys, a profile of lighting, and one setting record
// per profile that names the active profile and its light mode. The preview's frames are
// their light while the program drives it; modes 6 and 7 play the music levels.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device/models/default_data.h"
#include "device/models/keyboard_light.h"
#include "device/models/usb_device.h"
#include "profile/basic_profiledata.h"

namespace morva {

// Records are 29 bytes apart: the device reads a whole record and the host writes its first 21.
inline constexpr std::size_t kLitRecordStride = 29;
inline constexpr std::size_t kLitRecordSize = 21;

namespace litrec {
inline constexpr std::size_t kProfile = 0;
inline constexpr std::size_t kMode = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3;
inline constexpr std::size_t kMultiColour = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
}  // namespace litrec

using LitRecord = std::array<std::uint8_t, kLitRecordSize>;

// Address of profile `profile`'s record in the setting space, for reading and writing alike.
constexpr std::uint16_t LitRecordAddress(int profile) {
    return static_cast<std::uint16_t>(profile * static_cast<int>(kLitRecordStride));
}

// LED pairs of the music bars (mode 7): both LEDs of a pair show the bar's level.
using LedPair = std::array<int, 2>;

class CLitAccessoryDevice : public CTessaronUSBDevice {
public:
    CLitAccessoryDevice(hid::IHidBackend& backend, IClock& clock,
                        std::unique_ptr<CBasicProfiledata> profile, std::uint16_t deviceType,
                        int lightConfigKind);
    ~CLitAccessoryDevice() override;

    // ---- Device operations ----
    void ApplyLightSettings() override;
    void ReadActiveProfile() override;
    void RefreshPowerStatus() override;
    int LoadProfile() override;
    void RefreshPage() override;
    void LoadDefaultProfile() override;
    // The record to the profile the device is on; 1 written, else the first failing
    // exchange's code (0 when the device is not connected).
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
    const CDeviceDefaultData& DefaultData() const { return defaults_; }
    CBasicProfiledata* ProfileData() override { return profile_.get(); }
    const CDeviceDefaultData* PresetData() const override { return &defaults_; }
    int ActiveProfile() const;
    LitRecord RecordCopy() const;
    // The bytes DownloadSettings sends: device mode code and 4 - speed.
    LitRecord BuildRecord() const;
    // Device code of a page light mode and back (-1 when no mode has the code).
    int LightModeCode(int mode) const;
    int LightModeOfCode(int code) const;

    // ---- Lighting preview (light thread) ----
    virtual void EffectWave() = 0;
    void EffectReactive();
    void EffectMusic();
    std::uint8_t WaveCounter() const { return counter_; }
    void SetWaveCounter(std::uint8_t value) { counter_ = value; }

protected:
    EffectStep LightModeStep(int mode) const override;
    int MusicBarCount(int mode) const override;
    // The per-LED light list over the mode's frame.
    void AfterLightPass() override;
    // Reads the device's information block, then the profile, the page and the light thread.
    void ReadInfoAndStart();
    // The device's own profile load after the lighting (the headset's audio stages).
    virtual void OnProfileLoaded() {}
    virtual std::span<const LedPair> MusicPairs() const = 0;
    // Mode 0 as a product draws it: the colour wheel (multicolour) or the wave curve of the
    // fixed colour, moved along the LEDs.
    struct WaveShape {
        int wheelStride;  // wheel places between LEDs
        int curveStep;    // curve places per step
        int curveStart;   // curve place of LED 0 after the counter
        int curveStride;  // curve places between LEDs
    };
    void PlayWave(const WaveShape& shape);

    std::unique_ptr<CBasicProfiledata> profile_;

private:
    // The active profile and its record; false (nothing changed) when a read failed.
    bool ReadRecord(std::array<std::uint8_t, kLitRecordStride>& record, int& active);
    // Modes 6 and 7: the music levels as bars; `pairs` lights the LED pairs only.
    void MusicStep(bool pairs);

    std::uint16_t deviceType_;
    CDeviceDefaultData defaults_;

    mutable std::mutex stateLock_;
    LitRecord recordCopy_{};
    int activeProfile_ = 0;

    // The keyboard's per-key overlay serves the LEDs; used under the LED list's lock.
    CKeyboardLight overlay_{Engine()};

    // Light thread only.
    std::uint8_t counter_ = 0;
    std::uint8_t stepCount_ = 0;
};

}  // namespace morva
