#include "cli/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

void LineReader::Read(std::vector<std::string>& lines) {
    if (fd_ < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {  // end of the stream, or an error that ends it just the same
            if (!partial_.empty()) lines.push_back(std::move(partial_));
            partial_.clear();
            Close();
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
                lines.push_back(std::move(partial_));
                partial_.clear();
            } else {
                partial_ += buffer[i];
            }
        }
    }
}

void LineReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        // Only reached when the parent gives up early; a child is never left unreaped.
        ::kill(pid_, SIGKILL);
        Wait();
    }
    out_.Close();
    err_.Close();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         std::string& error) {
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&files, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&files, errPipe[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &files, &attr, raw.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&files);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        pid_ = -1;
        error = std::strerror(rc);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return false;
    }
    for (int fd : {outPipe[0], errPipe[0]}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    out_ = LineReader(outPipe[0]);
    err_ = LineReader(errPipe[0]);
    return true;
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
}

int ChildProcess::Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string OwnProgramPath() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0) return std::string(path, static_cast<size_t>(n));
    // Without /proc: the name the program was started by.
    const char* started = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
    return started ? started : "quorvel-isp";
}
