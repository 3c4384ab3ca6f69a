// The device model every product class derives from: its two links (command and event), the
// device information block, names and identity, the data folders, the lighting preview
// engine with its light thread, the event readers, and the operations the pages and the main
// window call, each with the behaviour a product without its own gives it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "device/device_tables.h"
#include "device/links/product_links.h"
#include "device/models/device_host.h"
#include "device/models/effect_list_player.h"
#include "device/models/frame_rate_log.h"
#include "device/models/op_result.h"
#include "device/preview/preview_engine.h"
#include "device/protocol/commands.h"
#include "device/protocol/device_channel.h"
#include "profile/profile_records.h"

namespace morva {

class CBasicProfiledata;
struct MacroEvent;
struct CDeviceDefaultData;

// The two ways into a product, for its event interfaces.
enum class EventLink { Cable = 0, Receiver = 1 };

class CTessaronUSBDevice {
public:
    using EffectStep = void (CTessaronUSBDevice::*)();

    // The light thread, the effects, the frame stream and the event readers' retries take
    // their time from `clock`.
    explicit CTessaronUSBDevice(hid::IHidBackend& backend, IClock& clock = SteadyClock());
    // Stops the light thread and the event readers before anything is released. Product
    // classes call StopThreads() in their own destructors: the threads call their overrides.
    virtual ~CTessaronUSBDevice();
    void StopThreads();
    CTessaronUSBDevice(const CTessaronUSBDevice&) = delete;
    CTessaronUSBDevice& operator=(const CTessaronUSBDevice&) = delete;

    void SetHost(IDeviceHost* host) { host_ = host; }
    IDeviceHost* Host() const { return host_; }
    CDeviceChannel& CommandChannel() { return commandChannel_; }
    const CDeviceChannel& CommandChannel() const { return commandChannel_; }
    // Opens, closes and switches the command channel's cable and receiver.
    CProductLinks& Links() { return links_; }
    CPreviewEngine& Engine() { return engine_; }
    const CPreviewEngine& Engine() const { return engine_; }
    IClock& TimeSource() const { return clock_; }

    // Device information block as last read.
    std::array<std::uint8_t, kInfoBlockSize> Info() const;
    void SetInfo(const std::array<std::uint8_t, kInfoBlockSize>& info);

    // Names.
    void SetDeviceXmlPath(const std::string& path) { deviceXmlPath_ = path; }
    const std::string& DeviceXmlPath() const { return deviceXmlPath_; }
    void SetProfileName(const std::string& name) { profileName_ = name; }
    const std::string& ProfileName() const { return profileName_; }
    void SetLightConfigName(const std::string& name) { lightConfigName_ = name; }
    const std::string& LightConfigName() const { return lightConfigName_; }
    void SetModelName(const std::string& name) { modelName_ = name; }
    const std::string& ModelName() const { return modelName_; }

    // Where the data folders are: the local application data folder and the program's
    // resource folder (its DefaultData holds the factory files).
    void SetDataRoots(const std::string& localAppData, const std::string& resourceFolder);
    std::string GetUserDataFolder() const;
    std::string GetDefaultDataFolder() const;
    std::string GetDefaultProfilePath() const;
    // User data folder + profile name + ".Json"; empty when the name (from a list file anyone
    // can edit, or a caller) could name a file outside the folder.
    std::string ProfileFilePath() const;

    // What a row of the device-type table says about the product: model folder, kind, key
    // and LED counts, power panel, logo LED and light configuration name.
    void ApplyTypeRow(int typeRow);

    // Identity and link.
    void SetSlotRecord(const SupportedInterface& record);
    const SupportedInterface& Record() const { return record_; }
    int DeviceType() const { return deviceType_; }
    int Role() const { return role_; }
    void SetTypeRow(int row) { typeRow_ = row; }
    int TypeRow() const { return typeRow_; }
    // Unchanged counts change nothing; a new LED count clears every LED and light list entry.
    void SetKeyCount(int count);
    int KeyCount() const { return keyCount_; }
    void SetLedCount(int count);
    int LedCount() const { return engine_.LedCount(); }
    int SelectedKey() const { return selectedKey_; }
    void SetPowerPanelShown(bool shown) { powerPanelShown_ = shown; }
    bool PowerPanelShown() const { return powerPanelShown_; }
    void SetLogoLed(int index) { logoLed_ = index; }
    int LogoLed() const { return logoLed_; }

