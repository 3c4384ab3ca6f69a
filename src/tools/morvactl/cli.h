// The morvactl command line, runnable in-process (tests call it with their own streams).
#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace morva::cli {

// How the `app` commands reach the running program.
struct AppConnection {
    std::string socketPath;  // empty: ipc::SocketPath()
    std::chrono::milliseconds timeout{2000};
};

// A command family the executable adds (one that needs more than this library may link):
// `morvactl NAME ARGS...` calls it with ARGS and returns what it returns.
using ExtraCommand =
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>;
// `help` is the command's part of --help, lines indented as the other commands'. A second
// registration of the same name replaces the first.
void RegisterCommand(std::string name, ExtraCommand command, std::string help);

// args excludes the program name. Returns the process exit status.
int RunMorvactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const AppConnection& app = {});

}  // namespace morva::cli
