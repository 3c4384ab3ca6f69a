#include "macro/macro_action_list.h"

#include <algorithm>

#include "device/key_codes.h"
#include "macro/mouse_action_table.h"

namespace morva {

namespace {

constexpr std::uint8_t kKeyboardCodeType = 0x20;

MacroEvent EventOfRow(const MouseActionEntry& row, int button, int delay) {
    MacroEvent event;
    event.down = (row.typeByte & 0x80) != 0;
    event.button = button;
    event.type = row.typeByte & 0x7F;
    event.delay = std::clamp(delay, 0, kMaxMacroDelay);
    return event;
}

}  // namespace

MacroActionLabel LabelOfAction(const MacroEvent& event) {
    const auto keys = KeyNameTable();
    switch (event.type) {
        case macro_type::kKey:
            for (std::size_t row = kModifierRowCount; row < keys.size(); ++row) {
                if (keys[row].code ==
                    KeyCode{kKeyboardCodeType, 0, static_cast<std::uint8_t>(event.button)})
                    return {keys[row].languageKey, MacroActionLabel::Kind::Keyboard};
            }
            return {{}, MacroActionLabel::Kind::Keyboard};
        case macro_type::kModifierKey:
            for (int row = 0; row < kModifierRowCount; ++row) {
                if (keys[row].code ==
                    KeyCode{kKeyboardCodeType, static_cast<std::uint8_t>(event.button), 0})
                    return {keys[row].languageKey, MacroActionLabel::Kind::Keyboard};
            }
            return {{}, MacroActionLabel::Kind::Keyboard};
        case macro_type::kMouseButton: {
            const auto mouse = MouseActionTable();
            for (int row = 0; row < kMouseButtonRowCount; ++row) {
                if (mouse[row].button == event.button)
                    return {mouse[row].nameKey, MacroActionLabel::Kind::Mouse};
            }
            return {{}, MacroActionLabel::Kind::Mouse};
        }
        case macro_type::kMoveHorizontal:
        case macro_type::kMoveVertical: {
            const auto mouse = MouseActionTable();
            const int typeByte = event.type | (event.down ? 0x80 : 0);
            for (int row = kMouseMoveFirstRow; row < kMouseMoveFirstRow + 4; ++row) {
                if (mouse[row].typeByte == typeByte)
                    return {mouse[row].nameKey, MacroActionLabel::Kind::Mouse};
            }
            return {{}, MacroActionLabel::Kind::Mouse};
        }
        case 2:
        case 3:
            return {{}, MacroActionLabel::Kind::Mouse};
        default:
            return {};
    }
}

void CMacroActionList::Assign(std::vector<MacroEvent> events) {
    events_ = std::move(events);
    selected_ = -1;
}

void CMacroActionList::Select(int row) {
    selected_ = row >= 0 && row < Count() ? row : -1;
}

bool CMacroActionList::MoveSelectedTo(int target) {
    if (selected_ < 0 || target < 0 || target >= Count() || target == selected_)
        return false;
    const auto from = events_.begin() + selected_;
    const auto to = events_.begin() + target;
    if (target < selected_)
        std::rotate(to, from, from + 1);
    else
        std::rotate(from, from + 1, to + 1);
    selected_ = target;
    return true;
}

bool CMacroActionList::MoveUp() {
    return MoveSelectedTo(selected_ - 1);
}
bool CMacroActionList::MoveDown() {
    return selected_ >= 0 && MoveSelectedTo(selected_ + 1);
}
bool CMacroActionList::MoveToTop() {
    return MoveSelectedTo(0);
}
bool CMacroActionList::MoveToBottom() {
    return selected_ >= 0 && MoveSelectedTo(Count() - 1);
}

bool CMacroActionList::DeleteSelected() {
    if (selected_ < 0)
        return false;
    events_.erase(events_.begin() + selected_);
    selected_ = -1;
    return true;
}

void CMacroActionList::DeleteAll() {
    events_.clear();
    selected_ = -1;
}

bool CMacroActionList::SetDelay(int row, int delay) {
    if (row < 0 || row >= Count())
        return false;
    events_[static_cast<std::size_t>(row)].delay = std::clamp(delay, 0, kMaxMacroDelay);
    return true;
}

void CMacroActionList::InsertAt(int row, const MacroEvent& event) {
    events_.insert(events_.begin() + std::clamp(row, 0, Count()), event);
}

void CMacroActionList::Replace(int row, const MacroEvent& event) {
    if (row >= 0 && row < Count())
        events_[static_cast<std::size_t>(row)] = event;
}

int CMacroActionList::InsertMouseAction(MouseInsert what, int distance, int delay) {
    const auto table = MouseActionTable();
    const int index = static_cast<int>(what);
    std::vector<MacroEvent> added;
    if (what >= MouseInsert::kMoveLeft) {
        const MouseActionEntry& row =
            table[kMouseMoveFirstRow + index - static_cast<int>(MouseInsert::kMoveLeft)];
        added.push_back(EventOfRow(row, distance & 0xFF, delay));
    } else {
        // Buttons in menu order: left, middle, right, forward, back; then down, up, click.
        constexpr int kPressRow[] = {0, 4, 2, 6, 8};
        const int press = kPressRow[index / 3];
        const int which = index % 3;
        if (which != 1)
            added.push_back(EventOfRow(table[press], table[press].button, delay));
        if (which != 0)
            added.push_back(EventOfRow(table[press + 1], table[press + 1].button, delay));
    }
    int at = events_.empty() ? 0 : (selected_ >= 0 ? selected_ : 0) + 1;
    for (const MacroEvent& event : added)
        events_.insert(events_.begin() + at++, event);
    selected_ = at - 1;
    return static_cast<int>(added.size());
}

}  // namespace morva
