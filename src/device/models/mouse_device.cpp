#include "device/models/mouse_device.h"

#include <algorithm>
#include <random>

#include "base/debug_log.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "profile/json_file.h"
#include "profile/profile_list_store.h"

namespace morva {
namespace {

constexpr std::uint8_t kMacroType = 0x70;
constexpr std::uint8_t kMacroRepeatType = 0x71;
constexpr std::uint16_t kEventReactive = 0x0403;

bool IsMacro(const KeyCode& code) {
    return code.type == kMacroType || code.type == kMacroRepeatType;
}

std::uint16_t Word(std::span<const std::uint8_t, kInfoBlockSize> info, std::size_t at) {
    return static_cast<std::uint16_t>(info[at] | info[at + 1] << 8);
}

}  // namespace

std::vector<KeyListEntry> CompleteKeyList(std::vector<KeyListEntry> keys) {
    // A short list leaves the remaining buttons at their factory function.
    for (std::size_t j = keys.size(); j < kMouseButtons; ++j) {
        KeyListEntry entry;
        const KeyCode code = MouseButtonReferences()[j];
        entry.fnAssignment = entry.assignment = entry.defaultAssignment =
            IndexedKeyCode{static_cast<std::uint16_t>(j), code};
        keys.push_back(entry);
    }
    return keys;
}

const std::array<KeyCode, kMouseButtons>& MouseButtonReferences() {
    static const std::array<KeyCode, kMouseButtons> table = {{
        {0x10, 0x01, 0x00},
        {0x10, 0x02, 0x00},
        {0x10, 0x04, 0x00},
        {0x10, 0x10, 0x00},
        {0x10, 0x08, 0x00},
        {0x13, 0x01, 0x00},
        {0x13, 0x02, 0x00},
        {0x13, 0x03, 0x00},
        {0xA0, 0x1B, 0x00},
        {0x16, 0x90, 0x01},
        {0x14, 0x78, 0x02},
    }};
    return table;
}

std::span<const std::vector<int>> MouseLedGroups() {
    static const std::vector<std::vector<int>> groups = {{0, 13}, {1, 12}, {2, 11},   {3, 10},
                                                         {4, 9},  {5, 8},  {6, 14, 7}};
    return groups;
}

MouseSensor MouseSensor::FromInfo(std::span<const std::uint8_t, kInfoBlockSize> info) {
    MouseSensor s;
    s.id = Word(info, 9);
    s.step = std::max<int>(info[11], 1);  // a zero step would divide by zero
    s.maxSlider = Word(info, 12);
    s.minDpi = Word(info, 14);
    return s;
}

int MouseSensor::DpiOfSliderValue(int value) const {
    if (id == kTwoRangeSensor && value > 48)
        return minDpi + 48 * step + (value - 48) * 200;
    return minDpi + value * step;
}

int MouseSensor::SliderValueOfDpi(int dpi) const {
    dpi = std::max(dpi, minDpi);
    // The inverse of DpiOfSliderValue, so an edited value shows again as typed.
    const int firstRangeTop = minDpi + 48 * step;
    const int value = id == kTwoRangeSensor && dpi > firstRangeTop
                          ? (dpi - firstRangeTop) / 200 + 48
                          : (dpi - minDpi) / step;
    // Nothing beyond the sensor's range goes to the device.
    return maxSlider > 0 ? std::min(value, maxSlider) : value;
}

CTessaronMouseDevice::CTessaronMouseDevice(hid::IHidBackend& backend, IClock& clock)
    : CTessaronUSBDevice(backend, clock) {
    buttonPosition_.fill(kNoKeyPosition);
    profile_.SetLightConfigIndex(kKindMouse);
    auto engine = std::make_shared<std::minstd_rand>(std::random_device{}());
    random_ = [engine] { return static_cast<int>((*engine)() % 192); };
}

CTessaronMouseDevice::~CTessaronMouseDevice() {
    StopThreads();
}

// ---- Reading ----

void CTessaronMouseDevice::ReadFromDevice() {
    CDeviceChannel& channel = CommandChannel();
    if (Reachable()) {
        std::array<std::uint8_t, kInfoBlockSize> info{};
        std::array<std::uint8_t, 512> table{};
        const bool read = CmdBegin(channel) == kResultOk &&
                          CmdReadInfo(channel, info) == kResultOk &&
                          channel.SetTransferSize(static_cast<std::uint16_t>(info[5] * 3)) == 1 &&
                          CmdReadKeyTable(channel, table.data()) == kResultOk;
        // An end the device did not confirm may leave it waiting for more commands.
        if (CmdEnd(channel) != kResultOk || !read)
            NoteReadFailure();
        if (read) {
            SetInfo(info);
            std::lock_guard lock(stateLock_);
            defaultKeyTable_ = table;
            buttonPosition_.fill(kNoKeyPosition);
            for (int j = 0; j < kMouseButtons; ++j) {
                const KeyCode& ref = MouseButtonReferences()[static_cast<std::size_t>(j)];
                for (int k = 0; k < info[5] && 3 * k + 2 < static_cast<int>(table.size()); ++k) {
                    const auto at = static_cast<std::size_t>(3 * k);
                    if (KeyCode{table[at], table[at + 1], table[at + 2]} == ref) {
                        buttonPosition_[static_cast<std::size_t>(j)] = k;
                        break;
                    }
                }
            }
        } else {
            DebugLog("mouse: reading the device failed\n");
        }
    }
    LoadProfile();
    RefreshPage();
    StartLightThread();
}

void CTessaronMouseDevice::ReadActiveProfile() {
    CDeviceChannel& channel = CommandChannel();
    channel.externalColour = false;
    if (!Reachable())
        return;
    std::uint8_t active = 0;
    std::array<std::uint8_t, kMouseSettingReadSize> block{};
    if (CmdReadSetting(channel, &active, 1, 0) != kResultOk ||
        CmdReadSetting(channel, block.data(), block.size(),
                       static_cast<std::uint16_t>(active * 128)) != kResultOk) {
        NoteReadFailure();
        return;
    }
    block[0] = active;
    const int mode = LightModeOfCode(block[1]);
    if (mode >= 0)
        block[1] = static_cast<std::uint8_t>(mode);
    block[9] = 0;
    {
        std::lock_guard lock(stateLock_);
        activeProfile_ = active;
        settingCopy_ = block;
    }
    LightInfo light = LightState();
    light.selectItem = block[1];
    light.light = block[2];
    light.speed = static_cast<std::uint8_t>(std::clamp(4 - block[3], 0, 4));
    light.multiColor = block[5];
    light.red = block[6];
    light.green = block[7];
    light.blue = block[8];
    profile_.WriteStageActive(block[12]);
    profile_.WriteLightInfo(light);
    SetLightInfo(light);
    SaveProfile();
    RefreshPage();
}

void CTessaronMouseDevice::RefreshPowerStatus() {
    PollPowerStatus();
}

bool CTessaronMouseDevice::IsWirelessReachable() {
    return ReceiverAnswers();
}

// ---- Profile ----

void CTessaronMouseDevice::SetProfilePaths() {
    PointProfileAt(profile_, kDeviceTypeMouse);
}

std::string CTessaronMouseDevice::GetProfilePath() const {
    return profile_.GetDocumentPath();
}

int CTessaronMouseDevice::LoadProfile() {
    SetProfilePaths();
    const std::string path = profile_.GetDocumentPath();
    // Without a file of its own the mouse plays the factory profile and saves nothing.
    const Json::Value document =
        profile_.LoadDocument(path.empty() ? GetDefaultProfilePath() : path);
    const bool loaded = !path.empty() && !document.isNull();
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    {
        std::lock_guard lock(stateLock_);
        keyList_ = CompleteKeyList(profile_.ReadKeyList());
    }
    ApplyLightSettings();
    std::lock_guard lock(stateLock_);
    dpiStages_ = profile_.ReadDpiStages();
    systemValues_ = profile_.ReadMouseStages();
    profile_.ReadCorrectInfo();
    return loaded ? 1 : 0;
}

void CTessaronMouseDevice::LoadDefaultProfile() {
    SetProfilePaths();
    profile_.LoadDocument(GetDefaultProfilePath());
    profile_.LoadLightConfig(profile_.GetLightConfigPath());
    {
        std::lock_guard lock(stateLock_);
        keyList_ = CompleteKeyList(profile_.ReadKeyList());
        dpiStages_ = profile_.ReadDpiStages();
        systemValues_ = profile_.ReadMouseStages();
        profile_.ReadCorrectInfo();
    }
    ApplyLightSettings();
    SaveProfile();
    RefreshPage();
}

int CTessaronMouseDevice::SaveProfile() {
    return profile_.Save();
}

void CTessaronMouseDevice::ApplyLightSettings() {
    const LightInfo light = profile_.ReadLightInfo();
    std::uint8_t before = 0;
    {
        std::lock_guard lock(stateLock_);
        before = settingCopy_[1];
        settingCopy_[1] = light.selectItem;
        settingCopy_[2] = light.light;
        settingCopy_[3] = light.speed;
        settingCopy_[5] = light.multiColor;
        settingCopy_[6] = light.red;
        settingCopy_[7] = light.green;
        settingCopy_[8] = light.blue;
    }
    SetLightInfo(light);
    if (light.selectItem != before) {
        MusicReset();
        Engine().SetPeak(0, true);
    }
    EffectPlayer().Load(profile_.ReadEffectList());
}

void CTessaronMouseDevice::SetLightInfo(const LightInfo& info) {
    CTessaronUSBDevice::SetLightInfo(info);
}

void CTessaronMouseDevice::RefreshPage() {
    LoadDefaultData();
    if (Host() != nullptr)
        Host()->RefreshPage();
}

void CTessaronMouseDevice::LoadDefaultData() {
    defaults_.LoadDefaultData(GetUserDataFolder(), GetDefaultDataFolder(), GetDeviceKind(),
                              "macro.config");
}

std::vector<KeyListEntry> CTessaronMouseDevice::KeyList() const {
    std::lock_guard lock(stateLock_);
    return keyList_;
}

void CTessaronMouseDevice::SetKeyList(const std::vector<KeyListEntry>& list) {
    {
        std::lock_guard lock(stateLock_);
        keyList_ = list;
    }
    profile_.WriteKeyList(list);
}

std::vector<DpiStage> CTessaronMouseDevice::GetDpiStages() const {
    std::lock_guard lock(stateLock_);
    return dpiStages_;
}

void CTessaronMouseDevice::SetDpiStages(const std::vector<DpiStage>& stages) {
    {
        std::lock_guard lock(stateLock_);
        dpiStages_ = stages;
    }
    profile_.WriteDpiStages(stages);
}

int CTessaronMouseDevice::ActiveDpiStage() const {
    return profile_.StageActive();
}

void CTessaronMouseDevice::SelectDpiStage(int index) {
    profile_.WriteStageActive(std::clamp(index, 0, kMouseDpiStages - 1));
}

MouseSystemStages CTessaronMouseDevice::GetSystemValues() const {
    std::lock_guard lock(stateLock_);
    return systemValues_;
}

void CTessaronMouseDevice::SetSystemValues(const MouseSystemStages& values) {
    {
        std::lock_guard lock(stateLock_);
        systemValues_ = values;
    }
    profile_.WriteMouseStages(values);
}

void CTessaronMouseDevice::SetPollingRate(int index) {
    MouseSystemStages values = GetSystemValues();
    values.reportRate = static_cast<std::uint16_t>(index < 0 || index > 4 ? 0 : index);
    SetSystemValues(values);
}

int CTessaronMouseDevice::ButtonPosition(int button) const {
    std::lock_guard lock(stateLock_);
    return button >= 0 && button < kMouseButtons ? buttonPosition_[static_cast<std::size_t>(button)]
                                                 : kNoKeyPosition;
}

MouseSensor CTessaronMouseDevice::Sensor() const {
    const auto info = Info();
    return MouseSensor::FromInfo(info);
}

int CTessaronMouseDevice::ActiveProfile() const {
    std::lock_guard lock(stateLock_);
    return activeProfile_;
}

std::array<std::uint8_t, kMouseSettingReadSize> CTessaronMouseDevice::SettingCopy() const {
    std::lock_guard lock(stateLock_);
    return settingCopy_;
}

int CTessaronMouseDevice::LightModeCode(int mode) const {
    const std::vector<int>& codes = defaults_.lightModeCodes;
    if (mode < 0 || mode >= kMouseLightModes)
        mode = 0;
    return static_cast<std::size_t>(mode) < codes.size() ? codes[static_cast<std::size_t>(mode)]
                                                         : mode;
}

int CTessaronMouseDevice::LightModeOfCode(int code) const {
    return defaults_.ModeOfCode(code);
}

// ---- Writing ----

int CTessaronMouseDevice::MacroCount() const {
    return static_cast<int>(ReadMacroNames(GetUserDataFolder()).size());
}

void CTessaronMouseDevice::WalkMacroButtons(const std::vector<KeyListEntry>& keys, int macroCount,
                                            std::vector<int>& used,
                                            std::vector<std::uint8_t>* table) const {
    for (int j = 0; j < KeyCount() && j < kMouseButtons; ++j) {
        const int position = buttonPosition_[static_cast<std::size_t>(j)];
        if (position == kNoKeyPosition || static_cast<std::size_t>(j) >= keys.size())
            continue;
        KeyCode code = keys[static_cast<std::size_t>(j)].assignment.code;
        if (IsMacro(code)) {
            if (code.value1 < macroCount) {
                // Macros are numbered by their slot among the macros the buttons use.
                auto it = std::find(used.begin(), used.end(), code.value1);
                if (it == used.end())
                    it = used.insert(used.end(), code.value1);
                code.value1 = static_cast<std::uint8_t>(it - used.begin());
            } else {
                code = keys[static_cast<std::size_t>(j)].defaultAssignment.code;
            }
        }
        const auto at = static_cast<std::size_t>(3 * position);
        if (table != nullptr && at + 2 < table->size()) {
            (*table)[at] = code.type;
            (*table)[at + 1] = code.value1;
            (*table)[at + 2] = code.value2;
        }
    }
}

std::vector<int> CTessaronMouseDevice::GetUsedMacros() {
    std::vector<int> used;
    const int macroCount = MacroCount();
    std::lock_guard lock(stateLock_);
    WalkMacroButtons(keyList_, macroCount, used, nullptr);
    return used;
}

int CTessaronMouseDevice::DownloadKeyTable(int page, const std::vector<KeyListEntry>& keys) {
    CDeviceChannel& channel = CommandChannel();
    if (channel.IsOpen() && channel.ViaReceiver() && !CmdQueryWireless(channel))
        return kResultNoAnswer;
    std::array<std::uint8_t, kInfoBlockSize> info{};
    if (const int r = CmdReadInfo(channel, info); r != kResultOk)
        return r;
    const int macroCount = MacroCount();
    std::vector<std::uint8_t> table(512, 0);
    std::vector<int> used;
    {
        std::lock_guard lock(stateLock_);
        std::copy_n(defaultKeyTable_.begin(), std::min<std::size_t>(info[5] * 3u, 512u),
                    table.begin());
        WalkMacroButtons(keys, macroCount, used, &table);
    }
    if (!channel.IsOpen())
        return kResultNoAnswer;
    const int begin = CmdBegin(channel);
    const int write = begin == kResultOk ? CmdWriteKeyTable(channel, table.data(), page) : begin;
    const int end = CmdEnd(channel);
    return FirstFailure({begin, write, end});
}

int CTessaronMouseDevice::DownloadCurrentKeyTable(int page) {
    return DownloadKeyTable(page, KeyList());
}

int CTessaronMouseDevice::DownloadMacros(const std::vector<int>& macros) {
    bool sent = false;
    return WriteMacroImage(macros, sent);
}

int CTessaronMouseDevice::DownloadShootPatterns() {
    // Built first: an image too large for the mouse must not reach it cut short.
    const std::optional<std::vector<std::uint8_t>> image = BuildShootImage(GetUserDataFolder());
    if (!image)
        return kResultImageTooLarge;
    CDeviceChannel& channel = CommandChannel();
    if (!Reachable())
        return kResultNoAnswer;
    std::array<std::uint8_t, kInfoBlockSize> info{};
    if (const int r = CmdReadInfo(channel, info); r != kResultOk)
        return r;
    const int begin = CmdBegin(channel);
    const int write =
        begin == kResultOk ? CmdWriteShoot(channel, image->data(), image->size()) : begin;
    const int end = CmdEnd(channel);
    return FirstFailure({begin, write, end});
}

std::array<std::uint8_t, kMouseSettingWriteSize> CTessaronMouseDevice::BuildSettingBlock(
    int value0, int value59, int width, int height) const {
    std::array<std::uint8_t, kMouseSettingWriteSize> b{};
    const LightInfo& light = LightState();
    b[0] = static_cast<std::uint8_t>(value0);
    b[1] = static_cast<std::uint8_t>(LightModeCode(light.selectItem));
    b[2] = std::min<std::uint8_t>(light.light, 4);
    b[3] = static_cast<std::uint8_t>(4 - std::min<int>(light.speed, 4));
    b[4] = light.fx;
    b[5] = light.multiColor;
    b[6] = light.red;
    b[7] = light.green;
    b[8] = light.blue;
    std::lock_guard lock(stateLock_);
    b[11] = static_cast<std::uint8_t>(systemValues_.reportRate);
    b[12] = static_cast<std::uint8_t>(profile_.StageActive());
    for (std::size_t i = 0; i < dpiStages_.size() && i < kMouseDpiStages; ++i) {
        const DpiStage& s = dpiStages_[i];
        const std::array<std::uint8_t, 9> bytes = {s.stageActive, s.stageXY, s.dpiXLow,
                                                   s.dpiXHigh,    s.dpiYLow, s.dpiYHigh,
                                                   s.colorR,      s.colorG,  s.colorB};
        std::copy(bytes.begin(), bytes.end(), b.begin() + 14 + 9 * static_cast<std::ptrdiff_t>(i));
    }
    b[59] = static_cast<std::uint8_t>(value59);
    b[60] = static_cast<std::uint8_t>(width & 0xFF);
    b[61] = static_cast<std::uint8_t>(width >> 8 & 0xFF);
    b[62] = static_cast<std::uint8_t>(height & 0xFF);
    b[63] = static_cast<std::uint8_t>(height >> 8 & 0xFF);
    for (const CorrectInfo& c : profile_.Corrections()) {
        if (c.correctSelect != 0) {
            b[64] = c.correctMinSq;
            b[65] = c.correctPixThresh;
            break;
        }
    }
    return b;
}

int CTessaronMouseDevice::DownloadSettings(int profile, int value0, int value59, int width,
                                           int height) {
    CDeviceChannel& channel = CommandChannel();
    if (!channel.IsOpen())
        return kResultNoAnswer;
    if (channel.ViaReceiver() && !CmdQueryWireless(channel))
        return kResultNoAnswer;
    const auto block = BuildSettingBlock(value0, value59, width, height);
    const int begin = CmdBegin(channel);
    const int write = begin == kResultOk
                          ? CmdWriteSetting(channel, block.data(), block.size(),
                                            static_cast<std::uint16_t>(profile * 128))
                          : begin;
    const int end = CmdEnd(channel);
    const int result = FirstFailure({begin, write, end});
    if (result == kResultOk) {
        std::lock_guard lock(stateLock_);
        std::copy(block.begin(), block.end(), settingCopy_.begin());
    }
    return result;
}

// ---- Events ----

void CTessaronMouseDevice::OnEventWord(std::uint16_t word, EventLink link) {
    if (word == kEventActiveProfile) {
        CTessaronUSBDevice::OnEventWord(word, link);
        return;
    }
    if (word == kEventReactive) {
        if (link == EventLink::Cable)
            TriggerReactive();
        return;
    }
    const int high = word >> 8;
    if ((high == 0x10 || high == 0x11) && CommandChannel().IsOpen()) {
        {
            std::lock_guard lock(stateLock_);
            activeProfile_ = word & 0x0F;
            if (high == 0x11)
                settingCopy_[12] = static_cast<std::uint8_t>(word >> 4 & 0x0F);
        }
        if (Host() != nullptr)
            Host()->RefreshPage();
    }
}

void CTessaronMouseDevice::TriggerReactive() {
    if (LightState().selectItem == 6)
        Engine().TriggerReactive(random_);
}

// ---- Lighting ----

CTessaronUSBDevice::EffectStep CTessaronMouseDevice::LightModeStep(int mode) const {
    using Self = CTessaronMouseDevice;
    switch (mode) {
        case 0:
            return static_cast<EffectStep>(&Self::EffectWave);
        case 1:
            return &CTessaronUSBDevice::EffectSpectrum;
        case 2:
            return &CTessaronUSBDevice::EffectBreathCycle;
        case 3:
            return &CTessaronUSBDevice::EffectStatic;
        case 4:
            return &CTessaronUSBDevice::EffectFlash;
        case 5:
            return static_cast<EffectStep>(&Self::EffectMusic);
        case 6:
            return static_cast<EffectStep>(&Self::EffectReactive);
        case 7:
            return &CTessaronUSBDevice::EffectBreathFour;
        case 8:
            return &CTessaronUSBDevice::EffectFlashFour;
        case 9:
            return &CTessaronUSBDevice::EffectOff;
        default:
            return nullptr;
    }
}

int CTessaronMouseDevice::MusicBarCount(int mode) const {
    return mode == 5 ? static_cast<int>(MouseLedGroups().size()) : 0;
}

void CTessaronMouseDevice::EffectWave() {
    Engine().EffectGroupWave(MouseLedGroups());
}

void CTessaronMouseDevice::EffectMusic() {
    Engine().EffectGroupMusic(MouseLedGroups());
}

void CTessaronMouseDevice::EffectReactive() {
    Engine().EffectReactive();
}

}  // namespace morva
