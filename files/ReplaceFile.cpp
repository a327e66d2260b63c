#include "files/ReplaceFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string SystemText(int error) { return std::generic_category().message(error); }

// Creates a file of a fresh name next to `target`, refusing names that exist ("x"), so
// that two writers never share a temporary file.
std::FILE* CreateTemporaryNextTo(const fs::path& target, fs::path& temporary, int& error) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        temporary = target;
        temporary += ".tmp-" + std::to_string(random() % 1000000000u);
        errno = 0;
        if (std::FILE* file = std::fopen(temporary.string().c_str(), "wbx")) return file;
        error = errno != 0 ? errno : EIO;
    }
    return nullptr;
}

}  // namespace

bool WriteFileReplacing(const std::string& name, const uint8_t* data, size_t size,
                        std::string& error) {
    const fs::path target(name);
    if (name.empty() || !target.has_filename()) {
        error = "no file name";
        return false;
    }
    fs::path temporary;
    int openError = 0;
    std::FILE* file = CreateTemporaryNextTo(target, temporary, openError);
    if (file == nullptr) {
        error = "cannot create a file in the folder of \"" + name + "\" (" + SystemText(openError) + ")";
        return false;
    }
    errno = 0;
    bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    int writeError = errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        writeError = errno;
    }
    std::error_code removed;
    if (!written) {
        fs::remove(temporary, removed);
        error = "cannot write \"" + name + "\" (" + SystemText(writeError != 0 ? writeError : EIO) + ")";
        return false;
    }
    std::error_code renamed;
    fs::rename(temporary, target, renamed);
    if (renamed) {
        fs::remove(temporary, removed);
        error = "cannot replace \"" + name + "\" (" + renamed.message() + ")";
        return false;
    }
    return true;
}
