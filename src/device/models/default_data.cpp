#include "device/models/default_data.h"

#include <algorithm>

#include <json/value.h>

#include "profile/basic_profiledata.h"
#include "profile/json_access.h"
#include "profile/json_file.h"

namespace morva {

namespace {

using json::Get;

// No folder means no file: a bare name would be looked up in the working directory.
Json::Value ReadFrom(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty())
        return Json::Value();
    const bool separated = folder.back() == '/' || folder.back() == '\\';
    return ReadJsonFile(separated ? folder + name : folder + '/' + name);
}

// Element `kind` of a per-kind array; null when absent or not a list, so a malformed entry
// leaves the lists as they were rather than emptying them.
const Json::Value& KindList(const Json::Value& doc, const char* key, int kind) {
    static const Json::Value null;
    if (kind < 0)
        return null;
    const Json::Value& list = Get(Get(doc, key), static_cast<Json::ArrayIndex>(kind));
    return list.isArray() ? list : null;
}

std::vector<std::string> Names(const Json::Value& list, const char* key) {
    std::vector<std::string> names;
    for (Json::ArrayIndex i = 0; i < json::Size(list); ++i)
        names.push_back(json::ToString(Get(list[i], key)));
    return names;
}

}  // namespace

void CDeviceDefaultData::LoadDefaultData(const std::string& userFolder,
                                         const std::string& defaultFolder, int kind,
                                         const std::string& macroListFileName) {
    // Bindings to a deleted last macro must not keep showing its name.
    macroNames = Names(Get(ReadFrom(userFolder, macroListFileName), "MacroInfo"), "MacroName");

    const Json::Value light = ReadFrom(defaultFolder, kDefaultLightFileName);
    if (const Json::Value& modes = KindList(light, "DefaultLightName", kind); !modes.isNull()) {
        lightModeNames.clear();
        lightModeVisible.clear();
        lightModeCodes.clear();
        for (Json::ArrayIndex j = 0; j < modes.size(); ++j) {
            const Json::Value& mode = modes[j];
            lightModeNames.push_back(json::ToString(Get(mode, "LightName")));
            lightModeVisible.push_back(json::ToBool(Get(mode, "visible")) ? 1 : 0);
            lightModeCodes.push_back(json::ToInt(Get(mode, "value")));
        }
    }
    if (const Json::Value& areas = KindList(light, "AreaLightName", kind); !areas.isNull())
        areaLightNames = Names(areas, "LightName");

    const Json::Value effects = ReadFrom(userFolder, kLightConfigFileName);
    if (const Json::Value& list = KindList(effects, "LightInfo", kind); !list.isNull())
        customEffectNames = Names(list, "LightName");
}

int CDeviceDefaultData::ModeOfCode(int code) const {
    const auto it = std::find(lightModeCodes.begin(), lightModeCodes.end(), code);
    return it == lightModeCodes.end() ? -1 : static_cast<int>(it - lightModeCodes.begin());
}

int CDeviceDefaultData::FirstCustomEffectMode() const {
    return std::max(kFirstCustomEffectMode, static_cast<int>(lightModeNames.size()));
}

}  // namespace morva
