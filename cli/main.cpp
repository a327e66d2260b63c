#include <unistd.h>

#include <iostream>

#include "cli/CliApp.h"
#include "cli/StopSignals.h"

int main(int argc, char** argv) {
    InstallStopSignals();
    return RunCli(argc, argv, std::cout, std::cerr, isatty(STDOUT_FILENO) != 0);
}
