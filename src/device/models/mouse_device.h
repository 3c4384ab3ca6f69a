// The mouse: reads its information, factory key table and setting block, keeps the profile,
// and writes button assignments, macros, recoil patterns and the setting block back; plays
// the mouse's lighting in the preview and reacts to the mouse's event words.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/models/default_data.h"
#include "device/models/shoot_patterns.h"
#include "device/models/usb_device.h"
#include "profile/mouse_profiledata.h"

namespace morva {

inline constexpr int kMouseButtons = 11;
inline constexpr int kMouseLeds = 15;
inline constexpr int kMouseDpiStages = 5;
// Key position of a button the factory table does not know.
inline constexpr int kNoKeyPosition = 170;
inline constexpr std::size_t kMouseSettingReadSize = 71;
inline constexpr std::size_t kMouseSettingWriteSize = 66;
inline constexpr int kMouseLightModes = 10;  // page modes 0..9 have effect steps

// The factory assignment by which each on-screen button finds its key position.
const std::array<KeyCode, kMouseButtons>& MouseButtonReferences();
// The list with an entry for every button; missing ones keep the button's factory function.
std::vector<KeyListEntry> CompleteKeyList(std::vector<KeyListEntry> keys);
// LEDs the group effects treat as one bar each.
std::span<const std::vector<int>> MouseLedGroups();

// The sensor's DPI scale, from the information block.
struct MouseSensor {
    int id = 0;         // bytes 9-10
    int step = 1;       // byte 11: DPI per slider unit
    int maxSlider = 0;  // bytes 12-13
    int minDpi = 0;     // bytes 14-15
    static constexpr int kTwoRangeSensor = 0x3325;

    static MouseSensor FromInfo(std::span<const std::uint8_t, kInfoBlockSize> info);
    // The DPI a slider value stands for, and back (raised to the minimum first, held at the
    // maximum slider value when that is known).
    int DpiOfSliderValue(int value) const;
    int SliderValueOfDpi(int dpi) const;
};

class CTessaronMouseDevice : public CTessaronUSBDevice {
public:
    // Random wheel index for the reactive effect; tests make it predictable.
    using RandomSource = std::function<int()>;

