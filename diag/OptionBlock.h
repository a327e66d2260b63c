#pragma once
// The chip's four-byte option block (its stored audio-output settings) as named fields:
// what the Parameter page's controls show and change, each field owning its own bits.
//
//   byte 0: bit 0 I2S 32 bit (else 24), bit 1 S/PDIF 32 bit (else 24), bit 2 I2S channel
//           swap, bit 3 DSD channel swap, bits 4-5 MCLK 128/256/512/1024 Fs, bit 6 I2S
//           Left Justify (else Standard), bit 7 native DSD (else DoP)
//   byte 1: bit 7 MCLK output off, bit 6 I2S output off, bit 5 S/PDIF output off
//   byte 3: bit 7 EEPROM present (reported by the chip)
// Every other bit is kept as it was read.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using OptionBlock = std::array<uint8_t, 4>;

enum class OptionField {
    I2sLength,      // 24 or 32
    SpdifLength,    // 24 or 32
    I2sSwap,        // 0 or 1
    DsdSwap,        // 0 or 1
    MclkFs,         // 128, 256, 512 or 1024
    I2sFormat,      // 0 Standard, 1 Left Justify
    DsdOutput,      // 0 DoP, 1 native DSD
    MclkOff,        // 0 or 1
    I2sOff,         // 0 or 1
    SpdifOff,       // 0 or 1
};

// Every field, in the page's order, with its name on the command line ("i2s-length").
struct OptionFieldInfo {
    OptionField field;
    const char* name;
    std::vector<unsigned> values;  // the values the field takes
};
const std::vector<OptionFieldInfo>& OptionFields();

// The field's value in `block` (see OptionField for its unit).
unsigned OptionValue(const OptionBlock& block, OptionField field);
// Sets one field, leaving every other bit alone. False (block unchanged) for a value the
// field does not take.
bool SetOptionValue(OptionBlock& block, OptionField field, unsigned value);
// Bit 7 of byte 3.
bool EepromPresent(const OptionBlock& block);
// The page's EEPROM caption: "EEPROM Exist" or "EEPROM not Available".
std::string EepromCaption(const OptionBlock& block);
