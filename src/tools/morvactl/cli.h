// The morvactl command line, runnable in-process (tests call it with their own streams).
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

namespace morva::cli {

// How the `app` commands reach the running program.
struct AppConnection {
    std::string socketPath;  // empty: ipc::SocketPath()
    std::chrono::milliseconds timeout{2000};
};

// args excludes the program name. Returns the process exit status.
int RunMorvactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const AppConnection& app = {});

}  // namespace morva::cli
