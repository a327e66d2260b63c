#include <unistd.h>

#include <iostream>

#include "cli/CliApp.h"

int main(int argc, char** argv) {
    return RunCli(argc, argv, std::cout, std::cerr, isatty(STDOUT_FILENO) != 0);
}
