#pragma once
// Writes a new file so that the target is either its old self or the complete new file,
// and stays so after a crash or a power loss.
//
// - A regular target (or none yet): the bytes go to a temporary file with a unique name
//   in the same folder, which is flushed to disk, given the old file's permission bits
//   and renamed over the target; then the folder is flushed, so the rename itself lasts.
//   A reader never sees a half-written file, and a failed write leaves the target as it
//   was.
// - A symbolic link: its final target is replaced, and the link stays a link.
// - A target that exists and is not a regular file (a device such as /dev/null, a FIFO)
//   is written in place, never replaced by a file.
// - A folder is refused.

#include <cstddef>
#include <cstdint>
#include <string>

// Writes `size` bytes to the file `name`, creating or replacing it as above. On failure
// returns false with the reason in `error`; the temporary file is removed.
bool WriteFileReplacing(const std::string& name, const uint8_t* data, size_t size,
                        std::string& error);

// Creates or truncates `name`, writes `size` bytes and flushes them to disk. For callers
// that rename the file into place themselves (under a lock of their own).
bool WriteFileSynced(const std::string& name, const uint8_t* data, size_t size,
                     std::string& error);

// Renames `from` over `to` and flushes the folder of `to`, so the rename survives a crash.
bool RenameSynced(const std::string& from, const std::string& to, std::string& error);

// Flushes the folder that holds `name` (its entries: creations, renames, removals).
bool SyncFolderOf(const std::string& name);
