// Searches and patches arbitrary images. Input layout: one byte each for the lengths of
// the VID text, the PID text and the five strings (taken modulo small bounds), then those
// texts, then the image. Checks that a found table lies wholly inside the image at the
// first matching position, and that a patch changes nothing but the table's fields.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "files/ParameterTable.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;

    std::string Take(size_t length) {
        length = std::min(length, size);
        std::string text(reinterpret_cast<const char*>(data), length);
        data += length;
        size -= length;
        return text;
    }
    size_t TakeLength(size_t bound) { return size > 0 ? static_cast<uint8_t>(Take(1)[0]) % bound : 0; }
};

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input{data, size};
    const size_t vidLength = input.TakeLength(12);
    const size_t pidLength = input.TakeLength(12);
    size_t stringLength[kTableStringCount];
    for (size_t& length : stringLength) length = input.TakeLength(48);
    const std::string vid = input.Take(vidLength);
    const std::string pid = input.Take(pidLength);
    TableTexts texts;
    for (size_t i = 0; i < kTableStringCount; ++i) texts[i] = input.Take(stringLength[i]);

    gModifyLength = static_cast<uint32_t>(std::min<size_t>(input.size, kFlashImageSize));
    std::memcpy(gModifyImage, input.data, gModifyLength);
    gTableFound = false;

    const bool found = FindParameterTable();
    Check(found == gTableFound);
    const std::vector<uint8_t> before(gModifyImage, gModifyImage + gModifyLength);
    const auto matchesAt = [&](uint32_t p) {
        return std::memcmp(gModifyImage + p, kTableSignature, kSignatureMatchLength) == 0;
    };
    if (found) {
        Check(gTableOffset + kTableSize <= gModifyLength);
        Check(matchesAt(gTableOffset));
        for (uint32_t p = 0; p < gTableOffset; ++p) Check(!matchesAt(p));
    } else {
        Check(gTableOffset == 0);
        for (uint32_t p = 0; p + kTableSize <= gModifyLength; ++p) Check(!matchesAt(p));
    }

    const TableWrite write = PatchParameterTable(vid, pid, texts);
    Check(write.ok || !write.message.empty());
    Check(found || write.error == TableWriteError::NoTable);
    const uint32_t first = found ? gTableOffset + kTableVidOffset : gModifyLength;
    const uint32_t end = found ? gTableOffset + kTableSize : gModifyLength;
    for (uint32_t i = 0; i < gModifyLength; ++i) {
        if (i < first || i >= end) Check(gModifyImage[i] == before[i]);
    }
    if (write.ok) {
        Check(write.sum == ImageChecksum(gModifyImage, gModifyLength));
        const uint8_t* string0 = gModifyImage + gTableOffset + kTableStringOffset;
        const size_t used = std::min<size_t>(texts[0].size(), kTableStringSize);
        Check(std::memcmp(string0, texts[0].data(), used) == 0);
        for (size_t k = used; k < kTableStringSize; ++k) Check(string0[k] == ' ');
    }
    return 0;
}
