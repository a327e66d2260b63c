#include "files/ParameterTable.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "files/IntegerText.h"
#include "files/ProgramFile.h"
#include "files/ReplaceFile.h"

uint8_t gModifyImage[kFlashImageSize];
uint32_t gModifyLength = 0;
uint32_t gTableOffset = 0;
bool gTableFound = false;

namespace {

bool TableFits(uint32_t offset) {
    const uint32_t length = std::min(gModifyLength, kFlashImageSize);
    return length >= kTableSize && offset <= length - kTableSize;
}

void PatchString(uint32_t at, const std::string& text) {
    const size_t used = std::min<size_t>(text.size(), kTableStringSize);
    std::memset(gModifyImage + at, 0x20, kTableStringSize);
    std::memcpy(gModifyImage + at, text.data(), used);
}

void PatchWord(uint32_t at, int64_t value) {
    gModifyImage[at] = static_cast<uint8_t>((value >> 8) & 0xFF);
    gModifyImage[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

TableWrite Failed(TableWriteError error, std::string message) {
    TableWrite write;
    write.error = error;
    write.message = std::move(message);
    return write;
}

}  // namespace

bool LoadModifyImage(const std::string& name) { return LoadModifyImageFile(name).ok; }

ProgramFileLoad LoadModifyImageFile(const std::string& name) {
    gTableFound = false;
    ProgramFileLoad load = ReadImageFile(name);
    if (!load.ok) return load;
    std::memcpy(gModifyImage, gFlashImage, gImageLength);
    gModifyLength = gImageLength;
    return load;
}

bool FindParameterTable() {
    gTableOffset = 0;
    gTableFound = false;
    const uint32_t length = std::min(gModifyLength, kFlashImageSize);
    if (length < kTableSize) return false;
    for (uint32_t p = 0; p <= length - kTableSize; ++p) {
        if (std::memcmp(gModifyImage + p, kTableSignature, kSignatureMatchLength) == 0) {
            gTableOffset = p;
            gTableFound = true;
            return true;
        }
    }
    return false;
}

TableWrite PatchParameterTable(const std::string& vidText, const std::string& pidText,
                               const TableTexts& texts) {
    const uint32_t t = gTableOffset;
    if (!gTableFound || !TableFits(t)) {
        return Failed(TableWriteError::NoTable, "No parameter table was found in the image");
    }
    for (uint32_t i = 0; i < kTableStringCount; ++i) {
        PatchString(t + kTableStringOffset + kTableStringSize * i, texts[i]);
    }
    const std::optional<int64_t> vid = StrToIntHex(vidText);
    if (!vid) return Failed(TableWriteError::InvalidInteger, InvalidHexIntegerMessage(vidText));
    PatchWord(t + kTableVidOffset, *vid);
    const std::optional<int64_t> pid = StrToIntHex(pidText);
    if (!pid) return Failed(TableWriteError::InvalidInteger, InvalidHexIntegerMessage(pidText));
    PatchWord(t + kTablePidOffset, *pid);

    TableWrite write;
    write.ok = true;
    write.sum = ImageChecksum(gModifyImage, gModifyLength);
    return write;
}

TableWrite WriteModifiedImage(const std::string& saveName, const std::string& vidText,
                              const std::string& pidText, const TableTexts& texts) {
    TableWrite write = PatchParameterTable(vidText, pidText, texts);
    if (!write.ok) return write;
    std::string error;
    if (!WriteFileReplacing(saveName, gModifyImage, gModifyLength, error)) {
        return Failed(TableWriteError::WriteFailed, "Save failed: " + error);
    }
    return write;
}
