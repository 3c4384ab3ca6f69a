#include "profile/keyboard_profiledata.h"

#include "profile/json_access.h"

namespace morva {

using json::Get;
using json::ToByte;
using json::ToInt;

namespace {
constexpr int kMaxCustomMode = 255;
constexpr int kMaxLeds = 1024;

constexpr const char* kStageKeys[] = {"Repeat", "RepeatDelay", "Key6Flag", "PollingRate",
                                      "WFlag",  "WinFlag",     "KeyShake"};

std::uint16_t* StageFields(KeyboardSystemStages& s, int i) {
    std::uint16_t* fields[] = {&s.repeat, &s.repeatDelay, &s.key6Flag, &s.pollingRate,
                               &s.wFlag,  &s.winFlag,     &s.keyShake};
    return fields[i];
}
}  // namespace

KeyboardSystemStages CKeyboardProfiledata::ReadKeyboardStages() {
    KeyboardSystemStages s;
    const Json::Value& sys = Get(Document(), "SystemStages");
    if (!sys.isNull()) {
        for (int i = 0; i < 7; ++i) {
            *StageFields(s, i) = static_cast<std::uint16_t>(ToInt(Get(sys, kStageKeys[i])));
        }
    }
    systemStages_ = s;
    return s;
}

void CKeyboardProfiledata::WriteKeyboardStages(const KeyboardSystemStages& stages) {
    systemStages_ = stages;
    KeyboardSystemStages s = stages;
    Json::Value& sys = json::Obj(MutableDocument(), "SystemStages");
    for (int i = 0; i < 7; ++i)
        sys[kStageKeys[i]] = *StageFields(s, i);
}

bool CKeyboardProfiledata::ReadFnKeysetFlag() {
    return json::ToBool(Get(Document(), "FnKeysetFlag"));
}

void CKeyboardProfiledata::WriteFnKeysetFlag(bool flag) {
    json::Member(MutableDocument(), "FnKeysetFlag") = flag;
}

std::vector<KeyColour> CKeyboardProfiledata::ReadCustomLightColours(int mode, int count) {
    std::vector<KeyColour> colours;
    // Modes and LED counts come from device bytes and files: keep the arrays they grow sane.
    if (mode < 0 || mode > kMaxCustomMode || count < 0 || count > kMaxLeds) {
        customColours_ = colours;
        return colours;
    }
    Json::Value& modes =
        json::Arr(json::Obj(MutableDocument(), "CustomLightMode"), "LightColorInfo");
    Json::Value& leds = json::At(modes, static_cast<Json::ArrayIndex>(mode));
    if (!leds.isArray())
        leds = Json::Value(Json::arrayValue);
    for (int i = 0; i < count; ++i) {
        Json::Value& e = leds[static_cast<Json::ArrayIndex>(i)];
        if (!e.isObject()) {
            e = Json::Value(Json::objectValue);
            e["Red"] = 0;
            e["Green"] = 0;
            e["Blue"] = 0;
            e["Alpha"] = 0;
        }
        colours.push_back({ToByte(Get(e, "Red")), ToByte(Get(e, "Green")), ToByte(Get(e, "Blue")),
                           ToByte(Get(e, "Alpha"))});
    }
    customColours_ = colours;
    return colours;
}

void CKeyboardProfiledata::WriteCustomLightColours(const std::vector<KeyColour>& colours,
                                                   int mode) {
    customColours_ = colours;
    if (mode < 0 || mode > kMaxCustomMode)
        return;
    Json::Value& modes =
        json::Arr(json::Obj(MutableDocument(), "CustomLightMode"), "LightColorInfo");
    Json::Value& leds = json::At(modes, static_cast<Json::ArrayIndex>(mode));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        Json::Value& e = json::At(leds, static_cast<Json::ArrayIndex>(i));
        json::Member(e, "Red") = colours[i].red;
        json::Member(e, "Green") = colours[i].green;
        json::Member(e, "Blue") = colours[i].blue;
        json::Member(e, "Alpha") = colours[i].alpha;
    }
}

int CKeyboardProfiledata::ReadCustomLightGroup() {
    customGroup_ = ToInt(Get(Get(Document(), "CustomLightMode"), "CustomLightModeGroupIndex"));
    return customGroup_;
}

void CKeyboardProfiledata::WriteCustomLightGroup(int index) {
    customGroup_ = index;
    json::Member(json::Obj(MutableDocument(), "CustomLightMode"), "CustomLightModeGroupIndex") =
        index;
}

}  // namespace morva
