#pragma once
// The conversions of the window's edits. A text that does not convert raises EConvertError,
// which the window's standard error display shows in a message box; the handler that raised
// it ends there and the window stays open.

#include <cstdint>
#include <stdexcept>
#include <string>

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "0x" + text as an integer (0 to 0xFFFFFFFF). Raises "'0x<text>' is not a valid integer value".
int64_t HexEditValue(const std::string& text);
// A decimal integer with an optional sign. Raises "'<text>' is not a valid integer value".
int64_t DecimalEditValue(const std::string& text);