    // Flags. Host lighting on tells a wired keyboard to take the program's frames.
    void SetExternalLightControl(bool on);
    bool HostLighting() const { return hostLighting_; }
    void SetWindowActive(bool on) { windowActive_ = on; }
    bool WindowActive() const { return windowActive_; }
    // Whether the device's page is on screen: the window shown and its tab chosen. A
    // preview nobody sees, whose frames stay in the program, is not stepped.
    void SetPageShown(bool on) { pageShown_ = on; }
    bool PageShown() const { return pageShown_; }

    // The lighting state the preview plays.
    const LightInfo& LightState() const { return lightState_; }

    // Event links: opened on a path (reopening first closes), each with its own reader.
    bool OpenEventLink(EventLink link, const std::string& path);
    void CloseEventLink(EventLink link);
    bool IsEventLinkOpen(EventLink link) const;

    // Light thread: started when a product reads its data, stopped before it restarts.
    void StartLightThread();
    void StopLightThread();
    bool LightThreadRunning() const { return lightThread_.joinable(); }
    // How often the light thread steps the current mode; zero when it has no timed steps.
    std::chrono::milliseconds LightStepPeriod() const;

    // Synchronised lighting (CLightSync): the device takes part while its command channel is
    // open and its externalColour flag is set. PaintSynchronised gives every LED the colour
    // then (false otherwise); the light thread's own step never lands on top of it.
    bool TakesPartInSync() const {
        return commandChannel_.IsOpen() && commandChannel_.externalColour;
    }
    bool PaintSynchronised(std::uint32_t packed);

