#pragma once
// The command-line tool: parses the arguments, sets up the device platform (real, or the
// simulated chip), runs one command and returns the exit code.
//   0  every step that ran succeeded
//   1  a step failed, or the device was not found
//   2  a file or usage error
//   128 + N  stopped by signal N (after the clean-up of the running operation)

#include <iosfwd>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool outIsTerminal);
