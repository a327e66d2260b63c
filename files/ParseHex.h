#pragma once
// Lenient hexadecimal text conversion, used where a typed byte must never fail (the raw
// I2C byte edits) and by nothing that has to detect bad input.

#include <cstdint>
#include <string_view>

// Converts the first `digits` characters of `chars` as hexadecimal digits: "0"-"9",
// "A"-"F" and "a"-"f" give their values, any other character counts as 0. Characters
// missing past the end of `chars` count as 0 as well (as a terminating zero would), so a
// short text is never read beyond its end. Nothing is rejected.
uint32_t ParseHex(std::string_view chars, unsigned digits);