    // ---- Operations every product class may replace ----
    virtual void ApplyLightSettings() {}
    virtual void EffectBreathCycle() { engine_.EffectBreathCycle(); }
    virtual void EffectBreathFour() { engine_.EffectBreathFour(); }
    virtual void EffectStatic() { engine_.EffectStatic(); }
    virtual void EffectSpectrum() { engine_.EffectSpectrum(); }
    virtual void EffectFlash() { engine_.EffectFlash(); }
    virtual void EffectFlashFour() { engine_.EffectFlashFour(); }
    virtual void EffectOff() { engine_.EffectOff(); }
    // Sends the current frame to the device (not through the receiver). False when the
    // program does not drive the LEDs, so the page paints nothing either.
    virtual bool PresentLightFrame();
    // Whether the current frames go to the device; when they do not, they are only the
    // page's preview and need no more than the eye does.
    virtual bool FramesGoToDevice() const { return hostLighting_; }
    // Whether the device shows frames as they arrive and wants every one, changed or not
    // (a mode the program plays on it), rather than only the frames that changed.
    virtual bool StreamsFrames() const { return false; }
    virtual void SetLedColour(int index, std::uint32_t packed) {
        engine_.SetLedColour(index, packed);
    }
    virtual std::uint32_t GetLedColour(int index) const { return engine_.GetLedColour(index); }
    virtual void ReadFromDevice() {}
    virtual void ReadActiveProfile() {}
    // Whether a read of the device failed since the last call: the page then shows what the
    // profile holds, which may not be what the device has.
    bool TakeReadFailure() { return readFailed_.exchange(false); }
    // Run by the tab entry's timers 1003 and 1004; no product gives them work.
    virtual void ReservedEntryOperation1() {}
    virtual void ReservedEntryOperation2() {}
    virtual void RefreshPowerStatus() {}
    virtual bool IsWirelessReachable() { return true; }
    virtual int LoadProfile() { return 0; }
    virtual void RefreshPage() {}
    // Keys bound to macros the list no longer has get their factory function back.
    virtual void RepairMacroBindings();
    virtual void LoadDefaultProfile() {}
    virtual std::vector<int> GetUsedMacros() { return {}; }
    virtual int DownloadKeyTable(int /*page*/, const std::vector<KeyListEntry>& /*keys*/) {
        return 0;
    }
    virtual int DownloadCurrentKeyTable(int /*page*/) { return 0; }
    virtual int DownloadMacros(const std::vector<int>& /*macros*/) { return 0; }
    virtual int DownloadSettings(int /*profile*/, int /*value0*/, int /*value59*/, int /*width*/,
                                 int /*height*/) {
        return 0;
    }
    virtual void LoadDefaultData() {}
    virtual void SetKeyMap(const std::map<int, int>& map) { keyMap_ = map; }
    virtual void MusicDecay(int index, int mode) { engine_.MusicDecay(index, mode); }
    virtual void MusicPeaks() { engine_.MusicPeaks(); }
    virtual void MusicRotate(bool direction) { engine_.MusicRotate(direction); }
    virtual void MusicReset() { engine_.MusicReset(); }
    // The page switches its function tabs by the stored type.
    virtual void SetFunctionType(int type) { functionType_ = type; }
    int GetFunctionType() const { return functionType_; }
    virtual void SetProfilePaths() {}
    virtual std::string GetProfilePath() const { return {}; }
    // 0 written, -1 the profile file could not be written.
    virtual int SaveProfile() { return 0; }
    virtual void SetDeviceKind(int kind) { kind_ = kind; }
    int GetDeviceKind() const { return kind_; }
    virtual void SetLightInfo(const LightInfo& info);
    // The lighting panel's three selection values (the page hands them over).
    virtual void SetLightSelection(int a, int b, int c) { lightSelection_ = {a, b, c}; }
    std::array<int, 3> GetLightSelection() const { return lightSelection_; }
    virtual void SelectKey(int index) { selectedKey_ = index; }
    // The music analysis' bands (`count` values of four little-endian bytes): the music
    // mode's bars rise to them.
    virtual void OnAudioSpectrum(const std::uint8_t* bytes100, int count);
    // Whether the current light mode needs the music analysis.
    virtual bool FollowsMusic() const { return MusicBarCount(engine_.Light().mode) > 0; }
    virtual void OnAudioLevels(const int* /*levels6*/) {}

    // ---- Use-case operations: what the page, the panels and morvactl change ----
    // Each one validates, writes the profile, saves it, sends it to the device and says what
    // the user is to be told; callers only show the result.
    // The screen size the setting block carries.
    void SetScreenPixels(int width, int height);
    // The light state the user chose; `endsSync` ends this device's synchronised lighting.
    OpResult ChangeLight(LightInfo info, bool endsSync);
    // A game's light mode over the user's lighting for a while: sent to the device, never
    // stored in the profile. The user's lighting is kept once, however many games ask.
    OpResult ShowGameLight(int mode);
    // The user's lighting back (and stored, whatever was saved meanwhile); nothing when no
    // game effect is shown.
    OpResult EndGameLight();
    bool ShowsGameLight() const { return userLight_.has_value(); }
    // The synchronised lighting's effect for this device, stored and sent as a light change
    // is; from then on the synchronised lighting paints the device.
    OpResult JoinSameMode(const LightInfo& info);
    // Music lighting: the record and the lighting panel's two packed selection values.
    OpResult ChangeAudioLight(const AudioLightInfo& record, std::uint32_t a, std::uint32_t b);
    // The current profile file again, all of it to the device: settings, macros, key table.
    // After a reset the factory order is kept and the macro repair left out.
    OpResult ApplyProfile(bool afterReset = false);
    // The factory profile into the current one, and all of it to the device.
    OpResult RestoreDefaults();
    // The macros the keys use, checked against the device's memory and written.
    OpResult DownloadUsedMacros();
    // The key assignments to the device for good: the macros they use, the key table, the
    // profile file.
    OpResult SaveKeysToDevice();
    // Macros of the families that have keys, in the user data folder's macro list. A save or
    // delete that touches a macro the keys use sends the macros and the key table again.
    OpResult AddMacro(std::string* name = nullptr);
    OpResult RenameMacro(int index, const std::string& name);
    OpResult SaveMacro(int index, const std::vector<MacroEvent>& events);
    OpResult ImportMacro(const std::string& path, std::string* name = nullptr);
    OpResult ExportMacro(int index, const std::string& path) const;
    // Whether a key of the current profile (either layer) is bound to macro `index`.
    bool KeysUseMacro(int index);
    // Keys bound to the macro go back to their default and keys bound to later macros follow
    // their macro's new number, in `otherProfiles` (profile files) and the current profile.
    OpResult DeleteMacro(int index, const std::vector<std::string>& otherProfiles);
    // Key assignment of the families that have keys: key i of KeyList().
    virtual std::vector<KeyListEntry> KeyList() const { return {}; }
    virtual OpResult CanAssignKey(int key) const;
    // What an assignment sends: the key table alone (the panel's instant apply), or the
    // macros the keys use first.
    enum class KeySend { KeyTable, MacrosAndKeyTable };
    virtual OpResult AssignKey(int key, const KeyListEntry& entry, KeySend send);
    // Custom colour groups of the families that keep colours per key (others refuse).
    virtual OpResult ChangeCustomGroup(int group);
    virtual OpResult FillCustomGroup(bool on, int panelGroup);
    virtual OpResult SetCustomKeyColour(int key, int panelGroup);
    // The key assignment panel edits the Fn-layer part of an entry (a keyboard's Fn view).
    virtual bool EditsFnLayer() const { return false; }
    // The families' profile data object and preset lists; null where a family has none.
    virtual CBasicProfiledata* ProfileData() { return nullptr; }
    virtual const CDeviceDefaultData* PresetData() const { return nullptr; }

