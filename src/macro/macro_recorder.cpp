#include "macro/macro_recorder.h"

#include <algorithm>

#include "device/key_codes.h"
#include "macro/mouse_action_table.h"

namespace morva {

int ReadConstantDelay(std::string_view text) {
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = std::min<long long>(value * 10 + (c - '0'), kMaxMacroDelay);
    }
    return static_cast<int>(value);
}

CMacroRecorder::CMacroRecorder(RecorderMemories& memories, const IClock& clock)
    : memories_(memories), clock_(clock) {}

void CMacroRecorder::Start(RecordMode mode, RecordPlace place, int constantDelay) {
    mode_ = mode;
    place_ = place;
    SetConstantDelay(constantDelay);
    lastActionMs_ = clock_.NowMs();
    recording_ = true;
}

void CMacroRecorder::SetConstantDelay(int delay) {
    constantDelay_ = std::clamp(delay, 0, kMaxMacroDelay);
}

int CMacroRecorder::NextDelay() {
    switch (mode_) {
        case RecordMode::kConstant:
            return constantDelay_;
        case RecordMode::kNoDelay:
            return 0;
        case RecordMode::kRealTime:
            break;
    }
    const std::uint32_t now = clock_.NowMs();
    const std::uint32_t passed = now - lastActionMs_;
    lastActionMs_ = now;
    return static_cast<int>(std::min<std::uint32_t>(passed, kMaxMacroDelay));
}

RecordChange CMacroRecorder::RecordKey(CMacroActionList& list, bool press, std::uint8_t scanCode,
                                       bool extended) {
    if (!recording_)
        return {};
    RecorderMemories::Key& held = memories_.keys[static_cast<std::size_t>(place_)];
    const bool same = held.scanCode == scanCode && held.extended == extended;
    if (press) {
        if (same)
            return {};  // auto-repeat of the key already down
        held = {scanCode, extended};
    } else if (same) {
        held = {};
    }
    const int row = FindKeyNameRowByScanCode(scanCode, extended);
    if (row < 0)
        return {};
    const KeyCode code = KeyNameTable()[static_cast<std::size_t>(row)].code;
    MacroEvent event;
    event.down = press;
    if (code.value2 != 0) {
        event.type = macro_type::kKey;
        event.button = code.value2;
    } else if (code.value1 != 0) {
        event.type = macro_type::kModifierKey;
        event.button = code.value1;
    } else {
        return {};
    }
    return place_ == RecordPlace::kReplace ? ReplaceSelected(list, event) : Record(list, event);
}

RecordChange CMacroRecorder::RecordMouse(CMacroActionList& list, int message, int extra,
                                         bool onStopButton) {
    if (!recording_)
        return {};
    const std::optional<int> row = MouseButtonRow(message, extra);
    if (!row)
        return {};
    int& last = memories_.mouseMessages[static_cast<std::size_t>(place_)];
    if (last == message)
        return {};
    last = message;
    const bool left = message == mouse_message::kLeftDown || message == mouse_message::kLeftUp;
    if (left && onStopButton)
        return {};
    const MouseActionEntry& entry = MouseActionTable()[static_cast<std::size_t>(*row)];
    MacroEvent event;
    event.down = (entry.typeByte & 0x80) != 0;
    event.button = entry.button;
    event.type = entry.typeByte & 0x7F;
    return place_ == RecordPlace::kReplace ? ReplaceSelected(list, event) : Record(list, event);
}

RecordChange CMacroRecorder::ReplaceSelected(CMacroActionList& list, const MacroEvent& event) {
    const int s = list.Selected();
    if (s < 0)
        return {};
    MacroEvent replaced = list.At(s);
    replaced.button = event.button;
    replaced.type = event.type;
    list.Replace(s, replaced);
    return {true, s, -1, false};
}

RecordChange CMacroRecorder::Record(CMacroActionList& list, MacroEvent event) {
    const int s = list.Selected();
    if (place_ != RecordPlace::kEnd && s < 0)
        return {};
    if (list.Count() >= CMacroStore::kMaxRecordedEvents)
        return {};
    int at = list.Count();
    int delayRow = at - 1;
    bool first = list.Count() == 0;
    if (place_ == RecordPlace::kBefore) {
        at = s;
        delayRow = s - 1;
        first = s == 0;
    } else if (place_ == RecordPlace::kAfter) {
        at = s + 1;
        delayRow = s;
        first = false;
    }
    const int d = NextDelay();
    RecordChange change{true, at, -1, true};
    if (first) {
        event.delay = 0;
    } else {
        event.delay = mode_ == RecordMode::kConstant ? constantDelay_ : 0;
        if (recorded_ && delayRow >= 0) {
            list.SetDelay(delayRow, d);
            change.delayRow = delayRow;
        }
    }
    list.InsertAt(at, event);
    recorded_ = true;
    // Recording before keeps the row it started from selected; the others follow the new row.
    list.Select(place_ == RecordPlace::kBefore ? at + 1 : at);
    return change;
}

}  // namespace morva
