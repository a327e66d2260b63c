#pragma once
// Helpers of the program-file tests: a temporary folder per test, whole-file reads and
// writes, and Intel HEX records built with correct checksums.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files/FileGlobals.h"

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("quorvel-files-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(File(name), std::ios::binary) << text;
        return File(name);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

private:
    std::filesystem::path path_;
};

inline Bytes ReadAll(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes RandomBytes(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

inline uint16_t Sum16(const uint8_t* data, size_t size) {
    uint16_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum = static_cast<uint16_t>(sum + data[i]);
    return sum;
}

// One Intel HEX record line (without line end), upper-case, with its checksum.
inline std::string HexRecord(uint8_t type, uint16_t address, const Bytes& data) {
    Bytes bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                   static_cast<uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(0x100 - sum));
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line = ":";
    for (uint8_t b : bytes) {
        line += kDigits[b >> 4];
        line += kDigits[b & 0xF];
    }
    return line;
}
inline std::string DataRecord(uint16_t address, const Bytes& data) { return HexRecord(0x00, address, data); }
inline std::string EndRecord() { return HexRecord(0x01, 0, {}); }
inline std::string LinearRecord(uint16_t upper) {
    return HexRecord(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
}
inline std::string SegmentRecord(uint16_t segment) {
    return HexRecord(0x02, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)});
}

// Every test starts from the globals of a fresh process.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFileGlobals(); }
    void TearDown() override { ResetFileGlobals(); }
    TempDir dir;
};
