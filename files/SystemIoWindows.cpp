#include "files/SystemIo.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

namespace {

// Binary mode always (text mode would turn CR LF into LF and stop at a 0x1A byte); no
// inheritance by child processes, like O_CLOEXEC.
constexpr int kFlags = _O_BINARY | _O_NOINHERIT;

}  // namespace

// Windows has no FIFOs in the file system and an open never waits for a writer.
int OpenForReadingNoWait(const std::string& name) { return ::_open(name.c_str(), _O_RDONLY | kFlags); }

void RestoreBlockingReads(int) {}

int OpenForWritingInPlace(const std::string& name) { return ::_open(name.c_str(), _O_WRONLY | kFlags); }

int CreateNewFile(const std::string& name) {
    return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | kFlags, _S_IREAD | _S_IWRITE);
}

int CreateOrTruncateFile(const std::string& name) {
    return ::_open(name.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | kFlags, _S_IREAD | _S_IWRITE);
}

bool SyncDescriptor(int fd) { return ::_commit(fd) == 0; }

// Windows keeps no POSIX permission bits; a read-only target is refused by the rename
// (below), which reports the failure rather than dropping the protection.
bool CopyPermissionBits(int, mode_t) { return true; }

bool RenameReplacing(const std::string& from, const std::string& to) {
    // A file marked read-only is the user's "do not change": it is refused, as Windows
    // itself refuses to replace it (not every implementation of the call does).
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        errno = EACCES;
        return false;
    }
    // The C library's rename refuses an existing target on Windows. Write-through makes
    // the rename itself durable before the call returns.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    errno = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EACCES
            : error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                                                                                : EIO;
    return false;
}

// The renames were written through (above); a folder has no handle to flush here.
bool SyncFolder(const std::string&) { return true; }
