#pragma once
// What the chip plays, from its three status registers (bank 0: 0xA4 rate index, 0xA5
// read and not shown, 0xA6 bit 0 connected, bit 1 DSD input, bit 2 muted), and the HID
// media keys it can send.

#include <array>
#include <cstdint>
#include <string>

// "USB connected" / "USB Disconnected", "Playing" / "Mute", "PCM" / "DSD".
extern const std::array<std::string, 2> gConnectText;
extern const std::array<std::string, 2> gPlayText;
extern const std::array<std::string, 2> gFormatText;
// Entries 0 to 15 name PCM rates, 16 to 31 DSD rates; every text is eight characters.
extern const std::array<std::string, 32> gRateNames;

struct StatusRegisters {
    uint8_t rate = 0;    // 0xA4
    uint8_t format = 0;  // 0xA5
    uint8_t status = 0;  // 0xA6
};

// The Information page's reading: open, bank 0, 0xA4, 0xA5, 0xA6, close. A register whose
// read fails keeps the value `regs` held. True when all three reads succeeded.
bool ReadStatusRegisters(StatusRegisters& regs);

// The registers as the page shows them. Without a connection nothing else is shown, while
// muted neither format nor rate.
struct PlayStatus {
    bool connected = false;
    bool muted = false;
    bool dsd = false;
    int rateIndex = 0;  // into gRateNames: 16 + low four bits for DSD input, else the low four
};
PlayStatus DecodePlayStatus(const StatusRegisters& regs);

// The five HID buttons' key codes, by button number (Prev, Vol -, Play, Vol +, Next), and
// their names on the command line.
extern const std::array<uint8_t, 5> gHidKeyCodes;
extern const std::array<const char*, 5> kHidKeyNames;
