// Keyboard sections of a profile: system settings, Fn-layer flag, custom light colours.
#pragma once

#include <cstdint>
#include <vector>

#include "profile/basic_profiledata.h"

namespace morva {

struct KeyboardSystemStages {
    std::uint16_t repeat = 0;       // "Repeat"
    std::uint16_t repeatDelay = 0;  // "RepeatDelay"
    std::uint16_t key6Flag = 0;     // "Key6Flag"
    std::uint16_t pollingRate = 0;  // "PollingRate"
    std::uint16_t wFlag = 0;        // "WFlag"
    std::uint16_t winFlag = 0;      // "WinFlag"
    std::uint16_t keyShake = 0;     // "KeyShake"
    friend bool operator==(const KeyboardSystemStages&, const KeyboardSystemStages&) = default;
};

struct KeyColour {
    std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
    friend bool operator==(const KeyColour&, const KeyColour&) = default;
};

class CKeyboardProfiledata : public CBasicProfiledata {
public:
    KeyboardSystemStages ReadKeyboardStages();
    void WriteKeyboardStages(const KeyboardSystemStages& stages);
    bool ReadFnKeysetFlag();
    void WriteFnKeysetFlag(bool flag);
    // Reads `count` LED colours of a custom mode; missing entries are added as zeros.
    std::vector<KeyColour> ReadCustomLightColours(int mode, int count);
    void WriteCustomLightColours(const std::vector<KeyColour>& colours, int mode);
    int ReadCustomLightGroup();
    void WriteCustomLightGroup(int index);

    const KeyboardSystemStages& SystemStages() const { return systemStages_; }
    const std::vector<KeyColour>& CustomLightColours() const { return customColours_; }
    int CustomLightGroup() const { return customGroup_; }

private:
    KeyboardSystemStages systemStages_;
    std::vector<KeyColour> customColours_;
    int customGroup_ = 0;
};

}  // namespace morva
