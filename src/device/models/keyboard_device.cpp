#include "device/models/keyboard_device.h"

#include <algorithm>

#include "base/debug_log.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "profile/json_file.h"
#include "profile/profile_list_store.h"

namespace morva {
namespace {

constexpr std::uint8_t kMacroType = 0x70;
constexpr std::uint8_t kMacroRepeatType = 0x71;
constexpr std::uint8_t kHostDrivenCode = 0xFE;
constexpr int kMusicMode = 29;
constexpr int kExternalMode = 30;
constexpr std::size_t kTableSize = 512;

bool IsMacro(const KeyCode& code) {
    return code.type == kMacroType || code.type == kMacroRepeatType;
}

}  // namespace

std::atomic<bool> CTessaronKeyboardDevice::profileListChanged_{false};

int RepeatDelayMs(int option) {
    if (option < 0 || option >= kKeyboardRepeatDelays)
        option = 0;
    return option * 250 + 250;
}

CTessaronKeyboardDevice::CTessaronKeyboardDevice(hid::IHidBackend& backend, IClock& clock)
    : CTessaronUSBDevice(backend, clock) {
    keyToPosition_.fill(kKeyAbsent);
    keyToLight_.fill(kKeyAbsent);
    keyList_ = FactoryKeyboardKeyList();
    profile_.SetLightConfigIndex(kKindKeyboard);
}

CTessaronKeyboardDevice::~CTessaronKeyboardDevice() {
    StopThreads();
}

bool CTessaronKeyboardDevice::ProfileListChanged() {
    return profileListChanged_.load();
}

void CTessaronKeyboardDevice::ClearProfileListChanged() {
    profileListChanged_.store(false);
}

// ---- Reading ----

void CTessaronKeyboardDevice::ReadFromDevice() {
    ReadKeyLayout();
    LoadProfile();
    ReadActiveProfile();
    StartLightThread();
}

void CTessaronKeyboardDevice::ReadKeyLayout() {
    CDeviceChannel& channel = CommandChannel();
    if (Reachable()) {
        std::array<std::uint8_t, kInfoBlockSize> info{};
        std::array<std::uint8_t, kTableSize> keys{};
        std::array<std::uint8_t, kTableSize> lights{};
        bool read = CmdBegin(channel) == kResultOk && CmdReadInfo(channel, info) == kResultOk;
        // A key count the link cannot carry ends the read; the sequence is still closed.
        read = read && channel.SetTransferSize(static_cast<std::uint16_t>(info[5] * 3)) == 1;
        read = read && CmdReadKeyTable(channel, keys.data()) == kResultOk &&
               CmdReadLightIndex(channel, lights.data()) == kResultOk;
        // An end the device did not confirm may leave it waiting for more commands.
        if (CmdEnd(channel) != kResultOk || !read)
            NoteReadFailure();
        if (read) {
            SetInfo(info);
            const int n = info[5];
            std::lock_guard lock(stateLock_);
            defaultKeyTable_ = keys;
            lightIndexTable_ = lights;
            keyPositions_ = n;
            keyToPosition_.fill(kKeyAbsent);
            keyToLight_.fill(kKeyAbsent);
            for (int j = 0; j < kKeyboardUiKeys; ++j) {
                const KeyCode ref = KeyboardFactoryCode(j);
                for (int p = 0; p < n && 3 * p + 2 < static_cast<int>(kTableSize); ++p) {
                    const auto at = static_cast<std::size_t>(3 * p);
                    if (KeyCode{keys[at], keys[at + 1], keys[at + 2]} == ref) {
                        keyToPosition_[static_cast<std::size_t>(j)] = p;
                        keyToLight_[static_cast<std::size_t>(j)] =
                            lights[static_cast<std::size_t>(p)];
                        break;
                    }
                }
            }
        } else {
            DebugLog("keyboard: reading the device failed\n");
        }
    }
}

bool CTessaronKeyboardDevice::ReadRecord(KeyboardRecord& record, int& active) {
    CDeviceChannel& channel = CommandChannel();
    if (!Reachable())
        return false;
    std::uint8_t index = 0;
    if (CmdReadSetting(channel, &index, 1, 0) != kResultOk)
        return false;
    record.fill(0);
    if (CmdReadSetting(channel, record.data(), record.size(),
                       static_cast<std::uint16_t>(index * kKeyboardRecordSize)) != kResultOk)
        return false;
    active = index;
    return true;
}

void CTessaronKeyboardDevice::ReadActiveProfile() {
    if (profileListChanged_.load()) {
        if (Host() != nullptr)
            Host()->ReloadProfileList();
        LoadProfile();
        ClearProfileListChanged();
    }
    CommandChannel().externalColour = false;
    KeyboardRecord record{};
    int active = 0;
    // A read that failed leaves the stored profile alone: its zeros were never the device's.
    if (ReadRecord(record, active)) {
        record[krec::kProfile] = static_cast<std::uint8_t>(active);
        record[16] = 0;
        if (const int mode = LightModeOfCode(record[krec::kMode]); mode >= 0)
            record[krec::kMode] = static_cast<std::uint8_t>(mode);
        LightInfo light = LightState();
        if (record[krec::kMode] == kHostDrivenCode)
            record[krec::kMode] = light.selectItem;
        light.selectItem = record[krec::kMode];
        light.light = record[krec::kBrightness];
        light.speed = static_cast<std::uint8_t>(std::clamp(4 - record[krec::kSpeed], 0, 4));
        light.fx = record[krec::kDirection];
        light.multiColor = record[krec::kMultiColour];
        light.red = record[krec::kRed];
        light.green = record[krec::kGreen];
        light.blue = record[krec::kBlue];
        light.zzccLedMode = record[krec::kLedMode];
        light.customGroup = record[krec::kCustomGroup];
        KeyboardSystemStages stages = GetSystemStages();
        stages.key6Flag = record[krec::kRollover];
        stages.winFlag = record[krec::kWinLock];
        stages.wFlag = record[krec::kWFlag];
        stages.keyShake = record[krec::kDebounce];
        int before = 0;
        {
            std::lock_guard lock(stateLock_);
            before = recordCopy_[krec::kMode];
            activeProfile_ = active;
            recordCopy_ = record;
        }
        profile_.WriteLightInfo(light);
        SetLightInfo(light);
        if (light.selectItem != before)
            StartLightMode(light.selectItem);
        SetSystemStages(stages);
        SaveProfile();
    } else {
        NoteReadFailure();
    }
    RefreshPage();
}

void CTessaronKeyboardDevice::RefreshPowerStatus() {
    PollPowerStatus();
}

bool CTessaronKeyboardDevice::IsWirelessReachable() {
    return ReceiverAnswers();
}

// ---- Profile ----

void CTessaronKeyboardDevice::SetProfilePaths() {
    PointProfileAt(profile_, kDeviceTypeKeyboard);
}

std::string CTessaronKeyboardDevice::GetProfilePath() const {
    return profile_.GetDocumentPath();
}

int CTessaronKeyboardDevice::LoadProfile() {
    SetProfilePaths();
    const std::string path = profile_.GetDocumentPath();
    const Json::Value document =
        profile_.LoadDocument(path.empty() ? GetDefaultProfilePath() : path);
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    {
        std::lock_guard lock(stateLock_);
        keyList_ = CompleteKeyboardKeyList(profile_.ReadKeyList());
    }
    ApplyLightSettings();
    const KeyboardSystemStages stages = profile_.ReadKeyboardStages();
    const bool fn = profile_.ReadFnKeysetFlag();
    std::lock_guard lock(stateLock_);
    stages_ = stages;
    fnLayerView_ = fn;
    return 1;
}

void CTessaronKeyboardDevice::LoadDefaultProfile() {
    SetProfilePaths();
    profile_.LoadDocument(GetDefaultProfilePath());
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    const std::vector<KeyListEntry> keys = CompleteKeyboardKeyList(profile_.ReadKeyList());
    const KeyboardSystemStages stages = profile_.ReadKeyboardStages();
    const bool fn = profile_.ReadFnKeysetFlag();
    {
        std::lock_guard lock(stateLock_);
        keyList_ = keys;
        stages_ = stages;
        fnLayerView_ = fn;
    }
    ApplyLightSettings();
    SaveProfile();
    RefreshPage();
}

int CTessaronKeyboardDevice::SaveProfile() {
    return profile_.Save();
}

void CTessaronKeyboardDevice::ApplyLightSettings() {
    const LightInfo light = profile_.ReadLightInfo();
    const AudioLightInfo audio = profile_.ReadAudioLightInfo();
    int before = 0;
    {
        std::lock_guard lock(stateLock_);
        before = recordCopy_[krec::kMode];
        recordCopy_[krec::kMode] = light.selectItem;
        recordCopy_[krec::kBrightness] = light.light;
        recordCopy_[krec::kSpeed] = static_cast<std::uint8_t>(4 - std::min<int>(light.speed, 4));
        recordCopy_[krec::kMultiColour] = light.multiColor;
        recordCopy_[krec::kRed] = light.red;
        recordCopy_[krec::kGreen] = light.green;
        recordCopy_[krec::kBlue] = light.blue;
        recordCopy_[krec::kCustomGroup] = light.customGroup;
    }
    SetLightInfo(light);
    {
        std::lock_guard lock(lightLock_);
        audioLight_ = audio;
    }
    if (light.selectItem != before || light.selectItem == 19)
        StartLightMode(light.selectItem);
    std::vector<LightInfo> list = profile_.ReadLightList();
    WithLedLightList([&](std::vector<LightInfo>& leds) {
        for (std::size_t i = 0; i < leds.size(); ++i)
            leds[i] = i < list.size() ? list[i] : LightInfo{};
        std::lock_guard lock(lightLock_);
        light_.RestartOverlay();
    });
    {
        std::lock_guard lock(lightLock_);
        if (light.selectItem == 24)
            light_.State().wheel.fill(0);
        light_.State().frame = 0;
    }
    EffectPlayer().Load(
        profile_.ReadEffectList(std::max(kKeyboardLightModes, defaults_.FirstCustomEffectMode())));
}

void CTessaronKeyboardDevice::StartLightMode(int mode) {
    if (mode == kCustomColourMode)
        (void)LoadCustomGroup();
    std::lock_guard lock(lightLock_);
    light_.StartMode(mode);
}

// ---- Lighting preview ----

CTessaronUSBDevice::EffectStep CTessaronKeyboardDevice::LightModeStep(int mode) const {
    using Self = CTessaronKeyboardDevice;
    switch (mode) {
        case 5:
            return &CTessaronUSBDevice::EffectBreathCycle;
        case 6:
            return &CTessaronUSBDevice::EffectStatic;
        case kCustomColourMode:
            return static_cast<EffectStep>(&Self::EffectCustom);
        case 29:
            return static_cast<EffectStep>(&Self::EffectAudio);
        case 30:
            return static_cast<EffectStep>(&Self::EffectExternalColour);
        default:
            return CKeyboardLight::HasStep(mode) ? static_cast<EffectStep>(&Self::EffectModeStep)
                                                 : nullptr;
    }
}

int CTessaronKeyboardDevice::LightStepTicks(int mode, int speed) const {
    return CKeyboardLight::StepThreshold(mode, speed);
}

void CTessaronKeyboardDevice::EffectModeStep() {
    std::lock_guard lock(lightLock_);
    light_.Step(Engine().Light().mode, ledModeFlag_);
}

void CTessaronKeyboardDevice::EffectBreathCycle() {
    std::lock_guard lock(lightLock_);
    light_.Step(5);
}

void CTessaronKeyboardDevice::EffectStatic() {
    std::lock_guard lock(lightLock_);
    light_.Step(6);
}

void CTessaronKeyboardDevice::AfterLightPass() {
    const IClock::TimePoint now = TimeSource().Now();
    WithLedLightList([&](const std::vector<LightInfo>& list) {
        std::lock_guard lock(lightLock_);
        light_.ApplyOverlay(list, now);
    });
}

void CTessaronKeyboardDevice::OnKeyPosition(int position, int action) {
    if (action != 1 && action != 2)
        return;
    int key = -1;
    {
        std::lock_guard lock(stateLock_);
        const auto found = std::find(keyToPosition_.begin(), keyToPosition_.end(), position);
        if (position == kKeyAbsent || found == keyToPosition_.end())
            return;
        key = static_cast<int>(found - keyToPosition_.begin());
    }
    OnKeyAction(key, action);
}

void CTessaronKeyboardDevice::OnKeyAction(int key, int action) {
    const int mode = Engine().Light().mode;
    std::lock_guard lock(lightLock_);
    light_.OnKeyAction(mode, key, action);
}

void CTessaronKeyboardDevice::SetRandomSource(CKeyboardLight::RandomSource random) {
    std::lock_guard lock(lightLock_);
    light_.SetRandomSource(std::move(random));
}

AudioLightInfo CTessaronKeyboardDevice::AudioLight() const {
    std::lock_guard lock(lightLock_);
    return audioLight_;
}

void CTessaronKeyboardDevice::OnAudioSpectrum(const std::uint8_t* bytes100, int count) {
    const int mode = Engine().Light().mode;
    std::lock_guard lock(lightLock_);
    light_.Audio().OnAudioSpectrum(bytes100, count, mode, audioLight_);
}

bool CTessaronKeyboardDevice::FollowsMusic() const {
    const int mode = Engine().Light().mode;
    return mode == 29 || mode == 30;
}

void CTessaronKeyboardDevice::OnAudioLevels(const int* levels6) {
    std::lock_guard lock(lightLock_);
    light_.Audio().OnAudioLevels(levels6);
}

void CTessaronKeyboardDevice::EffectAudio() {
    std::lock_guard lock(lightLock_);
    light_.Audio().Step(audioLight_);
}

void CTessaronKeyboardDevice::EffectExternalColour() {
    std::lock_guard lock(lightLock_);
    light_.Audio().StepExternalColour();
}

KeyboardEffectState CTessaronKeyboardDevice::EffectState() const {
    std::lock_guard lock(lightLock_);
    return light_.State();
}

void CTessaronKeyboardDevice::SetLightInfo(const LightInfo& info) {
    CTessaronUSBDevice::SetLightInfo(info);
    // The light thread's copy: the light state itself belongs to the UI thread.
    std::lock_guard lock(lightLock_);
    ledModeFlag_ = info.zzccLedMode;
}

void CTessaronKeyboardDevice::SetDeviceKind(int kind) {
    CTessaronUSBDevice::SetDeviceKind(kind);
    profile_.SetDeviceIndex(0);
}

void CTessaronKeyboardDevice::RefreshPage() {
    LoadDefaultData();
    if (Host() != nullptr)
        Host()->RefreshPage();
}

void CTessaronKeyboardDevice::LoadDefaultData() {
    defaults_.LoadDefaultData(GetUserDataFolder(), GetDefaultDataFolder(), GetDeviceKind(),
                              kMacroListFileName);
}

std::vector<KeyListEntry> CTessaronKeyboardDevice::KeyList() const {
    std::lock_guard lock(stateLock_);
    return keyList_;
}

void CTessaronKeyboardDevice::SetKeyList(const std::vector<KeyListEntry>& list) {
    const std::vector<KeyListEntry> complete = CompleteKeyboardKeyList(list);
    {
        std::lock_guard lock(stateLock_);
        keyList_ = complete;
    }
    profile_.WriteKeyList(complete);
}

KeyboardSystemStages CTessaronKeyboardDevice::GetSystemStages() const {
    std::lock_guard lock(stateLock_);
    return stages_;
}

void CTessaronKeyboardDevice::SetSystemStages(const KeyboardSystemStages& stages) {
    {
        std::lock_guard lock(stateLock_);
        stages_ = stages;
    }
    profile_.WriteKeyboardStages(stages);
}

bool CTessaronKeyboardDevice::FnLayerView() const {
    std::lock_guard lock(stateLock_);
    return fnLayerView_;
}

bool CTessaronKeyboardDevice::KeyEnabled(int key) const {
    if (key < 0 || key >= kKeyboardUiKeys)
        return false;
    if (GetFunctionType() != 2)
        return true;
    if (key == kKeyboardFnKey)
        return false;
    if (!FnLayerView())
        return true;
    const std::vector<int>& reserved = FnReservedUiKeys();
    return std::find(reserved.begin(), reserved.end(), key) == reserved.end();
}

int CTessaronKeyboardDevice::KeyPosition(int key) const {
    std::lock_guard lock(stateLock_);
    return key >= 0 && key < kKeyboardUiKeys ? keyToPosition_[static_cast<std::size_t>(key)]
                                             : kKeyAbsent;
}

int CTessaronKeyboardDevice::KeyLight(int key) const {
    std::lock_guard lock(stateLock_);
    return key >= 0 && key < kKeyboardUiKeys ? keyToLight_[static_cast<std::size_t>(key)]
                                             : kKeyAbsent;
}

int CTessaronKeyboardDevice::KeyPositions() const {
    std::lock_guard lock(stateLock_);
    return keyPositions_;
}

int CTessaronKeyboardDevice::ActiveProfile() const {
    std::lock_guard lock(stateLock_);
    return activeProfile_;
}

KeyboardRecord CTessaronKeyboardDevice::RecordCopy() const {
    std::lock_guard lock(stateLock_);
    return recordCopy_;
}

int CTessaronKeyboardDevice::LightModeCode(int mode) const {
    if (mode == kMusicMode || mode == kExternalMode)
        return kHostDrivenCode;
    const std::vector<std::int32_t>& codes = defaults_.lightModeCodes;
    if (mode >= 0 && static_cast<std::size_t>(mode) < codes.size())
        return codes[static_cast<std::size_t>(mode)] & 0xFF;
    // The user's own effects are the program's to play; without a mode table the index is
    // the code.
    if (!codes.empty())
        return kHostDrivenCode;
    return mode >= 0 && mode < kHostDrivenCode ? mode : 0;
}

int CTessaronKeyboardDevice::LightModeOfCode(int code) const {
    return defaults_.ModeOfCode(code);
}

// ---- Writing ----

int CTessaronKeyboardDevice::MacroCount() const {
    return static_cast<int>(ReadMacroNames(GetUserDataFolder()).size());
}

void CTessaronKeyboardDevice::NumberMacros(std::vector<KeyListEntry>& keys, int macroCount,
                                           std::vector<int>& used) const {
    auto slot = [&](KeyCode& code) {
        auto it = std::find(used.begin(), used.end(), code.value1);
        if (it == used.end())
            it = used.insert(used.end(), code.value1);
        code.value1 = static_cast<std::uint8_t>(it - used.begin());
    };
    for (std::size_t j = 0; j < keys.size() && j < kKeyboardUiKeys; ++j) {
        if (keyToPosition_[j] == kKeyAbsent)
            continue;
        KeyListEntry& e = keys[j];
        if (IsMacro(e.assignment.code)) {
            if (e.assignment.code.value1 < macroCount)
                slot(e.assignment.code);
            else
                e.assignment = e.defaultAssignment;
        }
        if (IsMacro(e.fnAssignment.code)) {
            if (e.fnAssignment.code.value1 < macroCount) {
                slot(e.fnAssignment.code);
            } else {
                e.fnAssignment.code = {};
                e.fnAssignment.index = e.defaultAssignment.index;
            }
        }
    }
}

std::vector<int> CTessaronKeyboardDevice::GetUsedMacros() {
    std::vector<int> used;
    const int macroCount = MacroCount();
    std::lock_guard lock(stateLock_);
    std::vector<KeyListEntry> keys = keyList_;
    NumberMacros(keys, macroCount, used);
    return used;
}

int CTessaronKeyboardDevice::DownloadKeyTable(int page, const std::vector<KeyListEntry>& list) {
    CDeviceChannel& channel = CommandChannel();
    if (!Reachable())
        return kResultNoAnswer;
    std::array<std::uint8_t, kInfoBlockSize> info{};
    if (const int r = CmdReadInfo(channel, info); r != kResultOk)
        return r;
    const int macroCount = MacroCount();
    std::vector<std::uint8_t> normal(kTableSize, 0);
    std::vector<std::uint8_t> fn(kTableSize, 0);
    {
        std::unique_lock lock(stateLock_);
        const std::size_t n = std::min<std::size_t>(info[5] * 3u, kTableSize);
        std::copy_n(defaultKeyTable_.begin(), n, normal.begin());
        std::copy_n(defaultKeyTable_.begin(), n, fn.begin());
        std::vector<KeyListEntry> keys = CompleteKeyboardKeyList(list);
        std::vector<int> used;
        NumberMacros(keys, macroCount, used);
        // A key must never fire a macro slot the keyboard was not given: write the macros
        // first when they are not the ones written, and fall back when that fails.
        macroFallback_ = 0;
        if (!used.empty() && writtenMacros_ != used) {
            lock.unlock();
            const int r = DownloadMacros(used);
            lock.lock();
            if (r != 0) {
                macroFallback_ = r;
                for (KeyListEntry& e : keys) {
                    if (IsMacro(e.assignment.code))
                        e.assignment = e.defaultAssignment;
                    if (IsMacro(e.fnAssignment.code))
                        e.fnAssignment.code = {};
                }
            }
        }
        for (std::size_t j = 0; j < kKeyboardUiKeys; ++j) {
            const int p = keyToPosition_[j];
            const auto at = static_cast<std::size_t>(3 * p);
            if (p == kKeyAbsent || p >= info[5] || at + 2 >= kTableSize)
                continue;
            const KeyListEntry& e = keys[j];
            const KeyCode fnCode =
                e.fnAssignment.code == e.defaultAssignment.code ? KeyCode{} : e.fnAssignment.code;
            const KeyCode code = e.assignment.code;
            fn[at] = fnCode.type;
            fn[at + 1] = fnCode.value1;
            fn[at + 2] = fnCode.value2;
            normal[at] = code.type;
            normal[at + 1] = code.value1;
            normal[at + 2] = code.value2;
        }
    }
    const int begin = CmdBegin(channel);
    const int a = begin == kResultOk ? CmdWriteKeyTable(channel, normal.data(), page) : begin;
    const int b = a == kResultOk ? CmdWriteFnKeyTable(channel, fn.data(), page) : a;
    const int end = CmdEnd(channel);
    return FirstFailure({begin, a, b, end});
}

int CTessaronKeyboardDevice::DownloadCurrentKeyTable(int page) {
    return DownloadKeyTable(page, KeyList());
}

int CTessaronKeyboardDevice::DownloadMacros(const std::vector<int>& macros) {
    bool sent = false;
    const int result = WriteMacroImage(macros, sent);
    if (sent) {
        std::lock_guard lock(stateLock_);
        writtenMacros_ = macros;
    }
    return result;
}

KeyboardRecord CTessaronKeyboardDevice::BuildRecord(int profile) const {
    KeyboardRecord r{};
    const LightInfo light = LightState();
    r[krec::kProfile] = static_cast<std::uint8_t>(profile);
    r[krec::kMode] = static_cast<std::uint8_t>(LightModeCode(light.selectItem));
    r[krec::kBrightness] = light.light;
    r[krec::kSpeed] = static_cast<std::uint8_t>(4 - std::min<int>(light.speed, 4));
    r[krec::kDirection] = light.fx;
    r[krec::kMultiColour] = light.multiColor;
    r[krec::kRed] = light.red;
    r[krec::kGreen] = light.green;
    r[krec::kBlue] = light.blue;
    r[krec::kLedMode] = light.zzccLedMode;
    r[krec::kCustomGroup] = light.customGroup;
    std::lock_guard lock(stateLock_);
    r[krec::kOther] = recordCopy_[krec::kOther];
    r[krec::kWFlag] = static_cast<std::uint8_t>(stages_.wFlag != 0);
    r[krec::kRollover] = static_cast<std::uint8_t>(stages_.key6Flag != 0);
    r[krec::kWinLock] = static_cast<std::uint8_t>(stages_.winFlag != 0);
    r[krec::kPollingRate] = static_cast<std::uint8_t>(
        stages_.pollingRate < kKeyboardPollingRates ? stages_.pollingRate : 0);
    r[krec::kDebounce] =
        static_cast<std::uint8_t>(std::min<int>(stages_.keyShake, kKeyboardDebounceMax));
    return r;
}

int CTessaronKeyboardDevice::DownloadSettings(int /*profile*/, int /*value0*/, int /*value59*/,
                                              int /*width*/, int /*height*/) {
    CDeviceChannel& channel = CommandChannel();
    if (!Reachable())
        return kResultNoAnswer;
    // The record goes to the profile the keyboard is using, so the keyboard stays on it.
    const int active = ActiveProfile();
    const KeyboardRecord record = BuildRecord(active);
    const int begin = CmdBegin(channel);
    const int write =
        begin == kResultOk
            ? CmdWriteSetting(channel, record.data(), record.size(),
                              static_cast<std::uint16_t>(active * kKeyboardRecordSize))
            : begin;
    const int end = CmdEnd(channel);
    const int result = FirstFailure({begin, write, end});
    if (result == kResultOk) {
        std::lock_guard lock(stateLock_);
        recordCopy_ = record;
    }
    return result;
}

// ---- Frames ----

bool CTessaronKeyboardDevice::StreamsFrames() const {
    const int mode = Engine().Light().mode;  // the light thread asks too
    return HostLighting() && (mode == kMusicMode || mode == kExternalMode);
}

bool CTessaronKeyboardDevice::FramesGoToDevice() const {
    // While synchronised the keyboard shows the shared colour, not its own mode.
    return StreamsFrames() || (HostLighting() && TakesPartInSync());
}

std::size_t CTessaronKeyboardDevice::FillLedBuffer(bool scaled, std::size_t limit) {
    frameBuffer_.fill(0);
    const std::size_t frameLeds = Engine().CopyFrame(frameColours_);
    int positions = 0;
    {
        std::lock_guard lock(stateLock_);
        positions = keyPositions_;
        // Only the UI keys have LED indexes; each index must land inside the limit.
        const std::size_t keys = std::min<std::size_t>(frameLeds, kKeyboardUiKeys);
        for (std::size_t i = 0; i < keys; ++i) {
            const int led = keyToLight_[i];
            const auto at = static_cast<std::size_t>(3 * led);
            if (led == kKeyAbsent || at + 2 >= limit)
                continue;
            const LedColour& c = frameColours_[i];
            const int alpha = scaled ? c.alpha : 256;
            frameBuffer_[at] = static_cast<std::uint8_t>(c.c0 * alpha / 256);
            frameBuffer_[at + 1] = static_cast<std::uint8_t>(c.c1 * alpha / 256);
            frameBuffer_[at + 2] = static_cast<std::uint8_t>(c.c2 * alpha / 256);
        }
    }
    return std::min<std::size_t>(3u * static_cast<std::size_t>(positions), limit);
}

bool CTessaronKeyboardDevice::PresentLightFrame() {
    if (!HostLighting())
        return false;
    if (!FramesGoToDevice())
        return true;
    const std::size_t length = FillLedBuffer(true, frameBuffer_.size());
    SendLightFrame(std::span<const std::uint8_t>(frameBuffer_.data(), length));
    return true;
}

// ---- Events ----

void CTessaronKeyboardDevice::OnEventWord(std::uint16_t word, EventLink link) {
    if (word == kEventActiveProfile) {
        CTessaronUSBDevice::OnEventWord(word, link);
        return;
    }
    if (word == kEventProfileListChanged) {
        profileListChanged_.store(true);
        CTessaronUSBDevice::OnEventWord(kEventActiveProfile, link);
        return;
    }
    const int high = word >> 8;
    if ((high == 0x10 || high == 0x11) && CommandChannel().IsOpen()) {
        {
            std::lock_guard lock(stateLock_);
            activeProfile_ = word & 0x0F;
            if (high == 0x11)
                recordCopy_[krec::kOther] = static_cast<std::uint8_t>((word & 0xF0) >> 4);
        }
        if (Host() != nullptr)
            Host()->RefreshPage();
    }
}

}  // namespace morva
