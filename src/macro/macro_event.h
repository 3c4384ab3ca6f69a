// One recorded action and its 4-byte form in device memory.
#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>

namespace morva {

// "Type" values of a macro action.
namespace macro_type {
inline constexpr int kMouseButton = 1;
inline constexpr int kMoveHorizontal = 4;
inline constexpr int kMoveVertical = 5;
inline constexpr int kModifierKey = 9;
inline constexpr int kKey = 10;
}  // namespace macro_type

// Bytes: delay low, delay high, type | 0x80 for "down", button.
using DeviceMacroEvent = std::array<std::uint8_t, 4>;

// The device reads 16-bit delays; longer ones are held at the maximum instead of wrapping.
inline constexpr int kMaxMacroDelay = 65535;

// Delay of an action in milliseconds: the leading digits of the "Delay" text (an integer
// "Delay" counts as its decimal text), clamped to 0..65535.
int MacroDelay(const Json::Value& event);

// Fills `out` from a JSON action ({"Action", "Button", "Type", "Delay"}); always true.
bool ParseMacroEvent(const Json::Value& event, DeviceMacroEvent& out);

}  // namespace morva
