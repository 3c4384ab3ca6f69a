// `morvactl update ...`: the update check from the command line. The header is plain C++, so
// morvactl's own sources stay free of Qt; the event loop lives in the implementation.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace morva::update {

// args: the words after "update". 0 when every check was answered, 1 when one failed, 2 on a
// usage error or when no service is configured.
int RunUpdateCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The command's lines in morvactl --help.
std::string UpdateCommandHelp();

// Adds `update` to morva::cli::RunMorvactl.
void RegisterUpdateCommand();

}  // namespace morva::update
