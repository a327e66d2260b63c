#pragma once
// The serial-flash relay of ISP mode: vendor requests 0x80..0x85 and, built on them, one
// function per flash operation. All run on gDevice between the caller's OpenDevice and
// CloseDevice; none of them sends write enable implicitly or waits for an erase or
// program to finish.

#include <cstdint>

// The identification of the flash last read successfully (manufacturer, then the two
// device bytes); three zeros until then.
extern uint8_t gFlashId[3];

// Enter (true) or leave ISP mode, then always SetIspRegisters with the same argument.
// Returns the result of the mode request.
bool SetIspMode(bool enter);
// Selects bank 0x0D; entering writes 0x10 to register 7 and 0x03 to register 1, leaving
// writes 0x00 to register 7. Always true.
bool SetIspRegisters(bool enter);
// One ready question: true when it succeeded and the chip answered nonzero.
bool SpiReady();

// One flash-write request ending the command: the opcode and `count` (0..3) data bytes.
// A larger count is refused (false, nothing sent).
bool FlashSendCommand(uint8_t opcode, uint8_t count, const uint8_t* data);
// One command-and-read request: the opcode, then `count` bytes read and kept by the chip.
bool FlashRequestRead(uint8_t opcode, uint8_t count);
// Fetches `count` kept bytes into `dest`.
bool FlashFetchData(uint8_t count, uint8_t* dest);

// Reads `length` bytes at `address` into `dest`. A read of more than 255 bytes cannot be
// fetched in one request and is refused (false, nothing sent).
bool FlashReadBlock(uint32_t address, uint16_t length, uint8_t* dest);
// Programs `length` (1..256) bytes at `address`: the opcode and address with the command
// kept open, then the data ending it. False when either request fails or the length is
// out of range (then nothing is sent). A refused header sends no data; a refused data
// stage is followed by one byte 0xFF that ends the open command harmlessly.
bool FlashProgramPage(uint32_t address, uint16_t length, const uint8_t* data);

// Reads the identification into gFlashId (kept as it was on failure).
bool FlashReadId();
// The capacity the identification gives: 2 to the power of its third byte for 0x10 to
// 0x18 (64 KB to 16 MB), else the 16 MB that 24-bit addresses reach.
uint32_t FlashCapacityFor(const uint8_t id[3]);
// The status byte, 0xFF when it could not be read.
uint8_t FlashReadStatus();
bool FlashWriteStatus(uint8_t value);
bool FlashWriteEnable();
bool FlashWriteDisable();
bool FlashEraseChip();
bool FlashEraseSector(uint32_t address);

// Back to the start-up state: gFlashId all zeros.
void ResetChipGlobals();
