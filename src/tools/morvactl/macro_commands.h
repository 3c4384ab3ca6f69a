// `morvactl macro …`: the mouse's or keyboard's macro list from the command line, changed
// through the same model operations as the macro panel.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/morvactl/mouse_commands.h"

namespace morva::cli {

struct MacroRequest {
    enum class Op { List, Show, Import, Export, Delete };
    Op op = Op::List;
    bool keyboard = false;  // the mouse's macros unless "keyboard" comes first
    std::string name;
    std::string file;
};

bool ParseMacroCommand(const std::vector<std::string>& words, MacroRequest& request,
                       std::string& error);

const char* MacroCommandUsage();

// Only delete talks to the device (the macro slots and key table follow the new numbers);
// the others work on the macro files alone.
int RunMacroCommand(const MacroRequest& request, const MouseEnvironment& environment,
                    std::ostream& out, std::ostream& err);

}  // namespace morva::cli
