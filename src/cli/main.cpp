#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return vantrel::RunCli(args, std::cout, std::cerr);
}
