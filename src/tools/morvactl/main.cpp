#include <iostream>

#include "tools/morvactl/cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return morva::cli::RunMorvactl(args, std::cout, std::cerr);
}
