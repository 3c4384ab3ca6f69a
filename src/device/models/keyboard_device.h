// The keyboard: reads its information, factory key table and LED index table, finds the
// on-screen keys among its key positions, keeps the profile, and writes the setting record,
// both key tables (normal and Fn layer) and the macros back; reacts to the keyboard's event
// words; previews the keyboard's light modes on the page.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/models/default_data.h"
#include "device/models/keyboard_keys.h"
#include "device/models/keyboard_light.h"
#include "device/models/usb_device.h"
#include "profile/keyboard_profiledata.h"

namespace morva {

inline constexpr std::size_t kKeyboardRecordSize = 29;
// A UI key the keyboard does not have, or that lights no LED.
inline constexpr int kKeyAbsent = 255;
inline constexpr int kKeyboardPollingRates = 4;
inline constexpr int kKeyboardRepeatDelays = 4;
inline constexpr int kKeyboardDebounceMax = 5;
// What "repeat_rate_slider" offers.
inline constexpr int kKeyboardRepeatRateMin = 0;
inline constexpr int kKeyboardRepeatRateMax = 20;
// Light modes: the presets 0..30, then the user's effects.
inline constexpr int kKeyboardLightModes = 31;
// Mode 19 shows one of the custom colour groups; each takes this much of the keyboard's
// custom colour memory, 3 bytes per LED index.
inline constexpr int kCustomColourMode = 19;
inline constexpr int kKeyboardCustomGroups = 3;
inline constexpr std::size_t kCustomGroupStride = 384;

// Bytes of the setting record.
namespace krec {
inline constexpr std::size_t kProfile = 0;
inline constexpr std::size_t kMode = 1;
inline constexpr std::size_t kBrightness = 2;
inline constexpr std::size_t kSpeed = 3;
inline constexpr std::size_t kDirection = 4;
inline constexpr std::size_t kMultiColour = 5;
inline constexpr std::size_t kRed = 6;
inline constexpr std::size_t kGreen = 7;
inline constexpr std::size_t kBlue = 8;
inline constexpr std::size_t kOther = 17;
inline constexpr std::size_t kLedMode = 18;
inline constexpr std::size_t kWFlag = 19;
inline constexpr std::size_t kRollover = 20;
inline constexpr std::size_t kWinLock = 21;
inline constexpr std::size_t kPollingRate = 22;
inline constexpr std::size_t kCustomGroup = 25;
inline constexpr std::size_t kDebounce = 28;
}  // namespace krec

using KeyboardRecord = std::array<std::uint8_t, kKeyboardRecordSize>;

// The repeat delay an option stands for: 250, 500, 750 or 1000 ms (option 0 when outside).
int RepeatDelayMs(int option);

class CTessaronKeyboardDevice : public CTessaronUSBDevice {
public:
    explicit CTessaronKeyboardDevice(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    ~CTessaronKeyboardDevice() override;

    // Event word: the keyboard's profile list changed (another program, or the keyboard).
    static constexpr std::uint16_t kEventProfileListChanged = 0x0402;
    // Set by any keyboard's 0x0402; the next active-profile read reloads the profile list.
    static bool ProfileListChanged();
    static void ClearProfileListChanged();

    // ---- Device operations ----
    void ApplyLightSettings() override;
    void ReadFromDevice() override;
    // The first half of the connection read: information block, key and LED index tables,
    // the key matching. The settings record is left alone (a profile about to be sent).
    void ReadKeyLayout();
    void ReadActiveProfile() override;
    void RefreshPowerStatus() override;
    bool IsWirelessReachable() override;
    int LoadProfile() override;
    void RefreshPage() override;
    void LoadDefaultProfile() override;
    std::vector<int> GetUsedMacros() override;
    // 1 written, else the first failing exchange's code (0 when nothing was sent).
    int DownloadKeyTable(int page, const std::vector<KeyListEntry>& keys) override;
    int DownloadCurrentKeyTable(int page) override;
    // 0 written or nothing to write, n > 0 the image is about n events too large, negative:
    // not written (the first failing exchange's code).
    int DownloadMacros(const std::vector<int>& macros) override;
    // The record to the profile the keyboard is using; 1 written, else the failing code.
    int DownloadSettings(int profile, int value0, int value59, int width, int height) override;
    void LoadDefaultData() override;
    void SetProfilePaths() override;
    std::string GetProfilePath() const override;
    int SaveProfile() override;
    void SetDeviceKind(int kind) override;
    void SetLightInfo(const LightInfo& info) override;
    void OnEventWord(std::uint16_t word, EventLink link) override;

    // ---- Use-case operations (see the base) ----
    OpResult ChangePollingRate(int option);  // 0..3, sent
    OpResult ChangeRepeatDelay(int option);  // 0..3, profile only
    OpResult ChangeRepeatRate(int rate);     // profile only
    OpResult ChangeWinLock(bool on);
    OpResult ChangeWFlag(bool on);
    OpResult ChangeRollover(bool on);   // 6-key rollover flag
    OpResult ChangeDebounce(int step);  // 0..5
    // The page shows and edits the Fn layer ("FnKeysetFlag").
    OpResult ChangeFnLayerView(bool on);
    // Only keys the keyboard has; on the Fn layer not the Fn key nor the reserved keys.
    OpResult CanAssignKey(int key) const override;
    OpResult AssignKey(int key, const KeyListEntry& entry, KeySend send) override;
    // One layer's code of one key (morvactl): the rest of the entry stays.
    OpResult AssignKeyCode(int key, KeyCode code, bool fnLayer, KeySend send);

    // ---- Data the page shows ----
    CKeyboardProfiledata& Profile() { return profile_; }
    const CDeviceDefaultData& DefaultData() const { return defaults_; }
    CBasicProfiledata* ProfileData() override { return &profile_; }
    const CDeviceDefaultData* PresetData() const override { return &defaults_; }
    std::vector<KeyListEntry> KeyList() const override;
    void SetKeyList(const std::vector<KeyListEntry>& list);
    KeyboardSystemStages GetSystemStages() const;
    void SetSystemStages(const KeyboardSystemStages& stages);
    bool FnLayerView() const;
    // The key assignment panel edits the Fn layer.
    bool EditsFnLayer() const override { return FnLayerView(); }
    // Whether key `key`'s cell takes clicks on the current function tab.
    bool KeyEnabled(int key) const;
    // Key position and LED index of a UI key, kKeyAbsent when the keyboard has none.
    int KeyPosition(int key) const;
    int KeyLight(int key) const;
    // Key positions the keyboard reported at the last read (0 before).
    int KeyPositions() const;
    int ActiveProfile() const;
    KeyboardRecord RecordCopy() const;
    // The record DownloadSettings writes for profile `profile`.
    KeyboardRecord BuildRecord(int profile) const;
    // Device code of a page light mode (29 and 30 are the program's own: 0xFE), and back.
    int LightModeCode(int mode) const;
    int LightModeOfCode(int code) const;

    // ---- Lighting preview ----
    // The keyboard plays its own modes: only the program's modes 29 and 30 and the
    // synchronised lighting send the frame, each key's colour at its LED index. The program's
    // modes want every frame the link takes.
    bool PresentLightFrame() override;
    bool FramesGoToDevice() const override;
    bool StreamsFrames() const override;
    void EffectBreathCycle() override;
    void EffectStatic() override;
    // A key at key position `position` pressed (1) or released (2).
    void OnKeyPosition(int position, int action);
    void OnKeyAction(int key, int action);
    void SetRandomSource(CKeyboardLight::RandomSource random);
    // Mode 19's colour groups: the group shown (saved, sent, its colours loaded and sent);
    // every key filled with the light's colour (on) or black; one key given the light's
    // colour. `panelGroup` is the group the lighting panel shows, -1 none: with none the
    // colours are only previewed, not kept.
    OpResult ChangeCustomGroup(int group) override;
    OpResult FillCustomGroup(bool on, int panelGroup) override;
    OpResult SetCustomKeyColour(int key, int panelGroup) override;
    // A copy of the preview's effect state.
    KeyboardEffectState EffectState() const;
    // Music lighting's colours and sub-mode, as the profile last gave them.
    AudioLightInfo AudioLight() const;
    // The audio path's spectrum (25 bands) and external colour, from its own thread.
    void OnAudioSpectrum(const std::uint8_t* bytes100, int count) override;
    // Mode 29 follows the bands, mode 30 the helper's colour.
    bool FollowsMusic() const override;
    void OnAudioLevels(const int* levels6) override;

protected:
    void StoreKeyList(const std::vector<KeyListEntry>& keys) override { SetKeyList(keys); }
    EffectStep LightModeStep(int mode) const override;
    int LightStepTicks(int mode, int speed) const override;
    void AfterLightPass() override;
    // The host-driven modes 29 and 30.
    virtual void EffectAudio();
    virtual void EffectExternalColour();

private:
    // Mode 19: every key at the light's brightness, colours as the group has them.
    void EffectCustom();
    // The profile's group into the frame, and sent; the send's result.
    int LoadCustomGroup();
    // The profile's group into the frame only.
    void ShowCustomGroup();
    int SendCustomGroup();
    // The frame into frameBuffer_, 3 bytes per LED index below `limit`, each channel at its
    // alpha (`scaled`) or as it is; the bytes to send (N x 3, at most `limit`).
    std::size_t FillLedBuffer(bool scaled, std::size_t limit);
    void StoreFrameInGroup(int group);
    int MacroCount() const;
    void EffectModeStep();
    void StartLightMode(int mode);
    // Reads the active profile and its record; false (nothing changed) when a read failed.
    bool ReadRecord(KeyboardRecord& record, int& active);
    // Macro codes of `keys` numbered by their slot among the used macros (appended in key
    // order, normal layer before Fn layer); codes of missing macros fall back.
    void NumberMacros(std::vector<KeyListEntry>& keys, int macroCount,
                      std::vector<int>& used) const;
    OpResult ChangeStages(const KeyboardSystemStages& stages, bool send);
    OpResult CanAssign(int key, bool fnLayer) const;
    // What the user is told after a key table write whose macro keys fell back.
    OpResult MacroFallbackResult() const;

    CKeyboardProfiledata profile_;
    CDeviceDefaultData defaults_;

    mutable std::mutex stateLock_;  // what the event readers change
    std::array<std::uint8_t, 512> defaultKeyTable_{};
    std::array<std::uint8_t, 512> lightIndexTable_{};
    std::array<int, kKeyboardUiKeys> keyToPosition_{};
    std::array<int, kKeyboardUiKeys> keyToLight_{};
    int keyPositions_ = 0;
    int activeProfile_ = 0;
    KeyboardRecord recordCopy_{};
    std::vector<KeyListEntry> keyList_;
    KeyboardSystemStages stages_;
    bool fnLayerView_ = false;
    // The macros the keyboard was given this session, in slot order; none known at first.
    std::optional<std::vector<int>> writtenMacros_;
    // Why the last key table write put macro keys back to their factory codes (a macro
    // download result), 0 when it did not.
    int macroFallback_ = 0;
    // The frame as the keyboard takes it: 3 bytes per LED index (UI thread only).
    std::array<std::uint8_t, 512> frameBuffer_{};
    std::array<LedColour, kblight::kLeds> frameColours_{};

    static std::atomic<bool> profileListChanged_;

    // The light thread steps the preview while the UI thread starts modes and the event
    // readers deliver key presses.
    mutable std::mutex lightLock_;
    CKeyboardLight light_{Engine()};
    AudioLightInfo audioLight_;
    std::uint8_t ledModeFlag_ = 0;  // the light state's LED mode flag, for the light thread
};

}  // namespace morva