    // An event word read on one of the device's event links (reader thread).
    virtual void OnEventWord(std::uint16_t word, EventLink link);

    // Words every product understands.
    static constexpr std::uint16_t kEventActiveProfile = 0x0401;
    // After a failed frame the device is left alone this long.
    static constexpr std::chrono::milliseconds kFrameBackoff{200};
    // An unchanged frame is sent again after this long, so a device that was replugged or
    // reset picks the program's colours up again.
    static constexpr std::chrono::milliseconds kFrameRefresh{1000};

protected:
    void NoteReadFailure() { readFailed_ = true; }
    // Over the receiver a sequence runs only when the device answers.
    bool Reachable();
    // The device answers over its receiver (false on a cable).
    bool ReceiverAnswers();
    // The battery block to the power panel and the owner window.
    void PollPowerStatus();
    // The profile file, the factory profile and the light configuration the profile data
    // object works on; the list's selected profile when none is named yet.
    void PointProfileAt(CBasicProfiledata& profile, std::uint16_t deviceType);
    // The macro image of `macros` (list indexes, in slot order) checked against the device's
    // memory and written: 0 done or nothing to do (`sent` says which), n > 0 about n events
    // too large, negative the failing exchange's code.
    int WriteMacroImage(const std::vector<int>& macros, bool& sent);
    // The family's key list replaced (and stored in the profile).
    virtual void StoreKeyList(const std::vector<KeyListEntry>& /*keys*/) {}
    // The effect step of a light mode, or null when the mode plays the custom effect list.
    virtual EffectStep LightModeStep(int /*mode*/) const { return nullptr; }
    // How many music bars `mode` shows; 0 when it does not follow the music.
    virtual int MusicBarCount(int /*mode*/) const { return 0; }
    // One pass of the user effect list player; returns the wait before the next pass.
    virtual std::chrono::milliseconds PlayCustomEffects();
    // The user effect list of the current mode, played where a mode has no step.
    CEffectListPlayer& EffectPlayer() { return effectPlayer_; }
    // 2 ms ticks between two steps of `mode` at `speed`; 0 steps at every pass of the loop.
    virtual int LightStepTicks(int mode, int speed) const;
    // After every step or player pass of the light thread (per-key overlays).
    virtual void AfterLightPass() {}
    // The per-LED light list, replaced and read under its lock.
    template <class F>
    void WithLedLightList(F&& use) {
        std::lock_guard lock(ledListLock_);
        use(ledLightList_);
    }
    // Sends `frame` with the frame stream's rules: only what changed (and an unchanged frame
    // now and then), nothing for a while after a failure, never through the receiver.
    void SendLightFrame(std::span<const std::uint8_t> frame);
    // The delay of timer 1002 after a sync request.
    int ActiveProfileTimerMs() const;
    // Waits until the time passed or stop is requested; false on stop.
    static bool WaitFor(std::stop_token stop, std::chrono::milliseconds time);
    // The setting block with the screen size the operations were given.
    int SendSettings() { return DownloadSettings(0, 0, 1, screenWidth_, screenHeight_); }
    // The common end of an operation: what was sent and what was saved make one result.
    static OpResult Finish(int saved, int sent);
    static OpResult Finish(int saved, int sent, std::string reason);
    // Saves the profile on a thread of its own while `send` talks to the device, so the
    // file's write and sync add nothing to the link's time. `send` must leave the profile
    // document alone; what was sent and what was saved make one result.
    OpResult SaveWhileSending(const std::function<int()>& send);
    // The page shows the model again.
    void AnnounceChange();
    // The end of most operations: the profile saved, the setting block sent when `send`,
    // the page told.
    OpResult CommitChange(bool send);

