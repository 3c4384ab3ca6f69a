// Turns live key and button events into actions of the macro being edited. Each of the eight
// ways of recording (keys or buttons; at the end, before or after the selected action, or in
// its place) remembers its own last key or button, so a held key's repeats and a doubled
// button report are recorded once.
#pragma once

#include <array>
#include <cstdint>

#include "base/clock.h"
#include "macro/macro_action_list.h"

namespace morva {

enum class RecordMode { kRealTime = 1, kConstant = 2, kNoDelay = 3 };
enum class RecordPlace { kEnd = 0, kBefore = 1, kAfter = 2, kReplace = 3 };

// What the recorder remembers between events; kept for the life of the program, like the
// hook that feeds it.
struct RecorderMemories {
    struct Key {
        std::uint8_t scanCode = 0;
        bool extended = false;
    };
    std::array<Key, 4> keys{};           // by RecordPlace
    std::array<int, 4> mouseMessages{};  // by RecordPlace
};

// Which rows one recorded event touched, for the panel to redraw.
struct RecordChange {
    bool recorded = false;
    int row = -1;           // the new or replaced row
    int delayRow = -1;      // a row whose delay was updated, or -1
    bool inserted = false;  // `row` is new (the rows after it moved down)
};

// "macro_fixed_time_edit" read as the recorder does: its leading digits, 0 without any,
// held at kMaxMacroDelay.
int ReadConstantDelay(std::string_view text);

class CMacroRecorder {
public:
    CMacroRecorder(RecorderMemories& memories, const IClock& clock = SteadyClock());

    // The constant delay is used in mode kConstant (and by actions inserted by hand).
    void Start(RecordMode mode, RecordPlace place, int constantDelay);
    void Stop() { recording_ = false; }
    bool IsRecording() const { return recording_; }
    int ConstantDelay() const { return constantDelay_; }
    void SetConstantDelay(int delay);

    RecordChange RecordKey(CMacroActionList& list, bool press, std::uint8_t scanCode,
                           bool extended);
    // `message`/`extra` as MouseButtonRow takes them; `onStopButton`: the pointer is over
    // the button that ends recording (its left click is not recorded).
    RecordChange RecordMouse(CMacroActionList& list, int message, int extra, bool onStopButton);

private:
    RecordChange Record(CMacroActionList& list, MacroEvent event);
    RecordChange ReplaceSelected(CMacroActionList& list, const MacroEvent& event);
    int NextDelay();

    RecorderMemories& memories_;
    const IClock& clock_;
    RecordMode mode_ = RecordMode::kRealTime;
    RecordPlace place_ = RecordPlace::kEnd;
    bool recording_ = false;
    bool recorded_ = false;
    std::uint32_t lastActionMs_ = 0;
    int constantDelay_ = 50;
};

}  // namespace morva
