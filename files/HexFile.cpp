#include "files/HexFile.h"

#include <cstdint>
#include <vector>

#include "files/FileBytes.h"
#include "files/FlashImage.h"
#include "files/IntelHex.h"

namespace {
// Far more than any 256 KB image needs in HEX text (about 730 KB), and small enough to
// hold in memory; a longer "HEX file" is something else.
constexpr size_t kMaxHexText = size_t{16} << 20;
}  // namespace

ProgramFileLoad ReadHexFile(const std::string& name) {
    const FileBytes file = ReadFileBytes(name, kMaxHexText, BeyondLimit::Refuse);
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
