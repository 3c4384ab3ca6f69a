// The macro editor's working copy of one macro: its actions in order and the selected one.
// Every editor operation and the recorder change the macro only through this list, and the
// panel shows it row for row, so what is saved is always what is shown.
#pragma once

#include <string_view>
#include <vector>

#include "macro/macro_store.h"

namespace morva {

// How an action is shown: the language key of its name (empty when no key or button of the
// tables matches) and whether it is a key or a mouse action.
struct MacroActionLabel {
    enum class Kind { None, Keyboard, Mouse };
    std::string_view nameKey;
    Kind kind = Kind::None;
};
MacroActionLabel LabelOfAction(const MacroEvent& event);

// Actions inserted by hand from the action menu and the move buttons.
enum class MouseInsert {
    kLeftDown,
    kLeftUp,
    kLeftClick,
    kMiddleDown,
    kMiddleUp,
    kMiddleClick,
    kRightDown,
    kRightUp,
    kRightClick,
    kForwardDown,
    kForwardUp,
    kForwardClick,
    kBackDown,
    kBackUp,
    kBackClick,
    kMoveLeft,
    kMoveRight,
    kMoveUp,
    kMoveDown,
};

class CMacroActionList {
public:
    void Assign(std::vector<MacroEvent> events);
    const std::vector<MacroEvent>& Events() const { return events_; }
    int Count() const { return static_cast<int>(events_.size()); }
    const MacroEvent& At(int row) const { return events_[static_cast<std::size_t>(row)]; }

    // -1 when nothing is selected. Selecting outside the list clears the selection.
    int Selected() const { return selected_; }
    void Select(int row);

    // Each returns false and changes nothing when the selection does not allow it.
    bool MoveUp();
    bool MoveDown();
    bool MoveToTop();
    bool MoveToBottom();
    bool DeleteSelected();
    void DeleteAll();

    // Held at 0..kMaxMacroDelay; false for a row outside the list.
    bool SetDelay(int row, int delay);
    // The recorder's edits; `row` must be within 0..Count().
    void InsertAt(int row, const MacroEvent& event);
    void Replace(int row, const MacroEvent& event);

    // After the selection (after row 0 without one, alone in an empty list); a click is a
    // press and a release. Each new action carries `delay`; a move goes `distance` (cut to
    // 8 bits). The last new row is selected. Returns the number of rows added.
    int InsertMouseAction(MouseInsert what, int distance, int delay);

private:
    bool MoveSelectedTo(int target);

    std::vector<MacroEvent> events_;
    int selected_ = -1;
};

}  // namespace morva