    explicit CTessaronMouseDevice(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    ~CTessaronMouseDevice() override;

    // ---- Device operations ----
    void ApplyLightSettings() override;
    void ReadFromDevice() override;
    void ReadActiveProfile() override;
    void RefreshPowerStatus() override;
    bool IsWirelessReachable() override;
    int LoadProfile() override;
    void RefreshPage() override;
    void LoadDefaultProfile() override;
    std::vector<int> GetUsedMacros() override;
    // Results: 1 written, else the first failing exchange's code (0 when nothing was sent).
    int DownloadKeyTable(int page, const std::vector<KeyListEntry>& keys) override;
    int DownloadCurrentKeyTable(int page) override;
    // 0 written, nothing to write or no mouse connected (nothing sent), n > 0 the image is
    // about n events too large, negative: not written (-1 also when the wireless mouse is out
    // of reach).
    int DownloadMacros(const std::vector<int>& macros) override;
    int DownloadSettings(int profile, int value0, int value59, int width, int height) override;
    void LoadDefaultData() override;
    void SetProfilePaths() override;
    std::string GetProfilePath() const override;
    int SaveProfile() override;
    void SetLightInfo(const LightInfo& info) override;
    void OnEventWord(std::uint16_t word, EventLink link) override;
    // Writes the four recoil patterns of the user data folder; the first failing code,
    // kResultImageTooLarge (nothing sent) when they do not fit one image.
    int DownloadShootPatterns();

    // ---- Use-case operations (see the base) ----
    // A stage's DPI as a slider value, held to the sensor's range; a stage without a Y value
    // of its own moves both axes. Stages 0..4; a shorter list gets the stage added.
    OpResult ChangeStageDpi(int stage, int sliderValue);
    // The same from a DPI number (typed, or from morvactl): needs the sensor's scale.
    OpResult ChangeStageDpiValue(int stage, int dpi);
    // Never the stage in use, nor the last one on: the DPI button needs one to switch to.
    OpResult ChangeStageEnabled(int stage, bool on);
    // A stage's LED colour, 0x??RRGGBB (the top byte is ignored); a shorter list gets the
    // stage added.
    OpResult ChangeStageColour(int stage, std::uint32_t rgb);
    OpResult ChangeActiveStage(int stage);
    // Report rate option 0..4.
    OpResult ChangeReportRate(int option);
    // The desktop's pointer values the profile keeps (not sent: the mouse does not hold them).
    OpResult ChangeSystemValues(const MouseSystemStages& values);
    // The last left button keeps its function; a macro must be on the list.
    OpResult CanAssignKey(int key) const override;
    OpResult AssignKey(int key, const KeyListEntry& entry, KeySend send) override;
    bool CanDisableStage(int stage) const;

    // ---- Recoil patterns: weapons 0..kShootWeapons-1, bullets 0..kShootBullets-1 ----
    // Weapon files that are missing or do not parse get the factory pattern again.
    void RestoreShootPatterns();
    std::array<ShootBullet, kShootBullets> ShootPattern(int weapon) const;
    // Writes the bullet (held to range) into the weapon's file; the mouse is not sent it.
    OpResult ChangeShootBullet(int weapon, int bullet, const ShootBullet& values);
    // All four files to the mouse.
    OpResult SendShootPatterns();
    // Copies: the whole source is read before the target is replaced, so a source that
    // cannot be read leaves the target as it was.
    OpResult ImportShootPattern(int weapon, const std::string& path);
    OpResult ExportShootPattern(int weapon, const std::string& path);
    OpResult ResetShootPattern(int weapon);

    // ---- Data the page shows ----
    CMouseProfiledata& Profile() { return profile_; }
    const CDeviceDefaultData& DefaultData() const { return defaults_; }
    CBasicProfiledata* ProfileData() override { return &profile_; }
    const CDeviceDefaultData* PresetData() const override { return &defaults_; }
    // Button assignments of the current profile (entry i belongs to button i).
    std::vector<KeyListEntry> KeyList() const override;
    void SetKeyList(const std::vector<KeyListEntry>& list);
    std::vector<DpiStage> GetDpiStages() const;
    void SetDpiStages(const std::vector<DpiStage>& stages);
    int ActiveDpiStage() const;
    void SelectDpiStage(int index);
    MouseSystemStages GetSystemValues() const;
    void SetSystemValues(const MouseSystemStages& values);
    void SetPollingRate(int index);
    // Key position of an on-screen button, kNoKeyPosition when the mouse has none for it.
    int ButtonPosition(int button) const;
    MouseSensor Sensor() const;
    int ActiveProfile() const;
    std::array<std::uint8_t, kMouseSettingReadSize> SettingCopy() const;
    // The 66 bytes DownloadSettings writes.
    std::array<std::uint8_t, kMouseSettingWriteSize> BuildSettingBlock(int value0, int value59,
                                                                       int width, int height) const;
    // Device code of a page light mode (modes above 9 send mode 0's code), and back (-1: none).
    int LightModeCode(int mode) const;
    int LightModeOfCode(int code) const;

    // Entry of the custom effect list being played.
    int EffectPosition() { return EffectPlayer().Position(); }

    void TriggerReactive();
    void SetRandomSource(RandomSource random) { random_ = std::move(random); }

protected:
    void StoreKeyList(const std::vector<KeyListEntry>& keys) override { SetKeyList(keys); }
    EffectStep LightModeStep(int mode) const override;
    int MusicBarCount(int mode) const override;

private:
    void EffectWave();
    void EffectMusic();
    void EffectReactive();
    int MacroCount() const;
    void WalkMacroButtons(const std::vector<KeyListEntry>& keys, int macroCount,
                          std::vector<int>& used, std::vector<std::uint8_t>* table) const;

    CMouseProfiledata profile_;
    CDeviceDefaultData defaults_;
    RandomSource random_;

    mutable std::mutex stateLock_;  // what the event readers change
    std::array<std::uint8_t, 512> defaultKeyTable_{};
    std::array<int, kMouseButtons> buttonPosition_{};
    int activeProfile_ = 0;
    std::array<std::uint8_t, kMouseSettingReadSize> settingCopy_{};
    std::vector<KeyListEntry> keyList_;
    std::vector<DpiStage> dpiStages_;
    MouseSystemStages systemValues_;
};

}  // namespace morva
