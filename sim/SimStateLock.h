#pragma once
// An exclusive lock on a simulator state directory for the whole run of one process, so
// that two runs on the same directory cannot both load the old state and one of their
// updates be lost. The lock is held on DIR/.lock (an advisory lock on POSIX systems, an
// open without sharing on Windows); it goes away with the process, however it ends.
// SimStateLock.cpp and SimStateLockWindows.cpp implement it; CMake picks one.

#include <cstdint>
#include <string>

class SimStateLock {
public:
    SimStateLock() = default;
    ~SimStateLock();
    SimStateLock(const SimStateLock&) = delete;
    SimStateLock& operator=(const SimStateLock&) = delete;

    // Creates the directory when it is missing and takes the lock without waiting. False
    // with the reason in `error` ("state directory in use" when another process holds
    // it).
    bool Acquire(const std::string& dir, std::string& error);

private:
    // The open lock file: a descriptor, or a Windows handle; -1 while none is held.
    std::intptr_t held_ = -1;
};
