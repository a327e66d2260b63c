#include "files/FileBytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "files/FileDescriptor.h"
#include "files/SystemIo.h"

namespace {

std::string SystemText(int error) { return std::generic_category().message(error); }

}  // namespace

FileBytes ReadFileBytes(const std::string& name, size_t limit, BeyondLimit beyond) {
    FileBytes result;
    // Opened without blocking, so a FIFO with no writer cannot hang the open; it is then
    // refused along with every other file that is not a regular one.
    FileDescriptor fd(OpenForReadingNoWait(name));
    if (fd.get() < 0) {
        const int why = errno;
        // Some systems (Windows) refuse to open a folder at all; it is still a name that
        // exists and is not a regular file, and is reported as such.
        struct stat info {};
        if (::stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            result.status = FileBytes::NotRegular;
            return result;
        }
        result.status = FileBytes::CannotOpen;
        result.systemReason = SystemText(why);
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.status = FileBytes::ReadFailed;
        result.systemReason = SystemText(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = FileBytes::NotRegular;
        return result;
    }
    RestoreBlockingReads(fd.get());

    // Sized once from the file's length; the loop still reads to the real end (or one
    // byte past the limit, to tell a longer file), so a file that grows or shrinks
    // meanwhile is read as it is.
    const size_t want = beyond == BeyondLimit::Refuse && limit != SIZE_MAX ? limit + 1 : limit;
    const auto expected = static_cast<uintmax_t>(info.st_size);
    result.bytes.resize(std::min<uintmax_t>(expected + 1, want));
    size_t used = 0;
    while (used < want) {
        if (used == result.bytes.size()) result.bytes.resize(std::min(want, 2 * used + 65536));
        const ssize_t got = ::read(fd.get(), result.bytes.data() + used, result.bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            result.status = FileBytes::ReadFailed;
            result.systemReason = SystemText(errno);
            result.bytes.clear();
            return result;
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    result.bytes.resize(used);
    if (used > limit) {
        result.status = FileBytes::TooLarge;
        result.bytes.clear();
    }
    return result;
}
