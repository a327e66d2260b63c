#include "files/BinaryFile.h"

#include <cstring>
#include <vector>

#include "files/FileBytes.h"
#include "files/FlashImage.h"

ProgramFileLoad ReadBinaryFile(const std::string& name) {
    const FileBytes file = ReadFileBytes(name, kFlashImageSize);
    if (auto failure = ProgramFileUnreadable(name, file)) return *failure;

    static std::vector<uint8_t> image(kFlashImageSize);
    std::memset(image.data(), 0xFF, kFlashImageSize);
    std::memcpy(image.data(), file.bytes.data(), file.bytes.size());
    const auto length = static_cast<uint32_t>(file.bytes.size());
    return ProgramFileLoaded(length, ReplaceImage(image.data(), length));
}
