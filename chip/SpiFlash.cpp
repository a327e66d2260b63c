#include "chip/SpiFlash.h"

#include <cstring>

#include "chip/Registers.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"

uint8_t gFlashId[3] = {0, 0, 0};

namespace {
constexpr uint8_t kVendorIn = 0xC3;
constexpr uint8_t kVendorOut = 0x43;

constexpr uint8_t kReqFlashWrite = 0x80;
constexpr uint8_t kReqFlashCommandRead = 0x81;
constexpr uint8_t kReqFlashFetch = 0x82;
constexpr uint8_t kReqFlashReady = 0x83;
constexpr uint8_t kReqEnterIsp = 0x84;
constexpr uint8_t kReqLeaveIsp = 0x85;

// The key words that guard the mode switch.
constexpr uint16_t kEnterIspValue = 0x3F49;
constexpr uint16_t kEnterIspIndex = 0x7C1A;
constexpr uint16_t kLeaveIspValue = 0x1B8D;
constexpr uint16_t kLeaveIspIndex = 0x9A4E;

constexpr uint16_t kCommandContinues = 0;
constexpr uint16_t kCommandEnds = 1;

constexpr uint8_t kOpReadId = 0x9F;
constexpr uint8_t kOpReadStatus = 0x05;
constexpr uint8_t kOpWriteStatus = 0x01;
constexpr uint8_t kOpWriteEnable = 0x06;
constexpr uint8_t kOpWriteDisable = 0x04;
constexpr uint8_t kOpChipErase = 0xC7;
constexpr uint8_t kOpSectorErase = 0x20;
constexpr uint8_t kOpPageProgram = 0x02;
constexpr uint8_t kOpReadData = 0x03;

constexpr uint8_t kIspBank = 0x0D;
constexpr int kMaxCommandData = 3;
constexpr uint16_t kMaxPage = 256;
constexpr uint16_t kMaxFetch = 255;
constexpr int kIdReadyQuestions = 100;
constexpr int kStatusReadyQuestions = 10;
constexpr int kBlockReadyQuestions = 100;

bool FlashWrite(uint16_t wIndex, uint8_t* bytes, uint32_t count) {
    return gDevice.ControlTransfer(kVendorOut, kReqFlashWrite, 0, wIndex, bytes, count);
}

// An opcode followed by a 24-bit address, most significant byte first.
void PutOpcodeAndAddress(uint8_t* out, uint8_t opcode, uint32_t address) {
    out[0] = opcode;
    out[1] = static_cast<uint8_t>(address >> 16);
    out[2] = static_cast<uint8_t>(address >> 8);
    out[3] = static_cast<uint8_t>(address);
}

// Asks SpiReady up to `questions` times, sleeping `pauseMs` between a "no" and the next
// question. True at the first "yes". A lost link ends the wait at once: its answers can
// only be "no".
bool WaitSpiReady(int questions, uint32_t pauseMs) {
    for (int i = 0; i < questions; ++i) {
        if (SpiReady()) return true;
        if (gDevice.LinkLost()) return false;
        if (pauseMs > 0 && i + 1 < questions) CurrentClock().Sleep(pauseMs);
    }
    return false;
}
}  // namespace

bool SetIspMode(bool enter) {
    const bool ok = enter ? gDevice.ControlTransfer(kVendorOut, kReqEnterIsp, kEnterIspValue,
                                                    kEnterIspIndex, nullptr, 0)
                          : gDevice.ControlTransfer(kVendorOut, kReqLeaveIsp, kLeaveIspValue,
                                                    kLeaveIspIndex, nullptr, 0);
    // The bank-0x0D writes go out whatever the mode request did.
    SetIspRegisters(enter);
    return ok;
}

bool SetIspRegisters(bool enter) {
    WriteRegister(0, kIspBank);
    if (enter) {
        WriteRegister(7, 0x10);
        WriteRegister(1, 0x03);
    } else {
        WriteRegister(7, 0x00);
    }
    return true;
}

