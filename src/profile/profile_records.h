// Plain records kept in a profile document.
#pragma once

#include <cstdint>
#include <string>

#include "profile/key_code.h"

namespace morva {

// Lighting state of the device or of one LED.
struct LightInfo {
    std::uint8_t selectItem = 0;  // "SelectItem": index of the effect the lighting panel shows
    std::uint8_t light = 0;       // "Light": brightness
    std::uint8_t speed = 0;       // "Speed"
    std::uint8_t fx = 0;          // "Fx": direction
    std::uint8_t multiColor = 0;  // "MultiColor": 0 or 1
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t reserved1 = 0;    // not stored
    std::uint8_t reserved2 = 0;    // not stored
    std::uint8_t present = 0;      // 1 when read from a "LightList" element; not stored
    std::uint8_t zzccLedMode = 0;  // "ZZCCLedMode"
    std::uint8_t customGroup = 0;  // "CustomGroup"
    std::uint8_t oldLedmode = 0;   // "OldLedmode"

    friend bool operator==(const LightInfo&, const LightInfo&) = default;
};

// Colours of music-reactive lighting.
struct AudioLightInfo {
    std::uint8_t audioMode = 0;
    std::uint8_t bkColorR = 0, bkColorG = 0, bkColorB = 0;
    std::uint8_t fgColorR = 0, fgColorG = 0, fgColorB = 0;
    std::uint8_t sevenColorFlags = 0;  // "7ColorFlags"
    std::uint8_t colorTypeFlags = 0;   // "ColorTypeFlags"

    friend bool operator==(const AudioLightInfo&, const AudioLightInfo&) = default;
};

// One step of a custom light effect.
struct LightEffect {
    std::uint8_t ledRegMode = 0;  // "LEDREGMode"
    std::uint8_t ledBrightness = 0;
    std::uint8_t ledSpeed = 0;
    std::uint8_t ledDirection = 0;
    std::uint8_t ledMultiColor = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    std::int32_t time = 0;  // "Time"
    std::int32_t cyle = 0;  // "Cyle"

    friend bool operator==(const LightEffect&, const LightEffect&) = default;
};

// A key index (the entry's position in the key list) with its code.
struct IndexedKeyCode {
    std::uint16_t index = 0;
    KeyCode code;

    friend bool operator==(const IndexedKeyCode&, const IndexedKeyCode&) = default;
};

// One key of the key list: Fn-layer assignment, assignment, default assignment.
struct KeyListEntry {
    IndexedKeyCode fnAssignment;
    IndexedKeyCode assignment;
    IndexedKeyCode defaultAssignment;

    friend bool operator==(const KeyListEntry&, const KeyListEntry&) = default;
};

}  // namespace morva
