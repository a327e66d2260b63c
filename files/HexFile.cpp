#include "files/HexFile.h"

#include <cstdint>
#include <vector>

#include "files/FileBytes.h"
#include "files/FlashImage.h"
#include "files/IntelHex.h"

ProgramFileLoad ReadHexFile(const std::string& name) {
    const FileBytes file = ReadFileBytes(name, SIZE_MAX);
    if (auto failure = ProgramFileUnreadable(name, file)) return *failure;

    // Parsed into a scratch image kept for the process (no fresh 256 KB per load), so
    // that a rejected file leaves gFlashImage as it was.
    static std::vector<uint8_t> image(kFlashImageSize);
    const IntelHexParse parse = ParseIntelHex(file.bytes, image.data());
    if (!parse.ok) {
        const ProgramFileError error =
            parse.line == 0 ? ProgramFileError::NoData : ProgramFileError::Malformed;
        return ProgramFileFailed(name, error, parse.reason, parse.line);
    }
    return ProgramFileLoaded(parse.length, ReplaceImage(image.data(), parse.length));
}
