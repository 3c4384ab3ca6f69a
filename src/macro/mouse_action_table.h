// Mouse actions a macro can hold: the button presses and releases the recorder accepts and
// the moves that are inserted by hand, keyed by the pointer message numbers the macro editor
// has always used (the X11 layer translates its button numbers into them).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace morva {

namespace mouse_message {
inline constexpr int kMove = 0x200;
inline constexpr int kLeftDown = 0x201;
inline constexpr int kLeftUp = 0x202;
inline constexpr int kRightDown = 0x204;
inline constexpr int kRightUp = 0x205;
inline constexpr int kMiddleDown = 0x207;
inline constexpr int kMiddleUp = 0x208;
inline constexpr int kExtraDown = 0x20B;
inline constexpr int kExtraUp = 0x20C;
// Which extra button an extra-button message is about.
inline constexpr int kExtraBack = 1;
inline constexpr int kExtraForward = 2;
}  // namespace mouse_message

struct MouseActionEntry {
    int message;
    int button;             // button bit; 0 for moves
    std::uint8_t typeByte;  // bit 7 press (or left/up), low 7 bits the action's "Type"
    std::string_view nameKey;
};

inline constexpr int kMouseButtonRowCount = 10;  // rows 0..9: presses and releases
inline constexpr int kMouseMoveFirstRow = 10;    // rows 10..13: left, right, up, down

std::span<const MouseActionEntry> MouseActionTable();

// The button row a recorded pointer message stands for: left, right and middle by message,
// extra buttons by `extra` (mouse_message::kExtraBack / kExtraForward). Nothing for moves,
// the wheel and unknown extra buttons.
std::optional<int> MouseButtonRow(int message, int extra = 0);

// Pointer message of an X button (1 left, 2 middle, 3 right, 8 back, 9 forward); `extra`
// receives which extra button. 0 for buttons a macro does not record (the wheel).
int MouseMessageOfXButton(int xButton, bool press, int* extra);

}  // namespace morva
