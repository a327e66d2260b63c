#include "diag/PlayStatus.h"

#include "chip/Registers.h"
#include "device/QuorvelUsb.h"

const std::array<std::string, 2> gConnectText = {"USB connected", "USB Disconnected"};
const std::array<std::string, 2> gPlayText = {"Playing", "Mute"};
const std::array<std::string, 2> gFormatText = {"PCM", "DSD"};

const std::array<std::string, 32> gRateNames = {
    " 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz",
    "  384KHz", "705.6KHz", "  768KHz", "        ", "        ", "        ", "        ",
    "        ", "        ", " DoP  64", " DoP 128", " DoP 256", " DoP 512", "        ",
    "        ", "        ", "        ", " DSD  64", " DSD 128", " DSD 256", " DSD 512",
    "        ", "        ", "        ", "        "};

const std::array<uint8_t, 5> gHidKeyCodes = {0x40, 0x02, 0x10, 0x01, 0x20};
const std::array<const char*, 5> kHidKeyNames = {"prev", "vol-down", "play", "vol-up", "next"};

bool ReadStatusRegisters(StatusRegisters& regs) {
    gDevice.OpenDevice();
    const bool bank = SelectBank(0);
    const bool rate = ReadRegister(0xA4, &regs.rate);
    const bool format = ReadRegister(0xA5, &regs.format);
    const bool status = ReadRegister(0xA6, &regs.status);
    gDevice.CloseDevice();
    return bank && rate && format && status;
}

PlayStatus DecodePlayStatus(const StatusRegisters& regs) {
    PlayStatus play;
    play.connected = (regs.status & 0x01) != 0;
    play.muted = (regs.status & 0x04) != 0;
    play.dsd = (regs.status & 0x02) != 0;
    play.rateIndex = (play.dsd ? 16 : 0) + (regs.rate & 0x0F);
    return play;
}
