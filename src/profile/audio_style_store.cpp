#include "profile/audio_style_store.h"

#include <algorithm>
#include <utility>

#include "profile/json_access.h"
#include "profile/json_file.h"

namespace morva {

namespace {

constexpr const char* kDocument = "Device";
constexpr const char* kInfo = "AudioLightInfo";
constexpr const char* kStyleKey = "nAudioStyle";
constexpr const char* kNameKeys[kAudioStyleCount] = {"nStyleName1", "nStyleName2", "nStyleName3",
                                                     "nStyleName4"};
constexpr const char* kChannelKeys[kAudioStyleCount][3] = {{"nStyleR0", "nStyleG0", "nStyleB0"},
                                                           {"nStyleR1", "nStyleG1", "nStyleB1"},
                                                           {"nStyleR2", "nStyleG2", "nStyleB2"},
                                                           {"nStyleR3", "nStyleG3", "nStyleB3"}};

// A hand-edited file may hold any number; the device and the helper take only these.
std::uint8_t Held(const Json::Value& v, int max) {
    return static_cast<std::uint8_t>(std::clamp(json::ToInt(v), 0, max));
}

constexpr std::uint8_t AudioStyleColour::*kChannels[3] = {
    &AudioStyleColour::red, &AudioStyleColour::green, &AudioStyleColour::blue};

}  // namespace

CAudioStyleStore::CAudioStyleStore(std::string userFile, std::string factoryFile)
    : userFile_(std::move(userFile)), factoryFile_(std::move(factoryFile)) {}

Json::Value CAudioStyleStore::CopyFactory(int& result) {
    const std::string text = ReadFileText(factoryFile_);
    const Json::Value factory = ParseJsonText(text);
    if (!factory.isObject()) {
        result = -1;
        return Json::Value();
    }
    result = WriteFileText(userFile_, text);
    return json::Get(factory, kDocument);
}

void CAudioStyleStore::Load() {
    document_ = json::Get(ReadJsonFile(userFile_), kDocument);
    if (document_.isNull()) {
        int copied = 0;
        document_ = CopyFactory(copied);
    }
    current_ = LoadAudioStyle();
}

AudioStyle CAudioStyleStore::LoadAudioStyle() const {
    AudioStyle s;
    const Json::Value& info = json::Get(document_, kInfo);
    if (json::Has(info, kStyleKey))
        s.style = Held(info[kStyleKey], kAudioStyleCount - 1);
    for (int n = 0; n < kAudioStyleCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (json::Has(info, kNameKeys[n]))
            s.names[i] = json::ToString(info[kNameKeys[n]]);
        for (int c = 0; c < 3; ++c) {
            if (json::Has(info, kChannelKeys[n][c]))
                s.colour[i].*kChannels[c] = Held(info[kChannelKeys[n][c]], kAudioStyleLevelMax);
        }
    }
    return s;
}

void CAudioStyleStore::StoreAudioStyle(const AudioStyle& style) {
    current_ = style;
    Json::Value info(Json::objectValue);
    info[kStyleKey] = style.style;
    for (int n = 0; n < kAudioStyleCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        info[kNameKeys[n]] = style.names[i];
        for (int c = 0; c < 3; ++c)
            info[kChannelKeys[n][c]] = style.colour[i].*kChannels[c];
    }
    json::Member(document_, kInfo) = std::move(info);
}

int CAudioStyleStore::SaveAudioFile() {
    Json::Value file = ReadJsonFile(userFile_);
    json::Member(file, kDocument) = document_;
    return WriteJsonFile(userFile_, file);
}

int CAudioStyleStore::ResetAudioStyles() {
    int result = 0;
    Json::Value document = CopyFactory(result);
    if (result < 0)
        return -1;
    document_ = std::move(document);
    current_ = LoadAudioStyle();
    return 0;
}

}  // namespace morva
