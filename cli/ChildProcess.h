#pragma once
// A child process of the tool whose output is read line by line: stdin from /dev/null,
// stdout and stderr into pipes. It runs in a process group of its own, so a Ctrl-C on
// the terminal reaches only the parent, which passes it on once; its stop signals start
// at their defaults whatever the parent inherited.

#include <sys/types.h>

#include <string>
#include <vector>

// Collects the lines of one pipe.
class LineReader {
public:
    explicit LineReader(int fd = -1) : fd_(fd) {}
    int Fd() const { return fd_; }
    bool Open() const { return fd_ >= 0; }
    // Reads what is there without waiting for more; appends the complete lines (without
    // their newline) to `lines`. At the end of the stream the last unterminated line is
    // appended too and the pipe is closed.
    void Read(std::vector<std::string>& lines);
    void Close();

private:
    int fd_;
    std::string partial_;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `args` (argv[0] is `program`). False with the reason in
    // `error` when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               std::string& error);
    LineReader& Out() { return out_; }
    LineReader& Err() { return err_; }
    // Both pipes are at their end: the child has exited or is about to.
    bool OutputClosed() const { return !out_.Open() && !err_.Open(); }
    void Signal(int signal) const;
    // Waits for the child to end. Its exit code, or 128 + the signal that ended it.
    int Wait();

private:
    pid_t pid_ = -1;
    LineReader out_, err_;
};

// The path of the running program, for starting copies of it.
std::string OwnProgramPath();
