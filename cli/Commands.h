#pragma once
// The commands of the command-line tool. Each returns an exit code (see CliApp.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "isp/IspOperations.h"

// Options shared by the flash commands.
struct FlashCommandOptions {
    bool ispMode = true;       // enter and leave ISP mode around the operation
    bool assignRange = false;  // --range START SIZE, in KB
    uint32_t startKb = 0;
    uint32_t sizeKb = 0;
    bool progressBar = false;
};

int DetectCommand(CliSession& session);
int ChecksumCommand(CliSession& session, const std::string& file);
int AutoCommand(CliSession& session, const std::string& file, const FlashCommandOptions& flash,
                const std::vector<std::string>& skip);

enum class SingleOperation { ChipId, Status, WriteStatus, Erase, Blank, Program, Verify, ReadFlash };
// `argument` is the file (blank, program, verify), the output path (read-flash) or the
// hexadecimal status value (write-status).
int SingleOperationCommand(CliSession& session, SingleOperation op, const std::string& argument,
                           const FlashCommandOptions& flash);

// The Gen. Bin File page's default texts.
struct GenBinOptions {
    std::string vid = "7C3D";
    std::string pid = "6012";
    std::string strings[5] = {"Quorvel-inc", "Quorvel-inc DUR22", "QVUA170405",
                              "Primary Play Interface", "Record Interface"};
};
int GenBinCommand(CliSession& session, const std::string& in, const std::string& out,
                  const GenBinOptions& options);
