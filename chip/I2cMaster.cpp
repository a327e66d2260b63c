#include "chip/I2cMaster.h"

#include "chip/Registers.h"

namespace {
constexpr uint8_t kI2cBank = 14;

constexpr int kRegControl = 0x10;
constexpr int kRegSetup = 0x11;
constexpr int kRegTransmit = 0x12;
constexpr int kRegReceive = 0x13;
constexpr int kRegCommand = 0x14;

// Values of register 0x10: bit 7 always, bit 6 start, bit 5 stop, bit 4 "last byte".
constexpr uint8_t kStart = 0xC0;
constexpr uint8_t kStop = 0xA0;
constexpr uint8_t kAckNext = 0x80;
constexpr uint8_t kNackNext = 0x90;
constexpr uint8_t kStatusDone = 0x01;
constexpr uint8_t kStatusNack = 0x08;

constexpr uint8_t kCommandTransmit = 0x01;
constexpr uint8_t kCommandReceive = 0x03;
constexpr uint8_t kSetupValue = 0x04;

constexpr int kDonePolls = 20;
constexpr int kAddressAttempts = 10;

// Start plus address, up to ten times with no stop between (a repeated start).
bool AddressPhase(uint8_t address) {
    for (int attempt = 0; attempt < kAddressAttempts; ++attempt) {
        I2CStart();
        if (I2CSendByte(address)) return true;
    }
    return false;
}

void SendAll(uint8_t count, const uint8_t* bytes) {
    // Only the address phases decide a transfer; these acknowledges are not examined.
    for (int i = 0; i < count; ++i) I2CSendByte(bytes[i]);
}

// Receives `count` bytes, the last one not acknowledged. False when any could not be read.
bool ReceiveAll(uint8_t count, uint8_t* dest) {
    bool all = true;
    for (int i = 0; i < count; ++i) {
        if (!I2CReceiveByte(i == count - 1, &dest[i])) all = false;
    }
    return all;
}

// The write part of every transfer; on a silent slave it stops the bus.
bool BeginWrite(uint8_t address, uint8_t count, const uint8_t* bytes) {
    if (!AddressPhase(address)) {
        I2CStop();
        return false;
    }
    SendAll(count, bytes);
    return true;
}

bool FinishRead(uint8_t address, uint8_t count, uint8_t* dest) {
    if (!AddressPhase(static_cast<uint8_t>(address | 0x01))) {
        I2CStop();
        return false;
    }
    const bool received = ReceiveAll(count, dest);
    I2CStop();
    return received;
}
}  // namespace

bool I2CMasterSetup() {
    const bool bank = SelectBank(kI2cBank);
    const bool setup = WriteRegister(kRegSetup, kSetupValue);
    return bank && setup;
}

bool I2CStart() { return WriteRegister(kRegControl, kStart); }

bool I2CStop() { return WriteRegister(kRegControl, kStop); }

void I2CWaitDone() {
    for (int poll = 0; poll < kDonePolls; ++poll) {
        uint8_t status = 0;
        // A failed read is "not done"; the wait still ends after twenty polls.
        if (ReadRegister(kRegControl, &status) && (status & kStatusDone) != 0) return;
    }
}

bool I2CSendByte(uint8_t byte) {
    WriteRegister(kRegCommand, kCommandTransmit);
    WriteRegister(kRegTransmit, byte);
    I2CWaitDone();
    uint8_t status = 0;
    // Without a status byte there is no acknowledge to believe in.
    return ReadRegister(kRegControl, &status) && (status & kStatusNack) == 0;
}

bool I2CReceiveByte(bool last, uint8_t* dest) {
    WriteRegister(kRegControl, last ? kNackNext : kAckNext);
    WriteRegister(kRegCommand, kCommandReceive);
    I2CWaitDone();
    return ReadRegister(kRegReceive, dest);
}

bool I2CWriteRegisters(uint8_t address, uint8_t reg, uint8_t count, const uint8_t* data) {
    if (count > 0 && data == nullptr) return false;
    if (!BeginWrite(address, 1, &reg)) return false;
    SendAll(count, data);
    I2CStop();
    return true;
}

bool I2CReadRegisters(uint8_t address, uint8_t reg, uint8_t count, uint8_t* dest) {
    if (count > 0 && dest == nullptr) return false;
    if (!BeginWrite(address, 1, &reg)) return false;
    return FinishRead(address, count, dest);
}

bool I2CWriteCommandData(uint8_t address, uint8_t commandLength, const uint8_t* command,
                         uint8_t dataLength, const uint8_t* data) {
    if ((commandLength > 0 && command == nullptr) || (dataLength > 0 && data == nullptr)) {
        return false;
    }
    if (!BeginWrite(address, commandLength, command)) return false;
    SendAll(dataLength, data);
    I2CStop();
    return true;
}

bool I2CReadCommandData(uint8_t address, uint8_t commandLength, const uint8_t* command,
                        uint8_t dataLength, uint8_t* dest) {
    if ((commandLength > 0 && command == nullptr) || (dataLength > 0 && dest == nullptr)) {
        return false;
    }
    if (!BeginWrite(address, commandLength, command)) return false;
    return FinishRead(address, dataLength, dest);
}
