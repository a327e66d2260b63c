#include "diag/ByteImages.h"

#include "chip/I2cMaster.h"
#include "chip/Registers.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "diag/HexGrid.h"
#include "files/IntegerText.h"

std::array<uint8_t, 256> gRegisterImage{};
std::array<uint8_t, 256> gI2CImage{};
uint8_t gI2CSlaveAddress = 0x20;

void ResetByteImages() {
    gRegisterImage.fill(0);
    gI2CImage.fill(0);
    gI2CSlaveAddress = 0x20;
}

std::array<uint8_t, 256>& ImageOf(ByteTarget target) {
    return target == ByteTarget::ChipRegisters ? gRegisterImage : gI2CImage;
}

namespace {

// One read into the image; the byte is taken only from a read that succeeded.
bool ReadInto(ByteTarget target, uint8_t reg) {
    uint8_t value = ImageOf(target)[reg];
    const bool ok = target == ByteTarget::ChipRegisters
                        ? ReadRegister(reg, &value)
                        : I2CReadRegisters(gI2CSlaveAddress, reg, 1, &value);
    if (ok) ImageOf(target)[reg] = value;
    return ok;
}

bool WriteFrom(ByteTarget target, uint8_t reg) {
    const uint8_t value = ImageOf(target)[reg];
    return target == ByteTarget::ChipRegisters ? WriteRegister(reg, value)
                                               : I2CWriteRegisters(gI2CSlaveAddress, reg, 1, &value);
}

}  // namespace

int ReadAllRegisters(ByteTarget target, const WalkHooks& hooks) {
    gDevice.OpenDevice();
    int done = 0;
    for (int reg = 0; reg < 256; ++reg) {
        if (hooks.goOn && !hooks.goOn()) break;
        const bool ok = ReadInto(target, static_cast<uint8_t>(reg));
        ++done;
        if (hooks.read) hooks.read(static_cast<uint8_t>(reg), ok);
    }
    gDevice.CloseDevice();
    return done;
}

bool ReadOneRegister(ByteTarget target, uint8_t reg) {
    gDevice.OpenDevice();
    const bool ok = ReadInto(target, reg);
    gDevice.CloseDevice();
    return ok;
}

bool WriteAndReadBack(ByteTarget target, uint8_t reg, uint8_t value, uint32_t settleMs) {
    ImageOf(target)[reg] = value;
    gDevice.OpenDevice();
    const bool written = WriteFrom(target, reg);
    CurrentClock().Sleep(settleMs);
    ReadInto(target, reg);
    gDevice.CloseDevice();
    return written;
}

std::string SetI2cSlaveAddress(const std::string& text, std::string& shown) {
    const std::optional<int64_t> value = StrToIntHex(text);
    if (!value) return InvalidHexIntegerMessage(text);
    gI2CSlaveAddress = static_cast<uint8_t>(*value & 0xFF);
    shown = TwoHex(gI2CSlaveAddress);
    return {};
}
