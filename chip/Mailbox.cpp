#include "chip/Mailbox.h"

#include <algorithm>
#include <cstring>

#include "chip/Registers.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"

namespace {
constexpr uint8_t kMailboxBank = 0;
constexpr int kRegCommand = 144;
constexpr int kRegArgument = 145;
constexpr int kRegIndex = 146;
constexpr int kRegData = 147;

constexpr uint8_t kSysParaDone = 0xEE;
constexpr uint8_t kHidKeyCommand = 0x30;
constexpr uint8_t kHidKeyDone = 0x31;
constexpr int kSysParaPolls = 20;
constexpr int kHidKeyPolls = 10;
constexpr uint32_t kPollMs = 10;
constexpr uint32_t kStringBlockPauseMs = 50;

constexpr size_t kMaxStringChars = 31;
constexpr int kMaxStringBlocks = 4;

// Waits, then reads the command register, up to `polls` times; a failed read is not the
// completion code.
bool PollCommand(uint8_t doneCode, int polls) {
    for (int i = 0; i < polls; ++i) {
        CurrentClock().Sleep(kPollMs);
        uint8_t value = 0;
        if (ReadRegister(kRegCommand, &value) && value == doneCode) return true;
    }
    return false;
}
}  // namespace

bool SysParaTransfer(uint8_t command, uint8_t item, uint8_t index, uint8_t length, uint8_t* data) {
    if (length > kSysParaMaxLength || (length > 0 && data == nullptr)) return false;
    const bool toHost = (item & 0x01) != 0;

    gDevice.OpenDevice();
    WriteRegister(0, kMailboxBank);
    // A data register that could not be written or read makes the whole transfer fail:
    // the chip would store, or the caller keep, bytes that are not the ones meant.
    bool dataOk = true;
    if (!toHost) {
        for (int i = 0; i < length; ++i) dataOk = WriteRegister(kRegData + i, data[i]) && dataOk;
    }
    if (!dataOk) {
        // Without all its data the command is not given: the chip would store the bytes
        // the registers held before.
        gDevice.CloseDevice();
        return false;
    }
    WriteRegister(kRegArgument, item);
    WriteRegister(kRegIndex, index);
    // A command that never reached the chip cannot complete, whatever 0x90 still shows
    // from an earlier transfer.
    const bool sent = WriteRegister(kRegCommand, command);
    const bool done = PollCommand(kSysParaDone, kSysParaPolls) && sent;
    // The data registers are read (or the command cleared) also when the completion code
    // never came; the result tells the caller which it was.
    if (toHost) {
        for (int i = 0; i < length; ++i) dataOk = ReadRegister(kRegData + i, &data[i]) && dataOk;
    } else {
        WriteRegister(kRegCommand, 0);
    }
    gDevice.CloseDevice();
    return done && dataOk;
}

bool ReadSysPara(uint8_t* block) {
    return SysParaTransfer(kSysParaCommand, kSysParaItemOptionRead, 0, 4, block);
}

bool SetSysPara(const uint8_t* block) {
    if (block == nullptr) return false;
    uint8_t copy[4];
    std::memcpy(copy, block, sizeof copy);
    return SysParaTransfer(kSysParaCommand, kSysParaItemOptionWrite, 0, 4, copy);
}

bool SetSysId(SysId which, const std::string& text) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), sizeof bytes));
    const uint8_t item = which == SysId::Vendor ? kSysParaItemVid : kSysParaItemPid;
    return SysParaTransfer(kSysParaCommand, item, 0, 4, bytes);
}

bool SetSysString(int number, const std::string& text) {
    if (number < 1 || number > 3) return false;
    const auto item = static_cast<uint8_t>(kSysParaItemString1 + 4 * (number - 1));

    uint8_t record[1 + kMaxStringChars] = {};
    const size_t count = std::min(text.size(), kMaxStringChars);
    record[0] = static_cast<uint8_t>(count);
    std::memcpy(record + 1, text.data(), count);

    const size_t total = count + 1;
    bool all = true;
    for (int k = 0; k < kMaxStringBlocks && total > size_t{8} * k; ++k) {
        const size_t rest = total - size_t{8} * k;
        const auto length = static_cast<uint8_t>(std::min<size_t>(rest, 8));
        if (!SysParaTransfer(kSysParaCommand, item, static_cast<uint8_t>(k), length,
                             record + 8 * k)) {
            all = false;
        }
        CurrentClock().Sleep(kStringBlockPauseMs);
    }
    return all;
}

bool SendHidKey(uint8_t code) {
    gDevice.OpenDevice();
    WriteRegister(0, kMailboxBank);
    WriteRegister(kRegArgument, code);
    const bool sent = WriteRegister(kRegCommand, kHidKeyCommand);
    const bool done = PollCommand(kHidKeyDone, kHidKeyPolls) && sent;
    gDevice.CloseDevice();
    return done;
}
