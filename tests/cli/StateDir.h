#pragma once
// A simulated chip's state directory for end-to-end runs: its flash.bin and chip.txt
// written before a run and read after it.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ToolProcess.h"

using Bytes = std::vector<uint8_t>;

class StateDir {
public:
    explicit StateDir(const std::filesystem::path& path) : path_(path) {
        std::filesystem::create_directories(path_);
    }
    const std::filesystem::path& Path() const { return path_; }
    std::string Arg() const { return path_.string(); }

    void Write(const Bytes& flash, const std::string& chip) const {
        std::ofstream(path_ / "flash.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(flash.data()), static_cast<std::streamsize>(flash.size()));
        std::ofstream(path_ / "chip.txt") << chip;
    }
    Bytes Flash() const {
        const std::string text = ReadText(path_ / "flash.bin");
        return Bytes(text.begin(), text.end());
    }
    // The value of a chip.txt line ("flash-status" gives e.g. "1c"); empty when missing.
    std::string Value(const std::string& key) const {
        std::istringstream lines(ReadText(path_ / "chip.txt"));
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind(key + " ", 0) == 0) return line.substr(key.size() + 1);
        return "";
    }
    bool Protected() const { return Value("flash-status") == "1c" || Value("flash-status") == "9c"; }
    bool InIspMode() const { return Value("isp-mode") == "1"; }

private:
    std::filesystem::path path_;
};

inline Bytes Pattern(size_t size, uint32_t seed = 7) {
    Bytes v(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[i] = static_cast<uint8_t>(seed >> 24);
    }
    return v;
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A temporary folder for one test, removed afterwards.
class WorkDir {
public:
    WorkDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-cli-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~WorkDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The virtual seconds a run reported ("simulated time: 1.234 s"), or -1.
inline double SimulatedSeconds(const std::string& err) {
    const std::string key = "simulated time: ";
    const size_t at = err.rfind(key);
    return at == std::string::npos ? -1 : std::stod(err.substr(at + key.size()));
}
