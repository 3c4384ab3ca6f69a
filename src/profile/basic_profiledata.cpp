#include "profile/basic_profiledata.h"

#include <filesystem>
#include <system_error>

#include "base/debug_log.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace morva {

namespace fs = std::filesystem;
using json::Get;
using json::ToBool;
using json::ToByte;
using json::ToInt;

namespace {

// Moves a file that exists but does not hold a JSON object out of the way, so the
// replacement written next does not silently destroy what the user had.
void KeepUnreadableFile(const std::string& path, const Json::Value& parsed) {
    if (parsed.isObject())
        return;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec) || fs::file_size(path, ec) == 0 || ec)
        return;
    std::string kept = path + ".bad";
    for (int n = 1; fs::exists(kept, ec) && n < 1000; ++n)
        kept = path + ".bad." + std::to_string(n);
    fs::rename(path, kept, ec);
    if (ec)
        fs::copy_file(path, kept, fs::copy_options::overwrite_existing, ec);
    DebugLog("kept unreadable profile %s as %s\n", path.c_str(), kept.c_str());
}

}  // namespace

void CBasicProfiledata::SetDocumentPath(const std::string& path) {
    if (!path.empty())
        documentPath_ = path;
}

void CBasicProfiledata::SetDefaultDocumentPath(const std::string& path) {
    if (!path.empty())
        defaultDocumentPath_ = path;
}

Json::Value CBasicProfiledata::LoadInto(Json::Value& target, const std::string& path) {
    Json::Value file = ReadJsonFile(path);
    target = Get(Get(file, "Device"), DeviceIndex());
    if (target.isNull() && !path.empty()) {
        const Json::Value defaults = ReadJsonFile(defaultDocumentPath_);
        target = Get(Get(defaults, "Device"), DeviceIndex());
        KeepUnreadableFile(path, file);
        if (!file.isObject())
            file = Json::Value(Json::objectValue);
        json::At(json::Arr(file, "Device"), DeviceIndex()) = target;
        WriteJsonFile(path, file);
    }
    return target;
}

Json::Value CBasicProfiledata::LoadDocument(const std::string& path) {
    return LoadInto(document_, path);
}

Json::Value CBasicProfiledata::LoadOtherDocument(const std::string& path) {
    return LoadInto(otherDocument_, path);
}

Json::Value CBasicProfiledata::LoadLightConfig(const std::string& path) {
    lightConfig_ = ReadJsonFile(path);
    return lightConfig_;
}

int CBasicProfiledata::Save() {
    return SaveDocumentTo(document_, documentPath_);
}

int CBasicProfiledata::SaveDocumentTo(const Json::Value& document, const std::string& path) {
    if (path.empty())
        return -1;
    Json::Value file = ReadJsonFile(path);
    KeepUnreadableFile(path, file);
    if (!file.isObject())
        file = Json::Value(Json::objectValue);
    json::At(json::Arr(file, "Device"), DeviceIndex()) = document;
    return WriteJsonFile(path, file);
}

int CBasicProfiledata::SaveOtherDocument(const std::string& path) {
    return SaveDocumentTo(otherDocument_, path);
}

int CBasicProfiledata::WriteWholeFile(const Json::Value& value, const std::string& path) {
    return WriteJsonFile(path, value);
}

LightInfo CBasicProfiledata::ReadLightInfo() {
    const Json::Value& v = Get(document_, "LightInfo");
    LightInfo info;
    if (!v.isNull()) {
        info.selectItem = ToByte(Get(v, "SelectItem"));
        info.light = ToByte(Get(v, "Light"));
        info.speed = ToByte(Get(v, "Speed"));
        info.fx = ToByte(Get(v, "Fx"));
        info.multiColor = ToBool(Get(v, "MultiColor")) ? 1 : 0;
        info.red = ToByte(Get(v, "Red"));
        info.green = ToByte(Get(v, "Green"));
        info.blue = ToByte(Get(v, "Blue"));
        info.zzccLedMode = ToByte(Get(v, "ZZCCLedMode"));
        info.customGroup = ToByte(Get(v, "CustomGroup"));
        info.oldLedmode = ToByte(Get(v, "OldLedmode"));
    }
    lightInfo_ = info;
    return info;
}

void CBasicProfiledata::WriteLightInfo(const LightInfo& info) {
    lightInfo_ = info;
    Json::Value v(Json::objectValue);
    v["SelectItem"] = info.selectItem;
    v["Light"] = info.light;
    v["Speed"] = info.speed;
    v["Fx"] = info.fx;
    v["MultiColor"] = info.multiColor ? 1 : 0;
    v["Red"] = info.red;
    v["Green"] = info.green;
    v["Blue"] = info.blue;
    v["ZZCCLedMode"] = info.zzccLedMode;
    v["CustomGroup"] = info.customGroup;
    v["OldLedmode"] = info.oldLedmode;
    json::Member(document_, "LightInfo") = v;
}

AudioLightInfo CBasicProfiledata::ReadAudioLightInfo() {
    const Json::Value& v = Get(document_, "AudioLightInfo");
    AudioLightInfo info;
    if (!v.isNull()) {
        info.audioMode = ToByte(Get(v, "AudioMode"));
        info.bkColorR = ToByte(Get(v, "BkColorR"));
        info.bkColorG = ToByte(Get(v, "BkColorG"));
        info.bkColorB = ToByte(Get(v, "BkColorB"));
        info.fgColorR = ToByte(Get(v, "FgColorR"));
        info.fgColorG = ToByte(Get(v, "FgColorG"));
        info.fgColorB = ToByte(Get(v, "FgColorB"));
        info.sevenColorFlags = ToBool(Get(v, "7ColorFlags")) ? 1 : 0;
        info.colorTypeFlags = 1;  // the stored value is not used
    }
    audioLightInfo_ = info;
    return info;
}

