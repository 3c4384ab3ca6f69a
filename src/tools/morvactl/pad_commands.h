// `morvactl pad …`: the pad page's lighting from the command line, made through the pad model
// the program uses and read back from the pad.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/mouse_commands.h"

namespace morva::cli {

struct PadRequest {
    enum class Op { Show, Light };
    Op op = Op::Show;
    LightRequest light;
};

// The words after `pad`; false with a one-line reason in `error`.
bool ParsePadCommand(const std::vector<std::string>& words, PadRequest& request,
                     std::string& error);

const char* PadCommandUsage();

using PadEnvironment = MouseEnvironment;

// Runs one parsed command on the pad; the exit status.
int RunPadCommand(const PadRequest& request, const PadEnvironment& environment, std::ostream& out,
                  std::ostream& err);

}  // namespace morva::cli
