#include "files/ReplaceFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

#include "files/FileDescriptor.h"
#include "files/SystemIo.h"

namespace fs = std::filesystem;

namespace {

std::string SystemText(int error) { return std::generic_category().message(error); }

// Writes all of `data`, going on after partial writes and interrupted calls.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Opens a file of a fresh name next to `target`, refusing names that exist, so that two
// writers never share a temporary file.
int CreateTemporaryNextTo(const fs::path& target, fs::path& temporary) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = target;
        temporary += ".tmp-" + std::to_string(random() % 1000000000u);
        const int fd = CreateNewFile(temporary.string());
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Where the bytes of `name` really go: a symbolic link is followed to its final target
// (which need not exist yet), so the link itself stays in place.
fs::path FinalTarget(const fs::path& name) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(name, ec))) return name;
    const fs::path resolved = fs::weakly_canonical(name, ec);
    return ec ? name : resolved;
}

bool WriteInPlace(const fs::path& target, const uint8_t* data, size_t size, std::string& error) {
    FileDescriptor fd(OpenForWritingInPlace(target.string()));
    if (fd.get() < 0) {
        error = "cannot open \"" + target.string() + "\" (" + SystemText(errno) + ")";
        return false;
    }
    if (!WriteAll(fd.get(), data, size) || !fd.Close()) {
        error = "cannot write \"" + target.string() + "\" (" + SystemText(errno) + ")";
        return false;
    }
    return true;
}

}  // namespace

bool SyncFolderOf(const std::string& name) {
    fs::path folder = fs::path(name).parent_path();
    if (folder.empty()) folder = ".";
    return SyncFolder(folder.string());
}

bool WriteFileSynced(const std::string& name, const uint8_t* data, size_t size,
                     std::string& error) {
    FileDescriptor fd(CreateOrTruncateFile(name));
    if (fd.get() < 0) {
        error = "cannot create \"" + name + "\" (" + SystemText(errno) + ")";
        return false;
    }
    if (!WriteAll(fd.get(), data, size) || !SyncDescriptor(fd.get()) || !fd.Close()) {
        error = "cannot write \"" + name + "\" (" + SystemText(errno) + ")";
        return false;
    }
    return true;
}

bool RenameSynced(const std::string& from, const std::string& to, std::string& error) {
    if (!RenameReplacing(from, to)) {
        error = "cannot rename \"" + from + "\" to \"" + to + "\" (" + SystemText(errno) + ")";
        return false;
    }
    if (!SyncFolderOf(to)) {
        error = "cannot flush the folder of \"" + to + "\" (" + SystemText(errno) + ")";
        return false;
    }
    return true;
}

bool WriteFileReplacing(const std::string& name, const uint8_t* data, size_t size,
                        std::string& error) {
    if (name.empty() || !fs::path(name).has_filename()) {
        error = "no file name";
        return false;
    }
    const fs::path target = FinalTarget(name);
    struct stat old {};
    const bool exists = ::stat(target.string().c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        error = "\"" + name + "\" is a folder";
        return false;
    }
    if (exists && !S_ISREG(old.st_mode)) return WriteInPlace(target, data, size, error);

    fs::path temporary;
    FileDescriptor fd(CreateTemporaryNextTo(target, temporary));
    if (fd.get() < 0) {
        error = "cannot create a file in the folder of \"" + name + "\" (" + SystemText(errno) + ")";
        return false;
    }
    bool written = WriteAll(fd.get(), data, size);
    if (written && exists) written = CopyPermissionBits(fd.get(), old.st_mode);
    if (written) written = SyncDescriptor(fd.get());
    const int writeError = errno;
    if (!fd.Close() && written) written = false;
    if (!written) {
        ::unlink(temporary.string().c_str());
        error = "cannot write \"" + name + "\" (" + SystemText(writeError != 0 ? writeError : EIO) + ")";
        return false;
    }
    if (!RenameReplacing(temporary.string(), target.string())) {
        const int renameError = errno;
        ::unlink(temporary.string().c_str());
        error = "cannot replace \"" + name + "\" (" + SystemText(renameError) + ")";
        return false;
    }
    if (!SyncFolderOf(target.string())) {
        error = "cannot flush the folder of \"" + name + "\" (" + SystemText(errno) + ")";
        return false;
    }
    return true;
}
