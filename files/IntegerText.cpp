#include "files/IntegerText.h"

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
}  // namespace

std::optional<int64_t> StrToIntHex(std::string_view text) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return std::nullopt;  // leading zeros stay allowed
    }
    return static_cast<int64_t>(value);
}

std::optional<int64_t> StrToIntDec(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    const uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > limit) return std::nullopt;
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

std::string InvalidIntegerMessage(std::string_view shown) {
    std::string message = "'";
    message += shown;
    message += "' is not a valid integer value";
    return message;
}

std::string InvalidHexIntegerMessage(std::string_view text) {
    std::string shown = "0x";
    shown += text;
    return InvalidIntegerMessage(shown);
}
