#include <windows.h>

#include <filesystem>
#include <system_error>

#include "sim/SimStateLock.h"

SimStateLock::~SimStateLock() {
    if (held_ >= 0) CloseHandle(reinterpret_cast<HANDLE>(held_));
}

bool SimStateLock::Acquire(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        error = "cannot create directory " + dir + " (" + ec.message() + ")";
        return false;
    }
    const std::string name = (std::filesystem::path(dir) / ".lock").string();
    // Opened with no sharing at all: while this handle is open, every other open of the
    // file fails with a sharing violation. The system closes it when the process ends.
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD why = GetLastError();
        error = why == ERROR_SHARING_VIOLATION
                    ? "state directory in use"
                    : "cannot lock " + name + " (" + std::system_category().message(static_cast<int>(why)) + ")";
        return false;
    }
    held_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}
