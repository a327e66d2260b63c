#pragma once
// Text-to-integer conversion of the window's edits, with the platform's error text.
//
// A hexadecimal edit is converted by putting "0x" in front of the typed text and
// converting the whole as an integer, so only hexadecimal digits are accepted after the
// prefix: no blanks, no sign, no second prefix, not empty, and no value above 32 bits.
// A failed conversion is shown by the window's standard error display with the message
// below, naming the text as converted ("0x" + text for hexadecimal edits).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// "0x" + `text` as an integer: 0 to 0xFFFFFFFF, or nothing when it does not convert.
std::optional<int64_t> StrToIntHex(std::string_view text);

// A decimal integer with an optional sign, within the 32-bit signed range.
std::optional<int64_t> StrToIntDec(std::string_view text);

// "'<shown>' is not a valid integer value".
std::string InvalidIntegerMessage(std::string_view shown);
// The message for a hexadecimal edit: "'0x<text>' is not a valid integer value".
std::string InvalidHexIntegerMessage(std::string_view text);
