// What the families with keys and macros (mouse, keyboard) do alike: reaching the device over
// its receiver, the battery poll, the profile paths, the macro image and the macro repair.
#include "device/models/default_data.h"
#include "device/models/usb_device.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "profile/basic_profiledata.h"
#include "profile/json_file.h"
#include "profile/profile_list_store.h"

namespace morva {

namespace {

constexpr int kMsgDeviceStatusByte = 0x0D01;

bool IsMacro(const KeyCode& code) {
    return code.type == 0x70 || code.type == 0x71;
}

}  // namespace

bool CTessaronUSBDevice::Reachable() {
    CDeviceChannel& channel = commandChannel_;
    return channel.IsOpen() && (!channel.ViaReceiver() || CmdQueryWireless(channel));
}

bool CTessaronUSBDevice::ReceiverAnswers() {
    CDeviceChannel& channel = commandChannel_;
    return channel.IsOpen() && channel.ViaReceiver() && CmdQueryWireless(channel);
}

void CTessaronUSBDevice::PollPowerStatus() {
    CDeviceChannel& channel = commandChannel_;
    if (!channel.IsOpen() || !CmdQueryWireless(channel))
        return;
    std::array<std::uint8_t, kStatusBlockSize> status{};
    if (CmdReadStatus(channel, status.data(), kStatusBlockSize, 0) != kResultOk)
        return;
    status[3] = channel.ViaReceiver() ? 1 : 0;
    if (host_ != nullptr) {
        host_->ShowPowerStatus(status);
        host_->SendOwnerMessage(kMsgDeviceStatusByte, status[4], 0);
    }
}

void CTessaronUSBDevice::PointProfileAt(CBasicProfiledata& profile, std::uint16_t deviceType) {
    const std::string folder = GetUserDataFolder();
    if (profileName_.empty()) {
        // Until a profile panel names one, the list's selected profile is the current one.
        CProfileListStore store(deviceType, folder, GetDefaultProfilePath());
        store.InitProfileList();
        profileName_ = store.GetCurrentProfileId();
    }
    // An unsafe profile id names no file at all: not even the previous profile's.
    if (const std::string path = ProfileFilePath(); path.empty())
        profile.ClearDocumentPath();
    else
        profile.SetDocumentPath(path);
    profile.SetDefaultDocumentPath(GetDefaultProfilePath());
    profile.SetLightConfigPath(FileInFolder(folder, lightConfigName_, ".config"));
}

int CTessaronUSBDevice::WriteMacroImage(const std::vector<int>& macros, bool& sent) {
    sent = false;
    CDeviceChannel& channel = commandChannel_;
    if (channel.IsOpen() && channel.ViaReceiver() && !CmdQueryWireless(channel))
        return kResultWriteFailed;
    std::array<std::uint8_t, kInfoBlockSize> info = Info();
    if (channel.IsOpen()) {
        if (const int r = CmdReadInfo(channel, info); r != kResultOk)
            return r == kResultNoAnswer ? kResultWriteFailed : r;
    }
    // An unreadable list, or no macro to write: nothing to do.
    if (ReadMacroNames(GetUserDataFolder()).empty() || macros.empty())
        return 0;
    const std::vector<std::vector<ImageEvent>> entries =
        LoadMacroEvents(GetUserDataFolder(), macros);
    const std::size_t length = MacroImageLength(entries);
    const std::size_t capacity = info[6] * 128u;
    if (length > capacity)
        return static_cast<int>((length - capacity) / 4 + 1);
    const std::optional<std::vector<std::uint8_t>> image = BuildMacroImage(entries);
    if (!image)
        return kResultWriteFailed;
    // Without a device nothing is sent; every caller sends the key table next, and that
    // reports the missing device.
    if (!channel.IsOpen())
        return 0;
    const int begin = CmdBegin(channel);
    const int write =
        begin == kResultOk ? CmdWriteMacro(channel, image->data(), image->size()) : begin;
    const int end = CmdEnd(channel);
    const int result = begin != kResultOk ? begin : write != kResultOk ? write : end;
    if (result != kResultOk)
        return result == kResultNoAnswer ? kResultWriteFailed : result;
    sent = true;
    return 0;
}

void CTessaronUSBDevice::RepairMacroBindings() {
    LoadDefaultData();
    const CDeviceDefaultData* presets = PresetData();
    const int macroCount = presets != nullptr ? static_cast<int>(presets->macroNames.size()) : 0;
    std::vector<KeyListEntry> keys = KeyList();
    bool changed = false;
    for (KeyListEntry& entry : keys) {
        if (IsMacro(entry.assignment.code) && entry.assignment.code.value1 >= macroCount) {
            entry.assignment = entry.defaultAssignment;
            changed = true;
        }
    }
    if (changed)
        StoreKeyList(keys);
    LoadDefaultData();
    if (changed && host_ != nullptr)
        host_->RefreshPage();
}

}  // namespace morva
