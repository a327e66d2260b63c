#include "diag/OptionBlock.h"

namespace {

// Where a field's bits are; a field of two bits (the MCLK number) has width 2.
struct Bits {
    int byte;
    int shift;
    int width;
};

Bits BitsOf(OptionField field) {
    switch (field) {
        case OptionField::I2sLength: return {0, 0, 1};
        case OptionField::SpdifLength: return {0, 1, 1};
        case OptionField::I2sSwap: return {0, 2, 1};
        case OptionField::DsdSwap: return {0, 3, 1};
        case OptionField::MclkFs: return {0, 4, 2};
        case OptionField::I2sFormat: return {0, 6, 1};
        case OptionField::DsdOutput: return {0, 7, 1};
        case OptionField::MclkOff: return {1, 7, 1};
        case OptionField::I2sOff: return {1, 6, 1};
        case OptionField::SpdifOff: return {1, 5, 1};
    }
    return {0, 0, 1};
}

// The field's value as the bits store it: a length is 32 for 1, an MCLK rate 128 << n.
std::optional<unsigned> RawOf(OptionField field, unsigned value) {
    switch (field) {
        case OptionField::I2sLength:
        case OptionField::SpdifLength:
            if (value == 24 || value == 32) return value == 32 ? 1u : 0u;
            return std::nullopt;
        case OptionField::MclkFs:
            for (unsigned n = 0; n < 4; ++n)
                if (value == 128u << n) return n;
            return std::nullopt;
        default:
            if (value <= 1) return value;
            return std::nullopt;
    }
}

}  // namespace

const std::vector<OptionFieldInfo>& OptionFields() {
    static const std::vector<OptionFieldInfo> fields = {
        {OptionField::DsdOutput, "dsd-output", {0, 1}},
        {OptionField::I2sLength, "i2s-length", {24, 32}},
        {OptionField::SpdifLength, "spdif-length", {24, 32}},
        {OptionField::MclkFs, "mclk", {128, 256, 512, 1024}},
        {OptionField::I2sFormat, "i2s-format", {0, 1}},
        {OptionField::I2sSwap, "i2s-swap", {0, 1}},
        {OptionField::DsdSwap, "dsd-swap", {0, 1}},
        {OptionField::MclkOff, "mclk-off", {0, 1}},
        {OptionField::I2sOff, "i2s-off", {0, 1}},
        {OptionField::SpdifOff, "spdif-off", {0, 1}},
    };
    return fields;
}

unsigned OptionValue(const OptionBlock& block, OptionField field) {
    const Bits bits = BitsOf(field);
    const unsigned raw = (block[bits.byte] >> bits.shift) & ((1u << bits.width) - 1);
    switch (field) {
        case OptionField::I2sLength:
        case OptionField::SpdifLength: return raw ? 32 : 24;
        case OptionField::MclkFs: return 128u << raw;
        default: return raw;
    }
}

bool SetOptionValue(OptionBlock& block, OptionField field, unsigned value) {
    const std::optional<unsigned> raw = RawOf(field, value);
    if (!raw) return false;
    const Bits bits = BitsOf(field);
    const auto mask = static_cast<uint8_t>(((1u << bits.width) - 1) << bits.shift);
    block[bits.byte] = static_cast<uint8_t>((block[bits.byte] & ~mask) | (*raw << bits.shift));
    return true;
}

bool EepromPresent(const OptionBlock& block) { return (block[3] & 0x80) != 0; }

std::string EepromCaption(const OptionBlock& block) {
    return EepromPresent(block) ? "EEPROM Exist" : "EEPROM not Available";
}
