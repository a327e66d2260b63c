#include "sim/SimStateLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

SimStateLock::~SimStateLock() {
    if (held_ >= 0) ::close(static_cast<int>(held_));
}

bool SimStateLock::Acquire(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot create directory " + dir + " (" + ec.message() + ")";
        return false;
    }
    const std::string name = (std::filesystem::path(dir) / ".lock").string();
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot open " + name + " (" + std::generic_category().message(errno) + ")";
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int why = errno;
        ::close(fd);
        error = why == EWOULDBLOCK ? "state directory in use"
                                   : "cannot lock " + name + " (" +
                                         std::generic_category().message(why) + ")";
        return false;
    }
    held_ = fd;
    return true;
}
