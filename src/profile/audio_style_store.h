// The music lighting styles: four named colours, one of them chosen, kept in "AudioFile.json"
// ({"Device": {"AudioLightInfo": {...}}}) in the program's data folder, with a factory copy
// shipped beside the other default data.
#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <string>

namespace morva {

inline constexpr int kAudioStyleCount = 4;
inline constexpr int kAudioStyleLevelMax = 9;  // each colour channel is a level 0..9

struct AudioStyleColour {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const AudioStyleColour&, const AudioStyleColour&) = default;
};

struct AudioStyle {
    std::uint8_t style = 0;                           // 0..kAudioStyleCount - 1
    std::array<std::string, kAudioStyleCount> names;  // UTF-8
    std::array<AudioStyleColour, kAudioStyleCount> colour{};
    friend bool operator==(const AudioStyle&, const AudioStyle&) = default;
};

class CAudioStyleStore {
public:
    static constexpr const char* kFileName = "AudioFile.json";

    // `userFile` is read and written; `factoryFile` only read.
    CAudioStyleStore(std::string userFile, std::string factoryFile);

    // The user file's document; a missing or unreadable one, or one without "Device", is
    // replaced by the factory file first. The current style is read from the document.
    void Load();
    // The document's style: absent fields read as empty names and zeros, numbers are held to
    // their ranges.
    AudioStyle LoadAudioStyle() const;
    // Becomes the current style and the document's "AudioLightInfo" (in memory only).
    void StoreAudioStyle(const AudioStyle& style);
    // Writes the document as the user file's "Device", keeping the file's other members.
    // 0, or -1 when the file could not be written (the old one stays whole).
    int SaveAudioFile();
    // The factory file replaces the user file, document and current style. 0, or -1 when the
    // factory file is unreadable or the user file could not be written.
    int ResetAudioStyles();

    const AudioStyle& Current() const { return current_; }
    const Json::Value& Document() const { return document_; }
    const std::string& UserFile() const { return userFile_; }

private:
    // Copies the factory file over the user file when it holds a JSON object; the factory
    // document, null when there is none.
    Json::Value CopyFactory(int& result);

    std::string userFile_;
    std::string factoryFile_;
    Json::Value document_;
    AudioStyle current_;
};

}  // namespace morva
