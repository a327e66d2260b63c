#pragma once
// Reads a file whole (or its first bytes) in binary mode, with the system's reason on
// failure, for the program-file readers.

#include <cstddef>
#include <cstdint>
#include <string>

struct FileBytes {
    enum Status { Ok, CannotOpen, ReadFailed };
    Status status = Ok;
    std::string bytes;
    // The system's text for the failure, e.g. "No such file or directory".
    std::string systemReason;
};

// Reads at most `limit` bytes from the start of the file.
FileBytes ReadFileBytes(const std::string& name, size_t limit);
