#pragma once
// The command mailbox of register bank 0: system-parameter transfers (option block, VID,
// PID, the three USB strings kept in the chip's EEPROM) and HID key commands.
//
// Each transfer opens the device, selects bank 0, writes the data registers (0x93 up,
// writes only), the item (0x91), the index (0x92) and the command (0x90), polls 0x90 for
// the completion code after a 10 ms wait before every read, then reads the data
// registers (reads) or writes 0 to 0x90 (writes), and closes the device. Results say
// whether the completion code came and the data got through.

#include <cstdint>
#include <string>

inline constexpr uint8_t kSysParaCommand = 0x10;
inline constexpr uint8_t kSysParaItemOptionRead = 0x21;
inline constexpr uint8_t kSysParaItemOptionWrite = 0x20;
inline constexpr uint8_t kSysParaItemVid = 0x08;
inline constexpr uint8_t kSysParaItemPid = 0x0A;
inline constexpr uint8_t kSysParaItemString1 = 0x10;  // strings 2 and 3: 0x14, 0x18
inline constexpr int kSysParaMaxLength = 8;

// One mailbox transfer of `length` (0..8) bytes; item bit 0 set reads into `data`, clear
// writes from it. The data registers are read also when the completion code never came
// (a byte whose read fails stays as it was). A write whose data registers could not all
// be written stops before the command, so no stale byte is stored. True only when the
// command completed and every data register was written or read. A longer length is refused (false, nothing
// sent).
bool SysParaTransfer(uint8_t command, uint8_t item, uint8_t index, uint8_t length, uint8_t* data);

// The 4-byte option block.
bool ReadSysPara(uint8_t* block);
bool SetSysPara(const uint8_t* block);

enum class SysId { Vendor, Product };
// The first four characters of `text`, one byte each, padded with zero bytes.
bool SetSysId(SysId which, const std::string& text);
// String 1 (manufacturer), 2 (model name) or 3 (serial number): its record (count byte,
// at most 31 characters) in 8-byte blocks, 50 ms after each. Another number is refused.
bool SetSysString(int number, const std::string& text);

// The HID key command with one key code; true when the chip reported it done.
bool SendHidKey(uint8_t code);
