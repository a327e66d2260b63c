#pragma once
// Register access: every chip command is built from these single vendor requests on
// gDevice. Register 0 selects the register bank for all later accesses. The caller opens
// and closes the device.

#include <cstdint>

// Reads register `reg` of the selected bank into *out. On failure *out is left as it was.
bool ReadRegister(int reg, uint8_t* out);
// Writes `value` to register `reg` of the selected bank.
bool WriteRegister(int reg, uint8_t value);
// Selects a register bank: WriteRegister(0, bank).
bool SelectBank(uint8_t bank);
