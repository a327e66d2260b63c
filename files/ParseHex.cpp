#include "files/ParseHex.h"

namespace {
uint32_t DigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
    return 0;
}
}  // namespace

uint32_t ParseHex(std::string_view chars, unsigned digits) {
    uint32_t value = 0;
    for (unsigned i = 0; i < digits; ++i) {
        const uint32_t digit = i < chars.size() ? DigitValue(chars[i]) : 0;
        value = value * 16 + digit;
    }
    return value;
}
