#pragma once
// What a program-file read did, for the window's message box and the command-line tool.

#include <cstdint>
#include <optional>
#include <string>

enum class ProgramFileError {
    None,
    NoFileName,   // the name is empty
    UnknownType,  // the type letter is neither "b" nor "h"
    CannotOpen,
    ReadFailed,   // opened, but reading failed part way
    NoData,       // an empty file, or HEX text without a data byte
    Malformed,    // a HEX record that is not well formed; see `line`
};

struct ProgramFileLoad {
    bool ok = false;
    // On success: the checksum of image bytes 0 to length - 1, and gImageLength.
    uint16_t checksum = 0;
    uint32_t length = 0;

    ProgramFileError error = ProgramFileError::None;
    // 1-based line of a malformed HEX record; 0 otherwise.
    uint32_t line = 0;
    // The reason alone, e.g. "wrong record checksum"; empty on success.
    std::string reason;
    // A sentence naming the file, the line when there is one, and the reason.
    std::string message;
};

// Builds the result of a successful read.
ProgramFileLoad ProgramFileLoaded(uint32_t length, uint16_t checksum);
// Builds the result of a failed read of `name`, with its message.
ProgramFileLoad ProgramFileFailed(const std::string& name, ProgramFileError error,
                                  std::string reason, uint32_t line = 0);

struct FileBytes;
// The failure of a program file whose bytes could not be read or that holds none; nothing
// when `file` brought at least one byte.
std::optional<ProgramFileLoad> ProgramFileUnreadable(const std::string& name, const FileBytes& file);
