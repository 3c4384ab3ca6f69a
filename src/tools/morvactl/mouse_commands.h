// `morvactl mouse …`: the mouse page's settings from the command line, made through the mouse
// model the program uses and read back from the mouse afterwards.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "profile/key_code.h"
#include "tools/morvactl/cli_common.h"

namespace morva::sim {
class SimBus;
}

namespace morva::cli {

struct MouseRequest {
    enum class Op { Show, Dpi, Stage, Enable, Rate, Light, Button, Macros, Shoot };
    Op op = Op::Show;
    int index = 0;  // stage, report-rate option, button or recoil pattern
    int dpi = 0;
    bool on = false;
    KeyCode code;
    LightRequest light;  // 10 and up a custom effect
    std::string file;    // a recoil pattern file
};

// The words after `mouse`. False with a one-line reason in `error` when they are not a
// mouse command.
bool ParseMouseCommand(const std::vector<std::string>& words, MouseRequest& request,
                       std::string& error);

// Usage lines of the mouse commands, for --help.
const char* MouseCommandUsage();

struct MouseEnvironment {
    hid::IHidBackend& backend;
    sim::SimBus* simBus = nullptr;  // set on simulated devices: the key table can be read back
    std::string dataDir;            // local application data folder; empty: the usual one
    std::string resourceFolder;     // holds DefaultData/
    int screenWidth = 1920;
    int screenHeight = 1080;
};

// Runs one parsed command on the mouse (cable, else its receiver); the exit status.
int RunMouseCommand(const MouseRequest& request, const MouseEnvironment& environment,
                    std::ostream& out, std::ostream& err);

}  // namespace morva::cli
