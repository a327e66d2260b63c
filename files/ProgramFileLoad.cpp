#include "files/ProgramFileLoad.h"

#include "files/FileBytes.h"

ProgramFileLoad ProgramFileLoaded(uint32_t length, uint16_t checksum) {
    ProgramFileLoad load;
    load.ok = true;
    load.length = length;
    load.checksum = checksum;
    return load;
}

ProgramFileLoad ProgramFileFailed(const std::string& name, ProgramFileError error,
                                  std::string reason, uint32_t line) {
    ProgramFileLoad load;
    load.error = error;
    load.line = line;
    load.reason = std::move(reason);
    load.message = "Program file \"" + name + "\"";
    if (line != 0) {
        load.message += ", line " + std::to_string(line) + ": ";
    } else {
        load.message += " ";
    }
    load.message += load.reason;
    return load;
}

std::optional<ProgramFileLoad> ProgramFileUnreadable(const std::string& name, const FileBytes& file) {
    switch (file.status) {
        case FileBytes::CannotOpen:
            return ProgramFileFailed(name, ProgramFileError::CannotOpen,
                                     "cannot be opened (" + file.systemReason + ")");
        case FileBytes::ReadFailed:
            return ProgramFileFailed(name, ProgramFileError::ReadFailed,
                                     "cannot be read (" + file.systemReason + ")");
        case FileBytes::NotRegular:
            return ProgramFileFailed(name, ProgramFileError::CannotOpen, "is not a regular file");
        case FileBytes::TooLarge:
            return ProgramFileFailed(name, ProgramFileError::ReadFailed, "is too large");
        case FileBytes::Ok: break;
    }
    if (file.bytes.empty()) return ProgramFileFailed(name, ProgramFileError::NoData, "is empty");
    return std::nullopt;
}
