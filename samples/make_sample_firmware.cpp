// Writes the project's own sample firmware: deterministic filler standing in for code,
// with a user-parameter table inside, as a raw binary and as Intel HEX.
//
//   make_sample_firmware OUT_BASE [SIZE_BYTES]
// writes OUT_BASE.bin and OUT_BASE.hex (SIZE_BYTES defaults to 48 KiB, at most 256 KiB).

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kTableOffset = 0x0800;

std::vector<uint8_t> MakeImage(uint32_t size) {
    std::vector<uint8_t> image(size, 0xFF);
    uint32_t state = 0x1234567u;
    for (uint32_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;  // a fixed generator: the same bytes on every run
        image[i] = static_cast<uint8_t>(state >> 16);
    }
    // An erased stretch, as real images have, so programming skips some pages.
    for (uint32_t i = size / 2; i < size / 2 + 0x400 && i < size; ++i) image[i] = 0xFF;

    const char signature[] = "DEVIR_Odave01";
    uint8_t* table = image.data() + kTableOffset;
    std::memcpy(table, signature, 13);
    const uint8_t ids[4] = {0x7C, 0x3D, 0x60, 0x12};
    std::memcpy(table + 13, ids, 4);
    const char* texts[5] = {"Quorvel-inc", "Quorvel-inc DUR22", "QVUA000001",
                            "Primary Play Interface", "Record Interface"};
    for (int s = 0; s < 5; ++s) {
        uint8_t* field = table + 17 + 32 * s;
        std::memset(field, ' ', 32);
        std::memcpy(field, texts[s], std::strlen(texts[s]));
    }
    return image;
}

void HexRecord(std::FILE* f, uint8_t type, uint16_t address, const uint8_t* data, uint8_t count) {
    uint8_t sum = count + (address >> 8) + (address & 0xFF) + type;
    std::fprintf(f, ":%02X%04X%02X", count, address, type);
    for (uint8_t i = 0; i < count; ++i) {
        std::fprintf(f, "%02X", data[i]);
        sum += data[i];
    }
    std::fprintf(f, "%02X\n", static_cast<uint8_t>(-sum));
}

bool WriteHex(const std::string& name, const std::vector<uint8_t>& image) {
    std::FILE* f = std::fopen(name.c_str(), "w");
    if (!f) return false;
    for (uint32_t at = 0; at < image.size(); at += 16) {
        if (at % 0x10000 == 0 && at != 0) {
            const uint8_t upper[2] = {static_cast<uint8_t>(at >> 24), static_cast<uint8_t>(at >> 16)};
            HexRecord(f, 0x04, 0, upper, 2);
        }
        const auto count = static_cast<uint8_t>(std::min<size_t>(16, image.size() - at));
        HexRecord(f, 0x00, static_cast<uint16_t>(at), image.data() + at, count);
    }
    HexRecord(f, 0x01, 0, nullptr, 0);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sample_firmware OUT_BASE [SIZE_BYTES]\n");
        return 2;
    }
    const std::string base = argv[1];
    const unsigned long size = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : 48 * 1024;
    if (size < kTableOffset + 177 || size > 0x40000) {
        std::fprintf(stderr, "make_sample_firmware: size must be %u to 262144 bytes\n",
                     kTableOffset + 177);
        return 2;
    }
    const std::vector<uint8_t> image = MakeImage(static_cast<uint32_t>(size));
    std::ofstream bin(base + ".bin", std::ios::binary);
    bin.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!bin.flush() || !WriteHex(base + ".hex", image)) {
        std::fprintf(stderr, "make_sample_firmware: cannot write %s.*\n", base.c_str());
        return 1;
    }
    return 0;
}
