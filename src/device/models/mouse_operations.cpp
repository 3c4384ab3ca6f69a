// The mouse's use-case operations: DPI stages, report rate, the desktop's pointer values,
// button assignments and the factory settings.
#include <algorithm>

#include "device/models/mouse_device.h"
#include "macro/macro_store.h"

namespace morva {

namespace {

constexpr KeyCode kLeftButton{0x10, 0x01, 0x00};
constexpr int kReportRates = 5;

bool IsStage(int stage) {
    return stage >= 0 && stage < kMouseDpiStages;
}

bool IsMacroCode(const KeyCode& code) {
    return code.type == 0x70 || code.type == 0x71;
}

// Stage n of the list, added (switched off, at the lowest value) when the list is shorter.
DpiStage& StageAt(std::vector<DpiStage>& stages, int n) {
    if (stages.size() <= static_cast<std::size_t>(n))
        stages.resize(static_cast<std::size_t>(n) + 1);
    return stages[static_cast<std::size_t>(n)];
}

}  // namespace

bool CTessaronMouseDevice::CanDisableStage(int stage) const {
    const std::vector<DpiStage> stages = GetDpiStages();
    if (!IsStage(stage) || stage == ActiveDpiStage())
        return false;
    for (std::size_t k = 0; k < stages.size(); ++k) {
        if (k != static_cast<std::size_t>(stage) && stages[k].stageActive != 0)
            return true;
    }
    return false;
}

OpResult CTessaronMouseDevice::ChangeStageDpi(int stage, int sliderValue) {
    if (!IsStage(stage))
        return OpResult::Refused(kMsgValueOutOfRange, stage);
    const int top = Sensor().maxSlider;
    const int value = std::clamp(sliderValue, 0, top > 0 ? top : 0xFFFF);
    std::vector<DpiStage> stages = GetDpiStages();
    DpiStage& s = StageAt(stages, stage);
    s.SetDpiX(value);
    if (s.stageXY == 0)
        s.SetDpiY(value);
    SetDpiStages(stages);
    return CommitChange(true);
}

OpResult CTessaronMouseDevice::ChangeStageDpiValue(int stage, int dpi) {
    const MouseSensor sensor = Sensor();
    // Without the mouse's scale a typed DPI cannot be turned into a slider value.
    if (sensor.maxSlider <= 0)
        return OpResult::Refused(kMsgNotSupported);
    return ChangeStageDpi(stage, sensor.SliderValueOfDpi(dpi));
}

OpResult CTessaronMouseDevice::ChangeStageEnabled(int stage, bool on) {
    if (!IsStage(stage))
        return OpResult::Refused(kMsgValueOutOfRange, stage);
    std::vector<DpiStage> stages = GetDpiStages();
    if (!on) {
        bool othersOn = false;
        for (std::size_t k = 0; k < stages.size(); ++k)
            othersOn = othersOn || (k != static_cast<std::size_t>(stage) && stages[k].stageActive);
        const char* refusal = !othersOn                   ? kMsgLastStageOn
                              : stage == ActiveDpiStage() ? kMsgStageIsActive
                                                          : nullptr;
        if (refusal != nullptr) {
            AnnounceChange();  // the page shows the stage on again
            return OpResult::Refused(refusal, stage);
        }
    }
    StageAt(stages, stage).stageActive = on ? 1 : 0;
    SetDpiStages(stages);
    return CommitChange(true);
}

OpResult CTessaronMouseDevice::ChangeStageColour(int stage, std::uint32_t rgb) {
    if (!IsStage(stage))
        return OpResult::Refused(kMsgValueOutOfRange, stage);
    std::vector<DpiStage> stages = GetDpiStages();
    DpiStage& s = StageAt(stages, stage);
    s.colorR = static_cast<std::uint8_t>(rgb >> 16 & 0xFF);
    s.colorG = static_cast<std::uint8_t>(rgb >> 8 & 0xFF);
    s.colorB = static_cast<std::uint8_t>(rgb & 0xFF);
    SetDpiStages(stages);
    return CommitChange(true);
}

OpResult CTessaronMouseDevice::ChangeActiveStage(int stage) {
    if (!IsStage(stage))
        return OpResult::Refused(kMsgValueOutOfRange, stage);
    const std::vector<DpiStage> stages = GetDpiStages();
    if (static_cast<std::size_t>(stage) >= stages.size() ||
        stages[static_cast<std::size_t>(stage)].stageActive == 0) {
        AnnounceChange();
        return OpResult::Refused(kMsgStageIsOff, stage);
    }
    SelectDpiStage(stage);
    return CommitChange(true);
}

OpResult CTessaronMouseDevice::ChangeReportRate(int option) {
    if (option < 0 || option >= kReportRates)
        return OpResult::Refused(kMsgValueOutOfRange, option);
    SetPollingRate(option);
    return CommitChange(true);
}

OpResult CTessaronMouseDevice::ChangeSystemValues(const MouseSystemStages& values) {
    MouseSystemStages held = values;
    held.reportRate = GetSystemValues().reportRate;  // the report rate has its own operation
    SetSystemValues(held);
    return CommitChange(false);
}

OpResult CTessaronMouseDevice::CanAssignKey(int key) const {
    const std::vector<KeyListEntry> keys = KeyList();
    if (key < 0 || static_cast<std::size_t>(key) >= keys.size() || key >= kMouseButtons)
        return OpResult::Refused(kMsgValueOutOfRange, key);
    if (ButtonPosition(key) == kNoKeyPosition)
        return OpResult::Refused(kMsgButtonWithoutKey, key);
    if (keys[static_cast<std::size_t>(key)].assignment.code != kLeftButton)
        return OpResult::Done();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (static_cast<int>(i) != key && keys[i].assignment.code == kLeftButton)
            return OpResult::Done();
    }
    return OpResult::Refused(kMsgLastLeftButton, key);
}

OpResult CTessaronMouseDevice::AssignKey(int key, const KeyListEntry& entry, KeySend send) {
    if (OpResult allowed = CanAssignKey(key);
        !allowed.Ok() &&
        !(allowed.messageKey == kMsgLastLeftButton && entry.assignment.code == kLeftButton)) {
        return allowed;
    }
    const KeyCode& code = entry.assignment.code;
    const auto macros = static_cast<int>(ReadMacroNames(GetUserDataFolder()).size());
    if (IsMacroCode(code) && code.value1 >= macros)
        return OpResult::Refused(kMsgUnknownMacro, code.value1);
    std::vector<KeyListEntry> keys = KeyList();
    keys[static_cast<std::size_t>(key)] = entry;
    SetKeyList(keys);
    const int saved = SaveProfile();
    CSequenceBatch batch(CommandChannel());
    OpResult result = OpResult::Done();
    if (send == KeySend::MacrosAndKeyTable)
        result = DownloadUsedMacros();
    if (result.Ok())
        result = Finish(saved, FirstFailure({DownloadCurrentKeyTable(0), batch.End()}));
    AnnounceChange();
    return result;
}

}  // namespace morva
