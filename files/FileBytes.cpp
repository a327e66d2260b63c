#include "files/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
    char chunk[65536];
    while (result.bytes.size() < limit) {
        const size_t want = std::min(sizeof chunk, limit - result.bytes.size());
        const size_t got = std::fread(chunk, 1, want, file.get());
        result.bytes.append(chunk, got);
        if (got < want) break;
    }
    if (std::ferror(file.get())) {
        result.status = FileBytes::ReadFailed;
        result.systemReason = SystemText(errno);
        result.bytes.clear();
    }
    return result;
}
