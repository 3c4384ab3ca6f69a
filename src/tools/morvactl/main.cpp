#include <iostream>

#include "tools/morvactl/cli.h"
#include "update/update_command.h"

int main(int argc, char** argv) {
    morva::update::RegisterUpdateCommand();
    std::vector<std::string> args(argv + 1, argv + argc);
    return morva::cli::RunMorvactl(args, std::cout, std::cerr);
}
