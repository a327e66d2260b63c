#pragma once
// Reads a program file whole (or its first bytes) in binary mode, with the system's
// reason on failure, for the program-file readers.

#include <cstddef>
#include <cstdint>
#include <string>

struct FileBytes {
    enum Status {
        Ok,
        CannotOpen,
        ReadFailed,
        NotRegular,  // a FIFO, a device, a socket: it could block or never end
        TooLarge,    // longer than the reader accepts
    };
    Status status = Ok;
    std::string bytes;
    // The system's text for the failure, e.g. "No such file or directory".
    std::string systemReason;
};

// What to do with a file longer than the limit.
enum class BeyondLimit { Ignore, Refuse };

// Reads at most `limit` bytes from the start of a regular file (a symbolic link is
// followed). With BeyondLimit::Refuse a longer file is TooLarge, found out without holding
// more than `limit` bytes.
FileBytes ReadFileBytes(const std::string& name, size_t limit,
                        BeyondLimit beyond = BeyondLimit::Ignore);
