#include "sim/audio_store.h"

#include <json/value.h>

#include <charconv>
#include <cmath>

#include "base/debug_log.h"
#include "profile/json_file.h"

namespace morva::sim {

using audio::DataFlow;
using audio::DeviceRecord;
using audio::PropertyWord;
using audio::Result;

std::string AudioStatePath(const std::string& simStateFile) {
    return simStateFile.empty() ? std::string() : simStateFile + ".audio.json";
}

namespace {

// One stored value per property and selector, as the library keeps them apart.
std::string Key(std::string_view name, std::span<const std::int32_t> selector) {
    std::string key(name);
    for (std::int32_t word : selector)
        key += '/' + std::to_string(word);
    return key;
}

bool IsSwitch(std::string_view name) {
    return name.find("Mute") != std::string_view::npos || name.starts_with("Enable_");
}

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace

SimAudioStore::SimAudioStore(SimAudioOptions options) : options_(std::move(options)) {}

bool SimAudioStore::Init(std::string& whyNot) {
    if (options_.failInit) {
        whyNot = "simulated audio library failed to initialise";
        return false;
    }
    Load();
    return true;
}

std::vector<DeviceRecord> SimAudioStore::Devices(DataFlow flow) {
    return {flow == DataFlow::Playback ? kPlayback : kRecording};
}

SimAudioStore::Properties* SimAudioStore::DeviceProperties(const DeviceRecord& device) {
    if (device == kPlayback)
        return &playback_;
    if (device == kRecording)
        return &recording_;
    return nullptr;
}

Result SimAudioStore::Read(const DeviceRecord& device, std::string_view name,
                           std::span<const std::int32_t> selector, std::u16string& text) {
    Properties* props = DeviceProperties(device);
    if (!props)
        return Result::NoDevice;
    if (name == "GetSupportFeature") {
        const std::uint32_t word0 = device == kRecording ? kMagicVoiceFeature : 0;
        text = Widen(std::to_string(word0) + ",0,0,0,0,0,0");
        return Result::Ok;
    }
    if (name == "GetAAMaxVol" && device == kRecording) {
        text = u"100";
        return Result::Ok;
    }
    auto it = props->find(Key(name, selector));
    if (it == props->end())
        return Result::UnknownProperty;
    char buf[32];
    const Value& v = it->second;
    char* end = v.scalar ? std::to_chars(buf, buf + sizeof buf, v.real).ptr
                         : std::to_chars(buf, buf + sizeof buf, v.integer).ptr;
    text = Widen(std::string_view(buf, static_cast<std::size_t>(end - buf)));
    return Result::Ok;
}

Result SimAudioStore::Write(const DeviceRecord& device, std::string_view name,
                            std::span<const std::int32_t> selector, PropertyWord value) {
    Properties* props = DeviceProperties(device);
    if (!props)
        return Result::NoDevice;
    if (name.starts_with("Get"))
        return Result::Failed;
    Value v;
    v.scalar = audio::IsScalarProperty(name);
    if (v.scalar) {
        v.real = value.AsFloat();
        if (!std::isfinite(v.real) || v.real < 0 || v.real > 1)
            return Result::BadValue;
    } else {
        v.integer = value.AsInt();
        if (IsSwitch(name) && v.integer != 0 && v.integer != 1)
            return Result::BadValue;
    }
    (*props)[Key(name, selector)] = v;
    Save();
    return Result::Ok;
}

bool SimAudioStore::Load() {
    playback_.clear();
    recording_.clear();
    if (options_.stateFile.empty())
        return false;
    const Json::Value root = ReadJsonFile(options_.stateFile);
    if (!root.isObject())
        return false;
    // Take nothing from a file with a bad entry, so a damaged file cannot leave half a state.
    Properties loaded[2];
    const char* const names[2] = {"playback", "recording"};
    for (int i = 0; i < 2; ++i) {
        const Json::Value& device = root[names[i]];
        if (device.isNull())
            continue;
        if (!device.isObject())
            return false;
        for (const std::string& key : device.getMemberNames()) {
            const Json::Value& item = device[key];
            Value v;
            const std::string name = key.substr(0, key.find('/'));
            v.scalar = audio::IsScalarProperty(name);
            if (v.scalar ? !item.isDouble() && !item.isInt() : !item.isInt())
                return false;
            if (v.scalar)
                v.real = item.asFloat();
            else
                v.integer = item.asInt();
            loaded[i][key] = v;
        }
    }
    playback_ = std::move(loaded[0]);
    recording_ = std::move(loaded[1]);
    return true;
}

bool SimAudioStore::Save() const {
    if (options_.stateFile.empty())
        return false;
    Json::Value root(Json::objectValue);
    auto put = [](Json::Value& out, const Properties& props) {
        out = Json::Value(Json::objectValue);
        for (const auto& [key, v] : props)
            out[key] = v.scalar ? Json::Value(static_cast<double>(v.real)) : Json::Value(v.integer);
    };
    put(root["playback"], playback_);
    put(root["recording"], recording_);
    if (WriteJsonFile(options_.stateFile, root) != 0) {
        DebugLog("sim: cannot write %s\n", options_.stateFile.c_str());
        return false;
    }
    return true;
}

}  // namespace morva::sim
