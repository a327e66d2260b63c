#include "diag/HexGrid.h"

#include <cstdio>

#include "files/IntegerText.h"

uint8_t RegisterOfCell(int column, int row) {
    return static_cast<uint8_t>(((column - 1) + (row - 1) * 16) & 0xFF);
}
int ColumnOfRegister(uint8_t reg) { return (reg & 0x0F) + 1; }
int RowOfRegister(uint8_t reg) { return (reg >> 4) + 1; }

std::string TwoHex(uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}
std::string ColumnHeader(int column) { return TwoHex(static_cast<uint8_t>(column - 1)); }
std::string RowHeader(int row) { return TwoHex(static_cast<uint8_t>((row - 1) * 16)); }

GridKey GridKeyOf(int virtualKey) {
    switch (virtualKey) {
        case 0x0D: return GridKey::Enter;
        case 0x2D: return GridKey::Insert;
        case 0x2E: return GridKey::Delete;
        default: return GridKey::Other;
    }
}

namespace {

// Insert steps up to 0xFF, Delete down to 0x00; past either end nothing is written.
KeyResult Step(GridKey key, uint8_t image) {
    KeyResult result;
    result.image = image;
    if (key == GridKey::Insert && image != 0xFF) {
        result.image = static_cast<uint8_t>(image + 1);
        result.write = true;
    } else if (key == GridKey::Delete && image != 0x00) {
        result.image = static_cast<uint8_t>(image - 1);
        result.write = true;
    }
    return result;
}

// The cell's text as the "0x"-prefixed integer it stands for, or the conversion message.
std::optional<uint8_t> CellValue(const std::string& text, KeyResult& result) {
    const std::optional<int64_t> value = StrToIntHex(text);
    if (!value) {
        result.conversionError = InvalidHexIntegerMessage(text);
        return std::nullopt;
    }
    return static_cast<uint8_t>(*value & 0xFF);
}

}  // namespace

KeyResult RegisterGridKey(GridKey key, uint8_t image, const std::string& cellText) {
    if (key != GridKey::Enter) return Step(key, image);
    KeyResult result;
    result.image = image;
    const std::optional<uint8_t> typed = CellValue(cellText, result);
    if (!typed) return result;
    result.image = *typed;
    result.write = true;  // also when the value is the one already there
    return result;
}

KeyResult I2cGridKey(GridKey key, uint8_t image, const std::string& cellText) {
    KeyResult result;
    result.image = image;
    if (key == GridKey::Other) return result;
    const std::optional<uint8_t> typed = CellValue(cellText, result);
    if (!typed) return result;
    if (key == GridKey::Enter) {
        result.image = *typed;
        result.write = true;
        return result;
    }
    return Step(key, *typed);
}

uint8_t ComposeBits(const std::array<bool, 8>& checked) {
    uint8_t value = 0;
    for (int n = 0; n < 8; ++n)
        if (checked[n]) value = static_cast<uint8_t>(value | (1u << n));
    return value;
}

std::array<bool, 8> BitsOf(uint8_t value) {
    std::array<bool, 8> bits{};
    for (int n = 0; n < 8; ++n) bits[n] = (value >> n) & 1;
    return bits;
}
