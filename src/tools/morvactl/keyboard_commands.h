// `morvactl keyboard …`: the keyboard page's settings and key assignments from the command
// line, made through the keyboard model the program uses and read back from the keyboard.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "profile/key_code.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/mouse_commands.h"

namespace morva::cli {

struct KeyboardRequest {
    enum class Op {
        Show,
        Rate,
        Repeat,
        Delay,
        WinLock,
        WFlag,
        Rollover,
        Debounce,
        Light,
        Key,
        Macros
    };
    Op op = Op::Show;
    int value = 0;  // rate option, repeat rate, delay option, debounce step or UI key
    bool on = false;
    KeyCode code;
    bool fnLayer = false;
    LightRequest light;  // past the presets a custom effect
};

// The words after `keyboard`; false with a one-line reason in `error`.
bool ParseKeyboardCommand(const std::vector<std::string>& words, KeyboardRequest& request,
                          std::string& error);

const char* KeyboardCommandUsage();

// The same environment the mouse commands run in.
using KeyboardEnvironment = MouseEnvironment;

// Runs one parsed command on the keyboard (cable, else its receiver); the exit status.
int RunKeyboardCommand(const KeyboardRequest& request, const KeyboardEnvironment& environment,
                       std::ostream& out, std::ostream& err);

}  // namespace morva::cli
