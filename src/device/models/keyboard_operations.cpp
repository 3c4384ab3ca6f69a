// The keyboard's use-case operations: the setting record's values, the values the profile
// alone keeps, the Fn-layer view, key assignments on both layers and the factory settings.
#include <algorithm>

#include "device/models/keyboard_device.h"
#include "macro/macro_store.h"

namespace morva {

namespace {

bool IsMacroCode(const KeyCode& code) {
    return code.type == 0x70 || code.type == 0x71;
}

}  // namespace

OpResult CTessaronKeyboardDevice::ChangeStages(const KeyboardSystemStages& stages, bool send) {
    SetSystemStages(stages);
    return CommitChange(send);
}

OpResult CTessaronKeyboardDevice::ChangePollingRate(int option) {
    if (option < 0 || option >= kKeyboardPollingRates)
        return OpResult::Refused(kMsgValueOutOfRange, option);
    KeyboardSystemStages s = GetSystemStages();
    s.pollingRate = static_cast<std::uint16_t>(option);
    return ChangeStages(s, true);
}

OpResult CTessaronKeyboardDevice::ChangeRepeatDelay(int option) {
    if (option < 0 || option >= kKeyboardRepeatDelays)
        return OpResult::Refused(kMsgValueOutOfRange, option);
    KeyboardSystemStages s = GetSystemStages();
    s.repeatDelay = static_cast<std::uint16_t>(option);
    return ChangeStages(s, false);
}

OpResult CTessaronKeyboardDevice::ChangeRepeatRate(int rate) {
    if (rate < kKeyboardRepeatRateMin || rate > kKeyboardRepeatRateMax)
        return OpResult::Refused(kMsgValueOutOfRange, rate);
    KeyboardSystemStages s = GetSystemStages();
    s.repeat = static_cast<std::uint16_t>(rate);
    return ChangeStages(s, false);
}

OpResult CTessaronKeyboardDevice::ChangeWinLock(bool on) {
    KeyboardSystemStages s = GetSystemStages();
    s.winFlag = on ? 1 : 0;
    return ChangeStages(s, true);
}

OpResult CTessaronKeyboardDevice::ChangeWFlag(bool on) {
    KeyboardSystemStages s = GetSystemStages();
    s.wFlag = on ? 1 : 0;
    return ChangeStages(s, true);
}

OpResult CTessaronKeyboardDevice::ChangeRollover(bool on) {
    KeyboardSystemStages s = GetSystemStages();
    s.key6Flag = on ? 1 : 0;
    return ChangeStages(s, true);
}

OpResult CTessaronKeyboardDevice::ChangeDebounce(int step) {
    if (step < 0 || step > kKeyboardDebounceMax)
        return OpResult::Refused(kMsgValueOutOfRange, step);
    KeyboardSystemStages s = GetSystemStages();
    s.keyShake = static_cast<std::uint16_t>(step);
    return ChangeStages(s, true);
}

OpResult CTessaronKeyboardDevice::ChangeFnLayerView(bool on) {
    {
        std::lock_guard lock(stateLock_);
        fnLayerView_ = on;
    }
    profile_.WriteFnKeysetFlag(on);
    return CommitChange(false);
}

OpResult CTessaronKeyboardDevice::CanAssign(int key, bool fnLayer) const {
    if (key < 0 || key >= kKeyboardUiKeys)
        return OpResult::Refused(kMsgValueOutOfRange, key);
    if (KeyPosition(key) == kKeyAbsent)
        return OpResult::Refused(kMsgButtonWithoutKey, key);
    // The Fn key reaches the Fn layer; the reserved keys are the keyboard's on that layer.
    if (key == kKeyboardFnKey)
        return OpResult::Refused(kMsgKeyKeptByKeyboard, key);
    const std::vector<int>& reserved = FnReservedUiKeys();
    if (fnLayer && std::find(reserved.begin(), reserved.end(), key) != reserved.end())
        return OpResult::Refused(kMsgKeyKeptByKeyboard, key);
    return OpResult::Done();
}

OpResult CTessaronKeyboardDevice::CanAssignKey(int key) const {
    return CanAssign(key, FnLayerView());
}

OpResult CTessaronKeyboardDevice::MacroFallbackResult() const {
    std::lock_guard lock(stateLock_);
    if (macroFallback_ > 0)
        return {kResultImageTooLarge, kMsgMacroKeysReset, macroFallback_};
    if (macroFallback_ < 0)
        return {macroFallback_, kMsgMacroKeysReset};
    return OpResult::Done();
}

OpResult CTessaronKeyboardDevice::AssignKey(int key, const KeyListEntry& entry, KeySend send) {
    std::vector<KeyListEntry> keys = KeyList();
    const KeyListEntry& before =
        keys[static_cast<std::size_t>(std::clamp(key, 0, kKeyboardUiKeys - 1))];
    const bool fnLayer = entry.fnAssignment != before.fnAssignment;
    if (OpResult allowed = CanAssign(key, fnLayer); !allowed.Ok())
        return allowed;
    const int macros = static_cast<int>(ReadMacroNames(GetUserDataFolder()).size());
    for (const KeyCode& code : {entry.assignment.code, entry.fnAssignment.code}) {
        if (IsMacroCode(code) && code.value1 >= macros)
            return OpResult::Refused(kMsgUnknownMacro, code.value1);
    }
    keys[static_cast<std::size_t>(key)] = entry;
    SetKeyList(keys);
    const int saved = SaveProfile();
    CSequenceBatch batch(CommandChannel());
    OpResult result = OpResult::Done();
    if (send == KeySend::MacrosAndKeyTable)
        result = DownloadUsedMacros();
    if (result.messageKey != kMsgMacrosTooLarge) {
        const int written = FirstFailure({DownloadCurrentKeyTable(0), batch.End()});
        const OpResult fallback = MacroFallbackResult();
        if (result.Ok())
            result = fallback.Ok() ? Finish(saved, written) : fallback;
    }
    AnnounceChange();
    return result;
}

OpResult CTessaronKeyboardDevice::AssignKeyCode(int key, KeyCode code, bool fnLayer, KeySend send) {
    if (OpResult allowed = CanAssign(key, fnLayer); !allowed.Ok())
        return allowed;
    KeyListEntry entry = KeyList()[static_cast<std::size_t>(key)];
    (fnLayer ? entry.fnAssignment : entry.assignment).code = code;
    return AssignKey(key, entry, send);
}

}  // namespace morva
