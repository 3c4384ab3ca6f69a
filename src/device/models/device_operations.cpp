// The use-case operations every device family shares: lighting, music lighting, applying a
// profile, the macros the keys use.
#include <algorithm>
#include <future>
#include <optional>
#include <system_error>

#include "device/models/default_data.h"
#include "device/models/usb_device.h"
#include "profile/basic_profiledata.h"
#include "profile/json_file.h"

namespace morva {

namespace {

constexpr int kLightLevels = 4;  // brightness and speed steps 0..4

bool InRange(int v, int low, int high) {
    return v >= low && v <= high;
}

// Whether the device offers light mode `mode`: a shown preset, or one of the user's effects.
bool OffersLightMode(const CDeviceDefaultData* presets, int mode) {
    if (presets == nullptr || presets->lightModeNames.empty())
        return InRange(mode, 0, 255);
    const auto m = static_cast<std::size_t>(mode);
    const int firstCustom = presets->FirstCustomEffectMode();
    if (mode >= 0 && m < presets->lightModeNames.size())
        return m >= presets->lightModeVisible.size() || presets->lightModeVisible[m] != 0;
    return mode >= firstCustom &&
           static_cast<std::size_t>(mode - firstCustom) < presets->customEffectNames.size();
}

// Why a light state cannot be stored, if it cannot.
std::optional<OpResult> LightRefusal(const CDeviceDefaultData* presets, const LightInfo& info) {
    if (!OffersLightMode(presets, info.selectItem))
        return OpResult::Refused(kMsgUnknownLightMode, info.selectItem);
    if (!InRange(info.light, 0, kLightLevels) || !InRange(info.speed, 0, kLightLevels) ||
        !InRange(info.fx, 0, 1) || !InRange(info.multiColor, 0, 1)) {
        return OpResult::Refused(kMsgValueOutOfRange);
    }
    return std::nullopt;
}

}  // namespace

void CTessaronUSBDevice::SetScreenPixels(int width, int height) {
    if (width > 0 && height > 0) {
        screenWidth_ = width;
        screenHeight_ = height;
    }
}

OpResult CTessaronUSBDevice::Finish(int saved, int sent) {
    return Finish(saved, sent, saved != 0 ? TakeLastWriteError() : std::string());
}

OpResult CTessaronUSBDevice::Finish(int saved, int sent, std::string reason) {
    if (sent != kResultOk)
        return {sent, kMsgDeviceWriteFailed};
    if (saved != 0)
        return {kResultNotSaved, kMsgProfileNotSaved, 0, std::move(reason)};
    return OpResult::Done();
}

OpResult CTessaronUSBDevice::SaveWhileSending(const std::function<int()>& send) {
    std::string reason;
    const auto save = [this, &reason] {
        const int r = SaveProfile();
        if (r != 0)
            reason = TakeLastWriteError();
        return r;
    };
    std::future<int> saving;
    try {
        saving = std::async(std::launch::async, save);
    } catch (const std::system_error&) {
        // No thread to be had: one after the other, as it would be anyway.
        const int saved = save();
        return Finish(saved, send(), std::move(reason));
    }
    const int sent = send();
    const int saved = saving.get();
    return Finish(saved, sent, std::move(reason));
}

void CTessaronUSBDevice::AnnounceChange() {
    if (host_ != nullptr)
        host_->RefreshPage();
}

OpResult CTessaronUSBDevice::CommitChange(bool send) {
    const OpResult result = send ? SaveWhileSending([this] { return SendSettings(); })
                                 : Finish(SaveProfile(), kResultOk);
    AnnounceChange();
    return result;
}

OpResult CTessaronUSBDevice::ChangeLight(LightInfo info, bool endsSync) {
    CBasicProfiledata* profile = ProfileData();
    if (profile == nullptr)
        return OpResult::Refused(kMsgNotSupported);
    if (std::optional<OpResult> refused = LightRefusal(PresetData(), info))
        return *std::move(refused);
    if (endsSync)
        commandChannel_.externalColour = false;
    // The user's own choice is what a game effect returns to from now.
    userLight_.reset();
    // ApplyLightSettings takes the light state from the profile: the profile gets it first.
    profile->WriteLightInfo(info);
    ApplyLightSettings();
    return CommitChange(true);
}

OpResult CTessaronUSBDevice::JoinSameMode(const LightInfo& info) {
    CBasicProfiledata* profile = ProfileData();
    if (profile == nullptr)
        return OpResult::Refused(kMsgNotSupported);
    if (std::optional<OpResult> refused = LightRefusal(PresetData(), info))
        return *std::move(refused);
    // Set first: the light thread stands by before the new mode would start playing.
    commandChannel_.externalColour = true;
    userLight_.reset();
    profile->WriteLightInfo(info);
    ApplyLightSettings();
    return CommitChange(true);
}

OpResult CTessaronUSBDevice::ShowGameLight(int mode) {
    CBasicProfiledata* profile = ProfileData();
    if (profile == nullptr)
        return OpResult::Refused(kMsgNotSupported);
    if (!OffersLightMode(PresetData(), mode))
        return OpResult::Refused(kMsgUnknownLightMode, mode);
    commandChannel_.externalColour = false;
    if (!userLight_)
        userLight_ = profile->ReadLightInfo();
    LightInfo info = *userLight_;
    info.selectItem = mode;
    profile->WriteLightInfo(info);
    ApplyLightSettings();
    const int sent = SendSettings();
    AnnounceChange();
    return Finish(0, sent);
}

OpResult CTessaronUSBDevice::EndGameLight() {
    CBasicProfiledata* profile = ProfileData();
    if (profile == nullptr || !userLight_)
        return OpResult::Done();
    const LightInfo info = *userLight_;
    userLight_.reset();
    profile->WriteLightInfo(info);
    ApplyLightSettings();
    return CommitChange(true);
}

OpResult CTessaronUSBDevice::ChangeAudioLight(const AudioLightInfo& record, std::uint32_t a,
                                              std::uint32_t b) {
    CBasicProfiledata* profile = ProfileData();
    if (profile == nullptr)
        return OpResult::Refused(kMsgNotSupported);
    if (!InRange(record.colorTypeFlags, 0, 1))
        return OpResult::Refused(kMsgValueOutOfRange);
    SetLightSelection(static_cast<int>(a), static_cast<int>(b), record.colorTypeFlags);
    // The model keeps no music record of its own: the profile holds it.
    profile->WriteAudioLightInfo(record);
    ApplyLightSettings();
    return CommitChange(false);
}

OpResult CTessaronUSBDevice::SaveKeysToDevice() {
    CSequenceBatch batch(commandChannel_);
    const OpResult macros = DownloadUsedMacros();
    // Macros too large for the device: nothing more is sent, the caller gives the change up.
    if (macros.messageKey == kMsgMacrosTooLarge)
        return macros;
    const int keys = FirstFailure({DownloadCurrentKeyTable(0), batch.End()});
    const int saved = SaveProfile();
    if (!macros.Ok())
        return macros;
    return Finish(saved, keys);
}

OpResult CTessaronUSBDevice::DownloadUsedMacros() {
    const int r = DownloadMacros(GetUsedMacros());
    if (r < 0)
        return {r, kMsgDeviceWriteFailed};
    if (r > 0)
        return {kResultImageTooLarge, kMsgMacrosTooLarge, r};
    return OpResult::Done();
}

OpResult CTessaronUSBDevice::ApplyProfile(bool afterReset) {
    LoadProfile();
    if (!afterReset)
        RepairMacroBindings();
    RefreshPage();
    // The whole profile in one sequence: the device stores it at the one end.
    CSequenceBatch batch(commandChannel_);
    const int settings = SendSettings();
    const bool keyed = deviceType_ == kDeviceTypeKeyboard || deviceType_ == kDeviceTypeMouse;
    if (!keyed)
        return Finish(0, FirstFailure({settings, batch.End()}));
    const OpResult macros = DownloadUsedMacros();
    // Without the key table the device would keep the previous profile's keys.
    const int keys = DownloadCurrentKeyTable(0);
    const int end = batch.End();
    if (!macros.Ok())
        return macros;
    return Finish(0, FirstFailure({settings, keys, end}));
}

OpResult CTessaronUSBDevice::RestoreDefaults() {
    LoadDefaultProfile();
    const int saved = SaveProfile();
    CSequenceBatch batch(commandChannel_);
    const OpResult macros = DownloadUsedMacros();
    const int keys = DownloadCurrentKeyTable(0);
    const int settings = FirstFailure({SendSettings(), batch.End()});
    AnnounceChange();
    // The defaults are in the profile either way; the user learns the device missed them.
    if (!macros.Ok())
        return macros;
    return Finish(saved, keys != kResultOk ? keys : settings);
}

OpResult CTessaronUSBDevice::CanAssignKey(int key) const {
    return key >= 0 && static_cast<std::size_t>(key) < KeyList().size()
               ? OpResult::Done()
               : OpResult::Refused(kMsgNotSupported);
}

OpResult CTessaronUSBDevice::ChangeCustomGroup(int /*group*/) {
    return OpResult::Refused(kMsgNotSupported);
}

OpResult CTessaronUSBDevice::FillCustomGroup(bool /*on*/, int /*panelGroup*/) {
    return OpResult::Refused(kMsgNotSupported);
}

OpResult CTessaronUSBDevice::SetCustomKeyColour(int /*key*/, int /*panelGroup*/) {
    return OpResult::Refused(kMsgNotSupported);
}

OpResult CTessaronUSBDevice::AssignKey(int /*key*/, const KeyListEntry& /*entry*/,
                                       KeySend /*send*/) {
    return OpResult::Refused(kMsgNotSupported);
}

}  // namespace morva
