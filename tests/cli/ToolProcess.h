#pragma once
// Runs the installed quorvel-isp as a child process, with the stop signals at their
// defaults (a test runner may have them ignored), and collects its output.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct ToolResult {
    int rc = -1;  // the exit code, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class ToolProcess {
public:
    // Starts the tool. Its stdout goes to `stdoutFd` when given (a pipe), else to a file;
    // stderr always to a file in `work`.
    ToolProcess(const std::string& tool, const std::vector<std::string>& args,
                const std::filesystem::path& work, int stdoutFd = -1)
        : outPath_(work / "stdout"), errPath_(work / "stderr") {
        std::vector<std::string> argv{tool};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);

        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        if (stdoutFd >= 0) {
            posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
        } else {
            posix_spawn_file_actions_addopen(&files, 1, outPath_.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&files, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        if (posix_spawn(&pid_, tool.c_str(), &files, &attr, raw.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&files);
    }
    ~ToolProcess() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const { ::kill(pid_, signal); }
    ToolResult Wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        waited_ = true;
        ToolResult result;
        result.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = ReadText(outPath_);
        result.err = ReadText(errPath_);
        return result;
    }

private:
    std::filesystem::path outPath_, errPath_;
    pid_t pid_ = -1;
    bool waited_ = false;
};

inline ToolResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                          const std::filesystem::path& work) {
    ToolProcess process(tool, args, work);
    return process.Wait();
}

// Reads lines from `fd` until one equals `line` (true) or the writer closes it (false).
inline bool ReadUntilLine(int fd, const std::string& line, std::string& seen) {
    char c;
    std::string current;
    while (::read(fd, &c, 1) == 1) {
        seen += c;
        if (c == '\n') {
            if (current == line) return true;
            current.clear();
        } else if (c != '\r') {
            current += c;
        }
    }
    return false;
}
