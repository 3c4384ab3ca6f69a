#include "macro/macro_event.h"

#include <cctype>
#include <string>

#include "profile/json_access.h"

namespace morva {

int MacroDelay(const Json::Value& event) {
    const Json::Value& delay = json::Get(event, "Delay");
    long long value = 0;
    if (delay.isString()) {
        const std::string text = delay.asString();
        for (char c : text) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                break;
            value = value * 10 + (c - '0');
            if (value > kMaxMacroDelay)
                break;  // stops overflow on absurd digit runs
        }
    } else {
        value = json::ToInt(delay);
    }
    if (value < 0)
        return 0;
    return value > kMaxMacroDelay ? kMaxMacroDelay : static_cast<int>(value);
}

bool ParseMacroEvent(const Json::Value& event, DeviceMacroEvent& out) {
    const bool down = json::ToString(json::Get(event, "Action")) == "down";
    const int delay = MacroDelay(event);
    out[0] = static_cast<std::uint8_t>(delay & 0xFF);
    out[1] = static_cast<std::uint8_t>(delay >> 8 & 0xFF);
    out[2] = static_cast<std::uint8_t>((json::ToInt(json::Get(event, "Type")) & 0x7F) |
                                       (down ? 0x80 : 0));
    out[3] = static_cast<std::uint8_t>(json::ToInt(json::Get(event, "Button")) & 0xFF);
    return true;
}

}  // namespace morva
