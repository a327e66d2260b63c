#pragma once
// The commands of the command-line tool. Each returns an exit code (see CliApp.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "diag/OptionBlock.h"
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

// The Register page's operations: a register read as selecting its cell does, a write
// with its read-back as the Enter key does, the bank select (register 0), the Read Bank
// walk printed as the page's grid.
struct RegRequest {
    enum Action { Read, Write, Bank, Dump } action = Read;
    uint8_t reg = 0;
    uint8_t value = 0;
};
int RegCommand(CliSession& session, const RegRequest& request);

// The I2C Access page's reads and writes of slave registers (one register per transfer,
// each write read back), and the Information page's raw command/data transfers. The I2C
// master is set up first.
struct I2cRequest {
    enum Action { Read, Write, RawWrite, RawRead } action = Read;
    uint8_t slave = 0x20;
    uint8_t reg = 0;
    unsigned count = 1;
    std::vector<uint8_t> command;  // raw transfers: the command bytes
    std::vector<uint8_t> bytes;    // writes: the data bytes
};
int I2cCommand(CliSession& session, const I2cRequest& request);

// A hexadecimal value with or without "0x", at most `max`.
std::optional<uint32_t> ParseHexArgument(const std::string& text, uint32_t max);
// Hexadecimal bytes separated by commas ("01,a0,FF").
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text);

// The Parameter page: the option block read (printed as named fields) or set (as given,
// or read, changed in the named fields only and written back), VID, PID and strings.
struct ParamRequest {
    enum Action { Read, Set, Vid, Pid, String } action = Read;
    OptionBlock block{};
    std::vector<std::pair<OptionField, unsigned>> changes;
    std::string text;
    int number = 1;
};
int ParamCommand(CliSession& session, const ParamRequest& request);
// The Information page's status: connection, play state, input format and rate.
int InfoCommand(CliSession& session);
// One HID media key, by its number (0 prev .. 4 next).
int HidCommand(CliSession& session, int key);
