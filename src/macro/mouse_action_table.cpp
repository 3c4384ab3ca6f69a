#include "macro/mouse_action_table.h"

#include <array>

namespace morva {

namespace {

using namespace mouse_message;

constexpr std::array<MouseActionEntry, 15> kTable = {{
    {kLeftDown, 1, 0x81, "mouse_key_left"},
    {kLeftUp, 1, 0x01, "mouse_key_left"},
    {kRightDown, 2, 0x81, "mouse_key_right"},
    {kRightUp, 2, 0x01, "mouse_key_right"},
    {kMiddleDown, 4, 0x81, "mouse_key_middle"},
    {kMiddleUp, 4, 0x01, "mouse_key_middle"},
    {kExtraDown, 16, 0x81, "mouse_key_forward"},
    {kExtraUp, 16, 0x01, "mouse_key_forward"},
    {kExtraDown, 8, 0x81, "mouse_key_back"},
    {kExtraUp, 8, 0x01, "mouse_key_back"},
    {4, 0, 0x84, "mouse_move_to_left_text"},
    {4, 0, 0x04, "mouse_move_to_right_text"},
    {5, 0, 0x85, "mouse_move_to_up_text"},
    {5, 0, 0x05, "mouse_move_to_down_text"},
    {0x20A, 0, 0x00, "mouse_cursor_text"},
}};

}  // namespace

std::span<const MouseActionEntry> MouseActionTable() {
    return kTable;
}

std::optional<int> MouseButtonRow(int message, int extra) {
    if (message == kExtraDown || message == kExtraUp) {
        const int release = message == kExtraUp ? 1 : 0;
        if (extra == kExtraForward)
            return 6 + release;
        if (extra == kExtraBack)
            return 8 + release;
        return std::nullopt;
    }
    for (int row = 0; row < 6; ++row) {
        if (kTable[row].message == message)
            return row;
    }
    return std::nullopt;
}

int MouseMessageOfXButton(int xButton, bool press, int* extra) {
    if (extra != nullptr)
        *extra = 0;
    switch (xButton) {
        case 1:
            return press ? kLeftDown : kLeftUp;
        case 2:
            return press ? kMiddleDown : kMiddleUp;
        case 3:
            return press ? kRightDown : kRightUp;
        case 8:
        case 9:
            if (extra != nullptr)
                *extra = xButton == 8 ? kExtraBack : kExtraForward;
            return press ? kExtraDown : kExtraUp;
        default:
            return 0;
    }
}

}  // namespace morva