bool SpiReady() {
    uint8_t ready = 0;
    return gDevice.ControlTransfer(kVendorIn, kReqFlashReady, 0, 0, &ready, 1) && ready != 0;
}

bool FlashSendCommand(uint8_t opcode, uint8_t count, const uint8_t* data) {
    if (count > kMaxCommandData || (count > 0 && data == nullptr)) return false;
    uint8_t bytes[1 + kMaxCommandData] = {opcode};
    if (count > 0) std::memcpy(bytes + 1, data, count);
    return FlashWrite(kCommandEnds, bytes, count + 1u);
}

bool FlashRequestRead(uint8_t opcode, uint8_t count) {
    return gDevice.ControlTransfer(kVendorOut, kReqFlashCommandRead, count, 1, &opcode, 1);
}

bool FlashFetchData(uint8_t count, uint8_t* dest) {
    if (count > 0 && dest == nullptr) return false;
    return gDevice.ControlTransfer(kVendorIn, kReqFlashFetch, 0, 0, dest, count);
}

bool FlashReadBlock(uint32_t address, uint16_t length, uint8_t* dest) {
    // The fetch count is one byte: a longer block would come back cut short.
    if (length > kMaxFetch || (length > 0 && dest == nullptr)) return false;
    uint8_t command[4];
    PutOpcodeAndAddress(command, kOpReadData, address);
    if (!gDevice.ControlTransfer(kVendorOut, kReqFlashCommandRead, length, 1, command, 4)) {
        return false;
    }
    if (!WaitSpiReady(kBlockReadyQuestions, 1)) return false;
    return FlashFetchData(static_cast<uint8_t>(length), dest);
}

bool FlashProgramPage(uint32_t address, uint16_t length, const uint8_t* data) {
    if (length == 0 || length > kMaxPage || data == nullptr) return false;
    uint8_t header[4];
    PutOpcodeAndAddress(header, kOpPageProgram, address);
    // Without the header the data bytes would reach the flash as a command of their own
    // (a first data byte 0xC7 would erase the chip), so they are not sent.
    if (!FlashWrite(kCommandContinues, header, 4)) return false;
    uint8_t page[kMaxPage];
    std::memcpy(page, data, length);
    if (FlashWrite(kCommandEnds, page, length)) return true;
    // The refused data stage left the page command open in the chip: the next command
    // would be shifted in as page data (a write enable would program 0x06). One byte
    // 0xFF ends it and, as programming only clears bits, changes nothing in the flash.
    uint8_t closer = 0xFF;
    FlashWrite(kCommandEnds, &closer, 1);
    return false;
}

bool FlashReadId() {
    FlashRequestRead(kOpReadId, 3);
    if (!WaitSpiReady(kIdReadyQuestions, 0)) return false;
    uint8_t id[3];
    std::memcpy(id, gFlashId, sizeof id);
    if (!FlashFetchData(3, id)) return false;
    std::memcpy(gFlashId, id, sizeof id);
    return true;
}

uint32_t FlashCapacityFor(const uint8_t id[3]) {
    return id[2] >= 0x10 && id[2] <= 0x18 ? uint32_t{1} << id[2] : uint32_t{1} << 24;
}

uint8_t FlashReadStatus() {
    FlashRequestRead(kOpReadStatus, 1);
    if (!WaitSpiReady(kStatusReadyQuestions, 0)) return 0xFF;
    uint8_t status = 0xFF;
    return FlashFetchData(1, &status) ? status : 0xFF;
}

bool FlashWriteStatus(uint8_t value) { return FlashSendCommand(kOpWriteStatus, 1, &value); }

bool FlashWriteEnable() { return FlashSendCommand(kOpWriteEnable, 0, nullptr); }

bool FlashWriteDisable() { return FlashSendCommand(kOpWriteDisable, 0, nullptr); }

bool FlashEraseChip() { return FlashSendCommand(kOpChipErase, 0, nullptr); }

bool FlashEraseSector(uint32_t address) {
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 16),
                              static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    return FlashSendCommand(kOpSectorErase, 3, bytes);
}

void ResetChipGlobals() { std::memset(gFlashId, 0, sizeof gFlashId); }
