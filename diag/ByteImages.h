#pragma once
// The two byte images behind the grids, and the device work of the grids: a walk over
// all 256 registers, one register read, a write with its read-back. Each operation opens
// the device and closes it again; a read that fails keeps the image's previous value.
//
// The register image belongs to the chip's selected bank (nothing here selects one); the
// I2C image belongs to the slave at gI2CSlaveAddress, read afresh for every transfer.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

extern std::array<uint8_t, 256> gRegisterImage;
extern std::array<uint8_t, 256> gI2CImage;
// The I2C slave in the 8-bit form of its write phase; 0x20 at start. The Information page
// shares it.
extern uint8_t gI2CSlaveAddress;

// Back to the values at start.
void ResetByteImages();

// Which of the two images an operation works on.
enum class ByteTarget { ChipRegisters, I2cSlave };
// gRegisterImage or gI2CImage.
std::array<uint8_t, 256>& ImageOf(ByteTarget target);

// A walk's hooks: `goOn` is asked before each register (false ends the walk), `read` is
// told after each register whether its read succeeded (the image then holds its value,
// or the previous one).
struct WalkHooks {
    std::function<bool()> goOn;
    std::function<void(uint8_t reg, bool ok)> read;
};

// Reads registers 0x00..0xFF in ascending order into the image. Returns how many were
// read (fewer when the walk was ended).
int ReadAllRegisters(ByteTarget target, const WalkHooks& hooks);
// Reads one register into the image; returns whether the read succeeded.
bool ReadOneRegister(ByteTarget target, uint8_t reg);
// Puts `value` in the image and writes it, waits `settleMs` on the current clock, reads
// it back into the image (on a failed read-back the value written stays). Returns whether
// the write succeeded.
bool WriteAndReadBack(ByteTarget target, uint8_t reg, uint8_t value, uint32_t settleMs);

// The slave-address box: "0x" + text, low 8 bits. Returns the conversion message when the
// text does not convert (the address is then unchanged), else empty; `shown` receives the
// box's new text (two digits).
std::string SetI2cSlaveAddress(const std::string& text, std::string& shown);