    LightInfo lightState_;
    std::map<int, int> keyMap_;

private:
    struct EventReader {
        CHidDevice iface;
        mutable std::mutex lock;  // serialises opening and closing
        bool open = false;
        std::jthread thread;
        explicit EventReader(hid::IHidBackend& backend) : iface(backend) {}
    };

    // `reportLength`: taken while the link was opened; a close may clear the interface's.
    void ReaderLoop(std::stop_token stop, EventReader& reader, EventLink link,
                    std::size_t reportLength);
    void LightLoop(std::stop_token stop);
    EventReader& Reader(EventLink link) { return *readers_[static_cast<int>(link)]; }
    const EventReader& Reader(EventLink link) const { return *readers_[static_cast<int>(link)]; }

    IDeviceHost* host_ = nullptr;
    IClock& clock_;
    CDeviceChannel commandChannel_;
    CProductLinks links_{commandChannel_};
    std::array<std::unique_ptr<EventReader>, 2> readers_;
    CPreviewEngine engine_;
    CEffectListPlayer effectPlayer_;

    mutable std::mutex infoLock_;
    std::array<std::uint8_t, kInfoBlockSize> info_{};

    std::string deviceXmlPath_;
    std::string profileName_;
    std::string lightConfigName_;
    std::string modelName_;
    std::string localAppData_;
    std::string resourceFolder_;

    SupportedInterface record_;
    int deviceType_ = 0;
    int role_ = 0;
    int keyCount_ = 0;
    int typeRow_ = -1;
    int selectedKey_ = -1;
    int functionType_ = 1;
    int kind_ = 0;
    int logoLed_ = -1;
    bool powerPanelShown_ = false;
    std::atomic<bool> hostLighting_{true};
    // While a game's effect is shown: the user's lighting to return to (UI thread).
    std::optional<LightInfo> userLight_;
    std::atomic<bool> windowActive_{true};
    std::atomic<bool> pageShown_{true};
    std::atomic<bool> readFailed_{false};
    std::array<int, 3> lightSelection_{};
    int screenWidth_ = 1920;
    int screenHeight_ = 1080;
    std::vector<LightInfo> ledLightList_;
    std::mutex ledListLock_;

    // Frame stream bookkeeping (UI thread only).
    std::vector<std::uint8_t> lastFrame_;
    std::chrono::steady_clock::time_point lastSent_{};
    std::chrono::steady_clock::time_point quietUntil_{};
    CFrameRateLog frameRate_{0};

    // Held by the light thread for a step and by the synchronised lighting for a paint.
    std::mutex paintLock_;
    std::jthread lightThread_;
};

}  // namespace morva
