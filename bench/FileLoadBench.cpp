// Loading a full 256 KB image from a binary file, from an Intel HEX file, and parsing the
// same HEX text in memory (the reader without the file system).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "files/BinaryFile.h"
#include "files/FlashImage.h"
#include "files/HexFile.h"
#include "files/IntelHex.h"

namespace {

std::string HexLine(uint8_t type, uint16_t address, const uint8_t* data, size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(count), static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), type};
    bytes.insert(bytes.end(), data, data + count);
    uint8_t sum = 0;
    for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
    bytes.push_back(static_cast<uint8_t>(0x100 - sum));
    std::string line = ":";
    for (uint8_t b : bytes) {
        line += kDigits[b >> 4];
        line += kDigits[b & 0xF];
    }
    return line + "\r\n";
}

// A random 256 KB image as 16-byte data records, with an extended linear address record
// at each 64 KB boundary, the way firmware build tools write them.
struct Fixture {
    std::filesystem::path dir;
    std::string binName, hexName, hexText;

    Fixture() {
        std::mt19937 random(1);
        std::vector<uint8_t> image(kFlashImageSize);
        for (uint8_t& b : image) b = static_cast<uint8_t>(random());
        for (uint32_t at = 0; at < kFlashImageSize; at += 16) {
            if (at % 0x10000 == 0) {
                const uint8_t upper[2] = {0, static_cast<uint8_t>(at >> 16)};
                hexText += HexLine(0x04, 0, upper, 2);
            }
            hexText += HexLine(0x00, static_cast<uint16_t>(at), image.data() + at, 16);
        }
        hexText += HexLine(0x01, 0, nullptr, 0);

        dir = std::filesystem::temp_directory_path() / ("quorvel-bench-" + std::to_string(random()));
        std::filesystem::create_directories(dir);
        binName = (dir / "image.bin").string();
        hexName = (dir / "image.hex").string();
        std::ofstream(binName, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                       static_cast<std::streamsize>(image.size()));
        std::ofstream(hexName, std::ios::binary) << hexText;
    }
    ~Fixture() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void BM_ReadBinaryFile(benchmark::State& state) {
    for (auto _ : state) {
        const ProgramFileLoad load = ReadBinaryFile(Files().binName);
        if (!load.ok) state.SkipWithError(load.message.c_str());
        benchmark::DoNotOptimize(load.checksum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFlashImageSize);
}
BENCHMARK(BM_ReadBinaryFile)->Unit(benchmark::kMicrosecond);

void BM_ReadHexFile(benchmark::State& state) {
    for (auto _ : state) {
        const ProgramFileLoad load = ReadHexFile(Files().hexName);
        if (!load.ok) state.SkipWithError(load.message.c_str());
        benchmark::DoNotOptimize(load.checksum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFlashImageSize);
}
BENCHMARK(BM_ReadHexFile)->Unit(benchmark::kMicrosecond);

void BM_ParseIntelHex(benchmark::State& state) {
    std::vector<uint8_t> image(kFlashImageSize);
    for (auto _ : state) {
        const IntelHexParse parse = ParseIntelHex(Files().hexText, image.data());
        if (!parse.ok) state.SkipWithError(parse.reason.c_str());
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFlashImageSize);
}
BENCHMARK(BM_ParseIntelHex)->Unit(benchmark::kMicrosecond);

}  // namespace
