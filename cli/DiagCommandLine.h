#pragma once
// The command line of the engineering commands (reg, i2c, param, info, hid): their
// arguments, checked when the command runs so that a bad value is a usage error (exit 2)
// that names the argument.

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

#include "cli/CliSession.h"

// The texts of the engineering commands' arguments, converted once the command runs.
struct DiagArguments {
    std::string reg, value, slave, count, cmd, data;
    std::vector<std::string> bytes;
};

// Adds reg, i2c, param, info and hid to `app`; the chosen one is stored in `command`.
void AddDiagCommands(CLI::App& app, DiagArguments& arguments,
                     std::function<int(CliSession&)>& command);
