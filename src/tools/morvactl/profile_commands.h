// `morvactl profile …`: a device's profile list from the command line, through the same
// profile list store the program's profile panel uses, and the programs bound to profiles. With the
// mouse present, a change of the selected profile (or of its content) is loaded and sent to the
// mouse as the program does after a switch.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"

namespace morva::sim {
class SimBus;
}

namespace morva::cli {

struct ProfileRequest {
    enum class Op {
        List,
        Add,
        Copy,
        Delete,
        Rename,
        Select,
        Export,
        Import,
        Reset,
        Bind,
        Unbind,
        Bindings
    };
    std::string device;  // mouse, keyboard, pad or headset
    Op op = Op::List;
    int index = 0;     // select
    std::string text;  // rename: the name; export, import: the file; bind, unbind: the program
};

// The words after `profile`. False with a one-line reason in `error` when they are not a
// profile command.
bool ParseProfileCommand(const std::vector<std::string>& words, ProfileRequest& request,
                         std::string& error);

// Usage lines of the profile commands, for --help.
const char* ProfileCommandUsage();

struct ProfileEnvironment {
    hid::IHidBackend& backend;
    sim::SimBus* simBus = nullptr;
    std::string dataDir;         // local application data folder; empty: the usual one
    std::string resourceFolder;  // holds DefaultData/
    int screenWidth = 1920;
    int screenHeight = 1080;
};

// Runs one parsed command; prints the resulting list (INDEX, NAME, ID, "*" on the selected
// one, tab-separated), or for bind, unbind and bindings the bound programs ("NAME: PROGRAM,
// …" per profile that has any), and returns the exit status.
int RunProfileCommand(const ProfileRequest& request, const ProfileEnvironment& environment,
                      std::ostream& out, std::ostream& err);

}  // namespace morva::cli
