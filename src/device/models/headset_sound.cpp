// The headset's sound: start-up of the audio bridge and the sound operations.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "base/debug_log.h"
#include "device/models/headset_device.h"

namespace morva {

using audio::DataFlow;
using audio::PropertyWord;
using audio::Result;

namespace {

// Recording devices that carry the voice changer say so in their first feature word.
constexpr std::uint32_t kVoiceChangerFeature = 0x20000;
// Playback devices by preference: the headset's own type first.
constexpr std::int32_t kPlaybackTypes[] = {1, 12, 7, 4};

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string BandProperty(int band) {
    return "EQ_Slider" + std::to_string(band + 1);
}

// A property read with any number of selector words.
Result ReadWith(audio::IAudioBridge& bridge, const audio::DeviceRecord& device,
                std::string_view name, std::span<const std::int32_t> selector, double& number) {
    if (selector.size() <= 1) {
        return audio::ReadNumber(
            bridge, device, name,
            selector.empty() ? std::nullopt : std::optional<std::int32_t>(selector[0]), number);
    }
    std::array<std::byte, audio::kPropertyBufferBytes> value{};
    const auto words = std::as_bytes(selector);
    if (Result r = bridge.PropertyControl(device, name, value, words, false); r != Result::Ok)
        return r;
    const std::optional<double> parsed = audio::ParsePropertyText(value);
    if (!parsed)
        return Result::BadValue;
    number = *parsed;
    return Result::Ok;
}

Result WriteWith(audio::IAudioBridge& bridge, const audio::DeviceRecord& device,
                 std::string_view name, std::span<const std::int32_t> selector, PropertyWord word) {
    if (selector.size() <= 1) {
        return audio::WriteWord(
            bridge, device, name,
            selector.empty() ? std::nullopt : std::optional<std::int32_t>(selector[0]), word);
    }
    std::array<std::byte, audio::kPropertyBufferBytes> value{};
    std::memcpy(value.data(), &word.bits, sizeof word.bits);
    return bridge.PropertyControl(device, name, value, std::as_bytes(selector), true);
}

struct DefaultProperty {
    bool recording;
    const char* name;
    std::vector<std::int32_t> selector;
};

// Properties the headset relies on; a device that does not answer one is given 0.
const std::vector<DefaultProperty>& DefaultProperties() {
    static const std::vector<DefaultProperty> kList = [] {
        std::vector<DefaultProperty> list = {
            {false, "VirtualSurroundEffectControl", {4, -1, 0}},  // surround on the headphones
            {false, "Enable_EQ_GFX", {}},
        };
        for (int band = 0; band < kEqBandCount; ++band)
            list.push_back({false, nullptr, {}});
        list.insert(list.end(), {
                                    {false, "Enable_RFX_GFX", {}},
                                    {false, "RFX_ENVIRONMENT", {}},
                                    {false, "RFX_ROOMSIZE", {}},
                                    {true, "Enable_ENC_LFX", {0}},
                                    {true, "VolumeControl", {-1}},
                                    {true, "MuteControl", {}},
                                    {true, "VolumeScalarControl", {-1}},
                                    {true, "AAVolumeControl", {0}},
                                    {true, "AAMuteControl", {}},
                                    {true, "AAVolumeScalarControl", {0}},
                                    {true, "Enable_MAGICVOICE", {}},
                                    {true, "MagicVoice_Selection", {}},
                                });
        return list;
    }();
    return kList;
}

}  // namespace

void CTessaronVU6533Device::SetAudioBridge(std::unique_ptr<audio::IAudioBridge> bridge) {
    if (bridge_)
        bridge_->Close();
    bridge_ = std::move(bridge);
    audioReady_ = false;
    audioReason_.clear();
    playbackHas_.clear();
    recordingHas_.clear();
}

void CTessaronVU6533Device::StartAudio() {
    audioReady_ = false;
    playbackHas_.clear();
    recordingHas_.clear();
    if (!bridge_) {
        audioReason_ = "no audio back end";
        return;
    }
    // A back end that did not load or start is never called again.
    if (const Result r = bridge_->Init(); r != Result::Ok) {
        audioReason_ = bridge_->UnavailableReason();
        if (audioReason_.empty())
            audioReason_ =
                "the audio back end did not start (" + std::string(audio::ResultName(r)) + ")";
        DebugLog("headset: %s\n", audioReason_.c_str());
        return;
    }
    std::int32_t playbackCount = 0;
    if (bridge_->CreateDeviceList() != Result::Ok ||
        bridge_->GetDeviceCount(DataFlow::Playback, playbackCount) != Result::Ok ||
        playbackCount <= 0) {
        audioReason_ = "the headset's sound device was not found";
        return;
    }
    std::vector<audio::DeviceRecord> playbacks;
    for (std::int32_t i = 0; i < playbackCount; ++i) {
        audio::DeviceRecord r;
        if (bridge_->GetDeviceById(DataFlow::Playback, i, r) == Result::Ok)
            playbacks.push_back(r);
    }
    bool havePlayback = false;
    for (std::int32_t type : kPlaybackTypes) {
        const auto it = std::find_if(playbacks.begin(), playbacks.end(), [&](const auto& r) {
            return r.type == type && r.state == audio::kDeviceUsable;
        });
        if (it != playbacks.end()) {
            playback_ = *it;
            havePlayback = true;
            break;
        }
    }
    std::int32_t recordingCount = 0;
    bool haveRecording = false;
    if (bridge_->GetDeviceCount(DataFlow::Recording, recordingCount) == Result::Ok) {
        for (std::int32_t i = 0; i < recordingCount && !haveRecording; ++i) {
            audio::DeviceRecord r;
            if (bridge_->GetDeviceById(DataFlow::Recording, i, r) == Result::Ok &&
                r.type == audio::kRecordingDeviceType) {
                recording_ = r;
                haveRecording = true;
            }
        }
    }
    if (!havePlayback || !haveRecording) {
        audioReason_ = "the headset's sound device was not found";
        return;
    }
    std::array<std::byte, audio::kFeatureBufferBytes> features{};
    if (bridge_->PropertyControl(recording_, "GetSupportFeature", features, {}, false) ==
        Result::Ok) {
        std::string list;
        for (std::size_t i = 0; i + 1 < features.size(); i += 2) {
            const auto unit =
                static_cast<char16_t>(std::to_integer<unsigned>(features[i]) |
                                      std::to_integer<unsigned>(features[i + 1]) << 8);
            if (unit == 0)
                break;
            list.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        if (const auto words = audio::ParseSupportFeature(list))
            recordingFeature_ = (*words)[0];
    }
    audioReady_ = true;
    audioReason_.clear();
    WriteDefaults();
    ReadSoundState();
}

void CTessaronVU6533Device::WriteDefaults() {
    int band = 0;
    for (const DefaultProperty& p : DefaultProperties()) {
        const std::string name = p.name != nullptr ? std::string(p.name) : BandProperty(band++);
        const audio::DeviceRecord& device = p.recording ? recording_ : playback_;
        double value = 0;
        bool has = ReadWith(*bridge_, device, name, p.selector, value) == Result::Ok;
        if (!has) {
            const PropertyWord zero =
                audio::IsScalarProperty(name) ? PropertyWord::Float(0) : PropertyWord::Int(0);
            has = WriteWith(*bridge_, device, name, p.selector, zero) == Result::Ok;
        }
        if (has)
            (p.recording ? recordingHas_ : playbackHas_).insert(name);
    }
}

void CTessaronVU6533Device::ReadSoundState() {
    if (!audioReady_)
        return;
    double v = 0;
    auto read = [&](std::string_view name, std::optional<std::int32_t> selector) {
        return audio::ReadNumber(*bridge_, recording_, name, selector, v) == Result::Ok;
    };
    if (read("MuteControl", std::nullopt))
        stages_.micInSelect = v == 0 ? 1 : 0;
    if (read("VolumeScalarControl", -1))
        stages_.micInValue = audio::ScalarToLevel(v);
    if (read("GetAAMaxVol", std::nullopt)) {
        if (read("AAMuteControl", std::nullopt))
            stages_.micMoniterSelect = v == 0 ? 1 : 0;
        if (read("AAVolumeScalarControl", 0))
            stages_.micMoniterValue = audio::ScalarToLevel(v);
    }
    if ((recordingFeature_ & kVoiceChangerFeature) != 0 && read("Enable_MAGICVOICE", std::nullopt))
        stages_.magicEnable = v != 0 ? 1 : 0;
    if (read("MagicVoice_Selection", std::nullopt) && v >= 0 && v < kVoiceEffects &&
        v == static_cast<int>(v))
        stages_.magicType = static_cast<int>(v) + 1;
}

bool CTessaronVU6533Device::Has(Device device, std::string_view property) const {
    if (!audioReady_)
        return false;
    const auto& set = device == Device::Recording ? recordingHas_ : playbackHas_;
    return set.find(property) != set.end();
}

bool CTessaronVU6533Device::Available(SoundFeature feature) const {
    switch (feature) {
        case SoundFeature::MicLevel:
            return Has(Device::Recording, "VolumeScalarControl");
        case SoundFeature::MicMute:
            return Has(Device::Recording, "MuteControl");
        case SoundFeature::MonitorLevel:
            return Has(Device::Recording, "AAVolumeScalarControl");
        case SoundFeature::MonitorMute:
            return Has(Device::Recording, "AAMuteControl");
        case SoundFeature::Equaliser:
            return Has(Device::Playback, "Enable_EQ_GFX") && Has(Device::Playback, "EQ_Slider1");
        case SoundFeature::VoiceChanger:
            return Has(Device::Recording, "Enable_MAGICVOICE");
    }
    return false;
}

std::string CTessaronVU6533Device::SoundUnavailableReason() const {
    return audioReason_;
}

HeadsetSoundView CTessaronVU6533Device::SoundView() const {
    return {stages_, bands_, customNames_, customShown_};
}

const audio::DeviceRecord& CTessaronVU6533Device::Record(Device device) const {
    return device == Device::Recording ? recording_ : playback_;
}

Result CTessaronVU6533Device::Write(Device device, std::string_view property,
                                    std::optional<std::int32_t> selector, PropertyWord value) {
    if (!Has(device, property))
        return Result::Ok;
    return audio::WriteWord(*bridge_, Record(device), property, selector, value);
}

Result CTessaronVU6533Device::WriteBands(const EqBands& bands) {
    if (Result r = Write(Device::Playback, "Enable_EQ_GFX", std::nullopt, PropertyWord::Int(1));
        r != Result::Ok)
        return r;
    for (int band = 0; band < kEqBandCount; ++band) {
        const Result r = Write(Device::Playback, BandProperty(band), std::nullopt,
                               PropertyWord::Int(bands[static_cast<std::size_t>(band)]));
        if (r != Result::Ok)
            return r;
    }
    return Result::Ok;
}

OpResult CTessaronVU6533Device::WriteFailed(Result result) const {
    DebugLog("headset: audio write failed (%s)\n", std::string(audio::ResultName(result)).c_str());
    return {kResultWriteFailed, kMsgSoundWriteFailed, 0};
}

OpResult CTessaronVU6533Device::StoreAndSave(bool bands) {
    CVu6533Profiledata& profile = Profile();
    profile.WriteSystemSetStages(stages_);
    if (bands) {
        const std::vector<int> values(bands_.begin(), bands_.end());
        if (stages_.eqType == kEqCustom)
            profile.WriteCustomEqValues(stages_.customEqSeletIndex, values);
        else
            profile.WriteEqValues(stages_.eqType, values);
    }
    const int saved = SaveProfile();
    AnnounceChange();
    return Finish(saved, kResultOk);
}

void CTessaronVU6533Device::OnProfileLoaded() {
    CVu6533Profiledata& profile = Profile();
    stages_ = profile.ReadSystemSetStages();
    customNames_ = profile.ReadCustomEqNames();
    const std::vector<int> values = stages_.eqType == kEqCustom
                                        ? profile.ReadCustomEqValues(stages_.customEqSeletIndex)
                                        : profile.ReadEqValues(stages_.eqType);
    bands_.fill(0);
    std::copy_n(values.begin(), std::min<std::size_t>(values.size(), bands_.size()),
                bands_.begin());
    customShown_ = stages_.eqType == kEqCustom ? stages_.customEqSeletIndex : -1;
    if (customShown_ >= static_cast<int>(customNames_.size()))
        customShown_ = -1;
}

// ---- Microphone and monitor ----

OpResult CTessaronVU6533Device::SetMicLevel(int level) {
    if (level < 0 || level > 100)
        return OpResult::Refused(kMsgValueOutOfRange, level);
    if (!Available(SoundFeature::MicLevel))
        return OpResult::Refused(kMsgSoundUnavailable);
    if (Result r = Write(Device::Recording, "VolumeScalarControl", -1,
                         PropertyWord::Float(audio::LevelToScalar(level)));
        r != Result::Ok)
        return WriteFailed(r);
    stages_.micInValue = level;
    return StoreAndSave();
}

OpResult CTessaronVU6533Device::SetMicMuted(bool muted) {
    if (!Available(SoundFeature::MicMute))
        return OpResult::Refused(kMsgSoundUnavailable);
    if (Result r = Write(Device::Recording, "MuteControl", std::nullopt, PropertyWord::Int(muted));
        r != Result::Ok)
        return WriteFailed(r);
    stages_.micInSelect = muted ? 0 : 1;
    return StoreAndSave();
}

OpResult CTessaronVU6533Device::SetMonitorLevel(int level) {
    if (level < 0 || level > 100)
        return OpResult::Refused(kMsgValueOutOfRange, level);
    if (!Available(SoundFeature::MonitorLevel))
        return OpResult::Refused(kMsgSoundUnavailable);
    if (Result r = Write(Device::Recording, "AAVolumeScalarControl", 0,
                         PropertyWord::Float(audio::LevelToScalar(level)));
        r != Result::Ok)
        return WriteFailed(r);
    stages_.micMoniterValue = level;
    return StoreAndSave();
}

OpResult CTessaronVU6533Device::SetMonitorMuted(bool muted) {
    if (!Available(SoundFeature::MonitorMute))
        return OpResult::Refused(kMsgSoundUnavailable);
    if (Result r =
            Write(Device::Recording, "AAMuteControl", std::nullopt, PropertyWord::Int(muted));
        r != Result::Ok)
        return WriteFailed(r);
    stages_.micMoniterSelect = muted ? 0 : 1;
    return StoreAndSave();
}

// ---- Equaliser ----

OpResult CTessaronVU6533Device::SetEqBand(int band, int value) {
    if (band < 0 || band >= kEqBandCount)
        return OpResult::Refused(kMsgValueOutOfRange, band);
    if (stages_.eqType != kEqCustom) {
        stages_.eqType = kEqCustom;
        customShown_ = -1;
    }
    if (Result r =
            Write(Device::Playback, BandProperty(band), std::nullopt, PropertyWord::Int(value));
        r != Result::Ok)
        return WriteFailed(r);
    bands_[static_cast<std::size_t>(band)] = value;
    AnnounceChange();
    return OpResult::Done();
}

OpResult CTessaronVU6533Device::SelectEqPreset(int preset, int customIndex) {
    if (preset == kEqCustom) {
        stages_.eqType = kEqCustom;
        if (customIndex >= 0)
            return ApplyCustomEq(customIndex);
        customShown_ = -1;
        return StoreAndSave();
    }
    if (preset < 1 || preset > kEqPresetCount)
        return OpResult::Refused(kMsgValueOutOfRange, preset);
    const EqBands& values = EqPresets()[static_cast<std::size_t>(preset - 1)];
    if (Result r = WriteBands(values); r != Result::Ok)
        return WriteFailed(r);
    bands_ = values;
    stages_.eqType = preset;
    customShown_ = -1;
    return StoreAndSave(true);
}

OpResult CTessaronVU6533Device::ApplyCustomEq(int index) {
    if (index < 0 || index >= static_cast<int>(customNames_.size()))
        return OpResult::Refused(kMsgValueOutOfRange, index);
    const std::vector<int> stored = Profile().ReadCustomEqValues(index);
    EqBands values{};
    std::copy_n(stored.begin(), std::min<std::size_t>(stored.size(), values.size()),
                values.begin());
    if (Result r = WriteBands(values); r != Result::Ok)
        return WriteFailed(r);
    bands_ = values;
    stages_.eqType = kEqCustom;
    stages_.customEqSeletIndex = index;
    customShown_ = index;
    return StoreAndSave();
}

int CTessaronVU6533Device::FindCustomEq(const std::string& name) const {
    const std::string key = Lower(name);
    for (std::size_t i = 0; i < customNames_.size(); ++i) {
        if (Lower(customNames_[i]) == key)
            return static_cast<int>(i);
    }
    return -1;
}

OpResult CTessaronVU6533Device::SaveCustomEq(const std::string& name, int selected,
                                             const EqBands& bands) {
    CVu6533Profiledata& profile = Profile();
    int index = selected;
    if (name.empty()) {
        if (selected < 0 || selected >= static_cast<int>(customNames_.size()))
            return OpResult::Refused({});
    } else {
        if (static_cast<int>(customNames_.size()) >= kMaxCustomEqs)
            return OpResult::Refused({}, kMaxCustomEqs);
        if (FindCustomEq(name) >= 0)
            return OpResult::Refused(kMsgNameTaken);
        customNames_.push_back(name);
        index = static_cast<int>(customNames_.size()) - 1;
        profile.WriteCustomEqNames(customNames_);
    }
    bands_ = bands;
    stages_.customEqSeletIndex = index;
    customShown_ = index;
    profile.WriteCustomEqValues(index, std::vector<int>(bands.begin(), bands.end()));
    return StoreAndSave();
}

OpResult CTessaronVU6533Device::DeleteCustomEq(int index) {
    if (index < 0 || index >= static_cast<int>(customNames_.size()))
        return OpResult::Refused(kMsgValueOutOfRange, index);
    CVu6533Profiledata& profile = Profile();
    // Names and values go together, so every remaining curve keeps its own values.
    profile.RemoveCustomEq(index);
    customNames_ = profile.ReadCustomEqNames();
    const bool playing = stages_.eqType == kEqCustom;
    std::vector<int> values;
    if (customNames_.empty()) {
        stages_.eqType = 1;
        customShown_ = -1;
        values = profile.ReadEqValues(1);
    } else {
        stages_.customEqSeletIndex = 0;
        customShown_ = 0;
        values = profile.ReadCustomEqValues(0);
    }
    bands_.fill(0);
    std::copy_n(values.begin(), std::min<std::size_t>(values.size(), bands_.size()),
                bands_.begin());
    // The sliders now show another curve; the sound follows it rather than the deleted one.
    if (playing)
        (void)WriteBands(bands_);
    return StoreAndSave();
}

// ---- Voice changer ----

OpResult CTessaronVU6533Device::SetVoiceChanger(bool on) {
    if (Result r =
            Write(Device::Recording, "Enable_MAGICVOICE", std::nullopt, PropertyWord::Int(on));
        r != Result::Ok)
        return WriteFailed(r);
    if (on) {
        // The echo effect and the voice changer do not play together; a device without the
        // echo has nothing to switch off.
        const Result r = audio::WriteWord(*bridge_, recording_, "Enable_MICECHO", std::nullopt,
                                          PropertyWord::Int(0));
        if (r != Result::Ok && r != Result::UnknownProperty &&
            Available(SoundFeature::VoiceChanger))
            return WriteFailed(r);
    }
    stages_.magicEnable = on ? 1 : 0;
    return StoreAndSave();
}

OpResult CTessaronVU6533Device::SetVoiceEffect(int effect) {
    if (effect < 1 || effect > kVoiceEffects)
        return OpResult::Refused(kMsgValueOutOfRange, effect);
    if (Result r = Write(Device::Recording, "MagicVoice_Selection", std::nullopt,
                         PropertyWord::Int(effect - 1));
        r != Result::Ok)
        return WriteFailed(r);
    stages_.magicType = effect;
    return StoreAndSave();
}

}  // namespace morva
