#include "files/SystemIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "files/FileDescriptor.h"

int OpenForReadingNoWait(const std::string& name) {
    return ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

void RestoreBlockingReads(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int OpenForWritingInPlace(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
}

int CreateNewFile(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

int CreateOrTruncateFile(const std::string& name) {
    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

bool SyncDescriptor(int fd) { return ::fsync(fd) == 0; }

bool CopyPermissionBits(int fd, mode_t mode) { return ::fchmod(fd, mode & 07777) == 0; }

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool SyncFolder(const std::string& folder) {
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}
