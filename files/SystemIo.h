#pragma once
// The few file-system calls of the readers and writers that differ between POSIX systems
// and Windows. Descriptors are the C library's (open/read/write/close work on both); on
// Windows every file is opened in binary mode, so no byte is ever translated.
// SystemIoPosix.cpp and SystemIoWindows.cpp implement them; CMake picks one.

#include <string>
#include <sys/stat.h>

// Opens for reading without waiting: a FIFO with no writer must not hang the open.
// Returns a descriptor, or -1 with errno set.
int OpenForReadingNoWait(const std::string& name);
// Makes reads on a descriptor from OpenForReadingNoWait wait for data again.
void RestoreBlockingReads(int fd);
// Opens an existing file for writing, without truncating it.
int OpenForWritingInPlace(const std::string& name);
// Creates a new file, failing with EEXIST when the name is taken.
int CreateNewFile(const std::string& name);
// Creates or truncates a file.
int CreateOrTruncateFile(const std::string& name);

// Flushes a file's data to the disk.
bool SyncDescriptor(int fd);
// Gives a file the permission bits of `mode` (where the system has them).
bool CopyPermissionBits(int fd, mode_t mode);
// Renames `from` over `to`, replacing an existing `to` in one step. errno set on failure.
bool RenameReplacing(const std::string& from, const std::string& to);
// Flushes a folder's entries (creations, renames), so a rename survives a power loss.
bool SyncFolder(const std::string& folder);
