#include "files/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
std::string SystemText(int error) { return std::generic_category().message(error); }
}  // namespace

FileBytes ReadFileBytes(const std::string& name, size_t limit) {
    FileBytes result;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        result.status = FileBytes::CannotOpen;
        result.systemReason = SystemText(errno);
        return result;
    }
    // Sized once from the file's length where it can be known; the loop still reads to the
    // real end, so a file that grows or shrinks meanwhile is read as it is.
    std::error_code sizeError;
    const uintmax_t expected = std::filesystem::file_size(name, sizeError);
    size_t used = 0;
    result.bytes.resize(std::min<uintmax_t>(sizeError ? 65536 : expected + 1, limit));
    while (used < limit) {
        if (used == result.bytes.size()) result.bytes.resize(std::min(limit, 2 * used + 65536));
        const size_t want = result.bytes.size() - used;
        const size_t got = std::fread(result.bytes.data() + used, 1, want, file.get());
        used += got;
        if (got < want) break;
    }
    result.bytes.resize(used);
    if (std::ferror(file.get())) {
        result.status = FileBytes::ReadFailed;
        result.systemReason = SystemText(errno);
        result.bytes.clear();
    }
    return result;
}
