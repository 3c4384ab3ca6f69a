// The morvactl command line, runnable in-process (tests call it with their own streams).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace morva::cli {

// args excludes the program name. Returns the process exit status.
int RunMorvactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace morva::cli
