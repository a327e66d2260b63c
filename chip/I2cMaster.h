#pragma once
// Transfers with I2C slaves behind the chip's master (registers 0x10..0x14 of bank 14),
// one register access per bus step, paced by polling the done bit. Addresses are in the
// 8-bit write form; read phases send `address | 0x01`. The transfers select no bank: the
// caller runs I2CMasterSetup once (it selects bank 14) and opens and closes the device.
//
// Every wait is bounded: at most 20 status polls a byte and 10 attempts an address phase.
// A status read that fails counts as "not done" and "not acknowledged"; a received byte
// that cannot be read leaves its destination byte as it was.

#include <cstdint>

// Selects bank 14 and writes 0x04 to register 0x11. True when both writes went through.
bool I2CMasterSetup();
// Start (also the repeated start) and stop conditions; the result of the write.
bool I2CStart();
bool I2CStop();
// Polls register 0x10 up to 20 times for the done bit.
void I2CWaitDone();
// Transmits one byte; true when the slave acknowledged it.
bool I2CSendByte(uint8_t byte);
// Receives one byte into *dest (acknowledged unless `last`). True when the byte could be
// read from the chip; otherwise *dest is unchanged.
bool I2CReceiveByte(bool last, uint8_t* dest);

// Address, register number, then `count` data bytes. True when the address was
// acknowledged.
bool I2CWriteRegisters(uint8_t address, uint8_t reg, uint8_t count, const uint8_t* data);
// Address, register number, repeated start with the read address, then `count` bytes.
// True when both address phases were acknowledged and every byte could be read.
bool I2CReadRegisters(uint8_t address, uint8_t reg, uint8_t count, uint8_t* dest);
// Address, command bytes, data bytes in one write. True when the address was acknowledged.
bool I2CWriteCommandData(uint8_t address, uint8_t commandLength, const uint8_t* command,
                         uint8_t dataLength, const uint8_t* data);
// Address, command bytes, repeated start with the read address, then `dataLength` bytes.
// True when both address phases were acknowledged and every byte could be read.
bool I2CReadCommandData(uint8_t address, uint8_t commandLength, const uint8_t* command,
                        uint8_t dataLength, uint8_t* dest);
