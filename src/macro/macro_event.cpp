#include "macro/macro_event.h"

#include <algorithm>
#include <string>

#include "base/parse_int.h"
#include "profile/json_access.h"

namespace morva {

int MacroDelay(const Json::Value& event) {
    const Json::Value& delay = json::Get(event, "Delay");
    const long long value =
        delay.isString() ? ParseLeadingInt(delay.asString()) : json::ToInt(delay);
    return static_cast<int>(std::clamp<long long>(value, 0, kMaxMacroDelay));
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
