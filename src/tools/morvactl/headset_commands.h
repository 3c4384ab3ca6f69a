// `morvactl headset …`: the headset page's lighting and sound from the command line, made
// through the headset model the program uses; the sound goes through the same audio store
// (simulated) or sound card (real) the program uses.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "device/models/headset_device.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/mouse_commands.h"

namespace morva::cli {

struct HeadsetRequest {
    enum class Op {
        Show,
        Light,
        Eq,
        EqCustom,
        EqDelete,
        Mic,
        MicMute,
        Monitor,
        MonitorMute,
        Voice,
        VoiceEffect
    };
    Op op = Op::Show;
    LightRequest light;
    int value = 0;  // preset, level or effect
    bool on = false;
    std::string name;  // equaliser curve
    EqBands bands{};
};

// The words after `headset`; false with a one-line reason in `error`.
bool ParseHeadsetCommand(const std::vector<std::string>& words, HeadsetRequest& request,
                         std::string& error);

const char* HeadsetCommandUsage();

struct HeadsetEnvironment : MouseEnvironment {
    std::string simStateFile;  // the --sim-state file; the audio store is kept beside it
};

// Runs one parsed command on the headset; the exit status.
int RunHeadsetCommand(const HeadsetRequest& request, const HeadsetEnvironment& environment,
                      std::ostream& out, std::ostream& err);

}  // namespace morva::cli
