#pragma once
// The page logic of the two byte grids (chip registers, I2C slave registers) that needs no
// window: which register a cell shows, what a key does to a byte, how the bit boxes make
// a value, and how bytes are written.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Cell (column c, row r), both 1..16 inside the fixed header row and column: register
// (r-1)*16 + (c-1), modulo 256.
uint8_t RegisterOfCell(int column, int row);
// The cell that shows `reg`.
int ColumnOfRegister(uint8_t reg);
int RowOfRegister(uint8_t reg);

// Two upper-case hexadecimal digits.
std::string TwoHex(uint8_t value);
// Header texts: "00".."0F" for the columns, "00", "10".."F0" for the rows.
std::string ColumnHeader(int column);
std::string RowHeader(int row);

// The keys a grid acts on (virtual-key codes 0x0D, 0x2D, 0x2E); any other key does nothing.
enum class GridKey { Enter, Insert, Delete, Other };
GridKey GridKeyOf(int virtualKey);

// What a key does to a register's image byte.
struct KeyResult {
    // The text did not convert: the message to show; nothing changes.
    std::optional<std::string> conversionError;
    // The image byte after the key (also when nothing is written: the I2C grid stores
    // the converted text even when the step then does nothing).
    uint8_t image = 0;
    // Whether the value is to be written (and read back).
    bool write = false;
};

// Register grid: Enter takes the cell's text ("0x" + text, low 8 bits, always written);
// Insert and Delete step the image byte (the text is not read), stopping at 0xFF and 0x00.
KeyResult RegisterGridKey(GridKey key, uint8_t image, const std::string& cellText);
// I2C grid: for Enter, Insert and Delete the cell's text is converted into the image byte
// first; then Insert and Delete step it the same way.
KeyResult I2cGridKey(GridKey key, uint8_t image, const std::string& cellText);

// The value of eight bit boxes, box n standing for bit n.
uint8_t ComposeBits(const std::array<bool, 8>& checked);
// Which boxes show `value`.
std::array<bool, 8> BitsOf(uint8_t value);