void CBasicProfiledata::WriteAudioLightInfo(const AudioLightInfo& info) {
    audioLightInfo_ = info;
    Json::Value v(Json::objectValue);
    v["AudioMode"] = info.audioMode;
    v["BkColorR"] = info.bkColorR;
    v["BkColorG"] = info.bkColorG;
    v["BkColorB"] = info.bkColorB;
    v["FgColorR"] = info.fgColorR;
    v["FgColorG"] = info.fgColorG;
    v["FgColorB"] = info.fgColorB;
    v["7ColorFlags"] = info.sevenColorFlags;
    v["ColorTypeFlags"] = info.colorTypeFlags;
    json::Member(document_, "AudioLightInfo") = v;
}

std::vector<LightInfo> CBasicProfiledata::ReadLightList() {
    const Json::Value& list = Get(document_, "LightList");
    std::vector<LightInfo> result;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        const Json::Value& e = list[i];
        LightInfo info;
        if (e.isObject()) {
            info.selectItem = ToByte(Get(e, "LEDREGMode"));
            info.light = ToByte(Get(e, "LEDBrightness"));
            info.speed = ToByte(Get(e, "LEDSpeed"));
            info.fx = ToBool(Get(e, "LEDDirection")) ? 1 : 0;
            info.multiColor = ToBool(Get(e, "LEDMultiColor")) ? 1 : 0;
            info.red = ToByte(Get(e, "red"));
            info.green = ToByte(Get(e, "green"));
            info.blue = ToByte(Get(e, "blue"));
            info.present = 1;
        }
        result.push_back(info);
    }
    lightList_ = result;
    return result;
}

std::vector<LightEffect> CBasicProfiledata::ReadEffectList(int firstCustomMode) {
    std::vector<LightEffect> result;
    // The user effects are named by the same entry the page lists.
    if (lightInfo_.selectItem < firstCustomMode) {
        effectList_.clear();
        return result;
    }
    const Json::Value& entry = Get(Get(Get(lightConfig_, "LightInfo"), lightConfigIndex_),
                                   lightInfo_.selectItem - firstCustomMode);
    const std::string guid = json::ToString(Get(entry, "Guid"));
    // Effect files live beside the light configuration.
    const std::string path =
        FileInFolder(fs::path(lightConfigPath_).parent_path().string(), guid, ".light");
    if (!path.empty()) {
        const Json::Value file = ReadJsonFile(path);
        const Json::Value& steps = Get(file, "LEDEffectList");
        for (Json::ArrayIndex i = 0; i < json::Size(steps); ++i) {
            const Json::Value& s = steps[i];
            LightEffect e;
            e.ledRegMode = ToByte(Get(s, "LEDREGMode"));
            e.ledBrightness = ToByte(Get(s, "LEDBrightness"));
            e.ledSpeed = ToByte(Get(s, "LEDSpeed"));
            e.ledDirection = ToByte(Get(s, "LEDDirection"));
            e.ledMultiColor = ToByte(Get(s, "LEDMultiColor"));
            e.red = ToByte(Get(s, "red"));
            e.green = ToByte(Get(s, "green"));
            e.blue = ToByte(Get(s, "blue"));
            e.time = ToInt(Get(s, "Time"));
            e.cyle = ToInt(Get(s, "Cyle"));
            result.push_back(e);
        }
    }
    effectList_ = result;
    return result;
}

std::vector<KeyListEntry> CBasicProfiledata::ReadKeyListOf(const Json::Value& document) {
    const Json::Value& list = Get(document, "KeyList");
    std::vector<KeyListEntry> result;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i) {
        const auto index = static_cast<std::uint16_t>(i);
        auto code = [&](const char* key) {
            return IndexedKeyCode{index, KeyCode::Unpack(ToInt(Get(list[i], key)))};
        };
        result.push_back({code("FnAssignment"), code("Assignment"), code("DefaultAssignment")});
    }
    return result;
}

void CBasicProfiledata::WriteKeyListTo(Json::Value& document,
                                       const std::vector<KeyListEntry>& list) {
    Json::Value& keys = json::Arr(document, "KeyList");
    for (std::size_t i = 0; i < list.size(); ++i) {
        Json::Value& e = json::At(keys, static_cast<Json::ArrayIndex>(i));
        json::Member(e, "Assignment") = list[i].assignment.code.Pack();
        json::Member(e, "FnAssignment") = list[i].fnAssignment.code.Pack();
    }
}

std::vector<KeyListEntry> CBasicProfiledata::ReadKeyList() {
    keyList_ = ReadKeyListOf(document_);
    return keyList_;
}

void CBasicProfiledata::WriteKeyList(const std::vector<KeyListEntry>& list) {
    keyList_ = list;
    WriteKeyListTo(document_, list);
}

std::vector<KeyListEntry> CBasicProfiledata::ReadOtherKeyList() {
    otherKeyList_ = ReadKeyListOf(otherDocument_);
    return otherKeyList_;
}

void CBasicProfiledata::WriteOtherKeyList(const std::vector<KeyListEntry>& list) {
    otherKeyList_ = list;
    WriteKeyListTo(otherDocument_, list);
}

}  // namespace morva
