// Feeds arbitrary text to the Intel HEX parser. Besides the sanitizers' checks, a text
// that is accepted must give an image that is erased from its length on, and a text that
// is rejected must say why.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "files/FlashImage.h"
#include "files/IntelHex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> image(kFlashImageSize);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const IntelHexParse parse = ParseIntelHex(text, image.data());
    if (parse.ok) {
        if (parse.length == 0 || parse.length > kFlashImageSize) std::abort();
        for (uint32_t i = parse.length; i < kFlashImageSize; ++i) {
            if (image[i] != 0xFF) std::abort();
        }
    } else if (parse.reason.empty()) {
        std::abort();
    }
    return 0;
}
