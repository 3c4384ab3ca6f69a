// The macro editor's and morvactl's changes to a device's macros.
#include <algorithm>

#include "device/key_codes.h"
#include "device/models/default_data.h"
#include "device/models/usb_device.h"
#include "macro/macro_store.h"
#include "profile/basic_profiledata.h"
#include "profile/json_file.h"

namespace morva {

namespace {

OpResult FromMacroResult(MacroResult result) {
    switch (result) {
        case MacroResult::kOk:
            return OpResult::Done();
        case MacroResult::kLimitReached:
            return OpResult::Refused(kMsgMacroLimit, CMacroStore::kMaxMacros);
        case MacroResult::kEmptyName:
        case MacroResult::kNameTaken:
            return OpResult::Refused(kMsgNameTaken);
        case MacroResult::kUnreadableFile:
            return OpResult::Refused(kMsgMacroUnreadable);
        case MacroResult::kNoSuchMacro:
            return OpResult::Refused(kMsgUnknownMacro);
        case MacroResult::kWriteFailed:
        case MacroResult::kUnsafeGuid:
            break;
    }
    return {kResultNotSaved, kMsgMacroFileError, 0, TakeLastWriteError()};
}

bool IsMacroCode(const KeyCode& code) {
    return code.type == kKeyTypeMacro || code.type == kKeyTypeMacroCount;
}

// The binding of one layer after macro `deleted` went; true when it changed.
bool Renumber(IndexedKeyCode& binding, const IndexedKeyCode& fallback, int deleted) {
    if (!IsMacroCode(binding.code) || binding.code.value1 < deleted)
        return false;
    if (binding.code.value1 == deleted)
        binding = fallback;
    else
        --binding.code.value1;
    return true;
}

bool RenumberKeys(std::vector<KeyListEntry>& keys, int deleted) {
    bool changed = false;
    for (KeyListEntry& entry : keys) {
        changed |= Renumber(entry.assignment, entry.defaultAssignment, deleted);
        changed |= Renumber(entry.fnAssignment, entry.defaultAssignment, deleted);
    }
    return changed;
}

}  // namespace

OpResult CTessaronUSBDevice::AddMacro(std::string* name) {
    CMacroStore store(GetUserDataFolder());
    const OpResult result = FromMacroResult(store.AddMacro(name));
    LoadDefaultData();
    return result;
}

OpResult CTessaronUSBDevice::RenameMacro(int index, const std::string& name) {
    CMacroStore store(GetUserDataFolder());
    const OpResult result = FromMacroResult(store.RenameMacro(index, name));
    LoadDefaultData();
    if (result.Ok() && host_ != nullptr)
        host_->RefreshPage();  // key labels name their macro
    return result;
}

OpResult CTessaronUSBDevice::SaveMacro(int index, const std::vector<MacroEvent>& events) {
    CMacroStore store(GetUserDataFolder());
    const OpResult saved = FromMacroResult(store.SaveMacroEvents(index, events));
    if (!saved.Ok())
        return saved;
    const std::vector<int> used = GetUsedMacros();
    if (std::find(used.begin(), used.end(), index) == used.end())
        return saved;
    return DownloadUsedMacros();
}

OpResult CTessaronUSBDevice::ImportMacro(const std::string& path, std::string* name) {
    CMacroStore store(GetUserDataFolder());
    const OpResult result = FromMacroResult(store.ImportMacro(path, name));
    LoadDefaultData();
    return result;
}

OpResult CTessaronUSBDevice::ExportMacro(int index, const std::string& path) const {
    CMacroStore store(GetUserDataFolder());
    store.LoadMacroList();
    return FromMacroResult(store.ExportMacro(index, path));
}

bool CTessaronUSBDevice::KeysUseMacro(int index) {
    for (const KeyListEntry& entry : KeyList()) {
        for (const IndexedKeyCode* binding : {&entry.assignment, &entry.fnAssignment}) {
            if (IsMacroCode(binding->code) && binding->code.value1 == index)
                return true;
        }
    }
    return false;
}

OpResult CTessaronUSBDevice::DeleteMacro(int index, const std::vector<std::string>& otherProfiles) {
    CMacroStore store(GetUserDataFolder());
    if (index < 0 || index >= store.LoadMacroList())
        return OpResult::Refused(kMsgUnknownMacro);
    OpResult result = OpResult::Done();
    if (CBasicProfiledata* profile = ProfileData()) {
        for (const std::string& path : otherProfiles) {
            if (path.empty() || profile->LoadOtherDocument(path).isNull())
                continue;
            std::vector<KeyListEntry> keys = profile->ReadOtherKeyList();
            if (!RenumberKeys(keys, index))
                continue;
            profile->WriteOtherKeyList(keys);
            if (profile->SaveOtherDocument(path) != 0)
                result = {kResultNotSaved, kMsgProfileNotSaved};
        }
    }
    std::vector<KeyListEntry> keys = KeyList();
    const bool bound = RenumberKeys(keys, index);
    if (bound)
        StoreKeyList(keys);
    const MacroResult deleted = store.DeleteMacro(index);
    LoadDefaultData();
    if (deleted != MacroResult::kOk)
        return FromMacroResult(deleted);
    if (host_ != nullptr)
        host_->RefreshPage();
    // The device's macro slots follow the new numbers.
    const OpResult sent = SaveKeysToDevice();
    return result.Ok() ? sent : result;
}

}  // namespace morva
