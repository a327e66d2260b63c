#pragma once
// The command mailbox of register bank 0 and the EEPROM of system parameters behind it.
//
// The host fills the data registers (0x93 up), the argument (0x91) and the index (0x92),
// then writes a command to 0x90 and polls 0x90:
// - 0x10, system-parameter transfer: bit 0 of the item chooses the direction (1 = chip
//   to host). Items: 0x20/0x21 option block (4 bytes), 0x08/0x09 VID and 0x0A/0x0B PID
//   (4 characters each), 0x10/0x11, 0x14/0x15, 0x18/0x19 strings 1..3 as 8-byte blocks
//   0..3 of their 32-byte record (count byte, then the characters). A write takes the
//   whole block from the data registers; a read fills them. Completion code 0xEE. An
//   unknown item or index completes without effect. A read of the option block reports
//   bit 7 of byte 3 as "EEPROM present".
// - 0x30, HID key: the key code in 0x91 is recorded. Completion code 0x31.
// The command is taken at the write of 0x90, with the argument, index and data registers
// as they are at that moment: the host writes them first (written afterwards they are not
// seen). It takes effect, a read fills the data registers and the completion code
// appears in 0x90 after `latency` reads of 0x90 that still show the command (0 = at the
// first read, -1 = never); until then the data registers hold what they held before.
// Any other value written to 0x90 (the host's clearing 0) cancels a command still
// pending.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SimEeprom {
    static constexpr size_t kRecordSize = 32;
    using Record = std::array<uint8_t, kRecordSize>;

    std::array<uint8_t, 4> option{0x10, 0x00, 0x00, 0x80};
    std::array<uint8_t, 4> vid{'7', 'C', '3', 'D'};
    std::array<uint8_t, 4> pid{'6', '0', '1', '2'};
    std::array<Record, 3> strings{};
    bool present = true;

    SimEeprom();
    // String 1..3 as text (count byte, at most 31 characters).
    std::string StringText(int number) const;
    void SetStringText(int number, const std::string& text);

    friend bool operator==(const SimEeprom&, const SimEeprom&) = default;
};

struct SimMailboxCommand {
    uint8_t command = 0;
    uint8_t item = 0;   // argument register (item or key code)
    uint8_t index = 0;

    friend bool operator==(const SimMailboxCommand&, const SimMailboxCommand&) = default;
};

class SimMailbox {
public:
    static constexpr uint8_t kRegCommand = 0x90;
    static constexpr uint8_t kRegArgument = 0x91;
    static constexpr uint8_t kRegIndex = 0x92;
    static constexpr uint8_t kRegData = 0x93;
    static constexpr uint8_t kCommandSysPara = 0x10;
    static constexpr uint8_t kCommandHidKey = 0x30;
    static constexpr uint8_t kDoneSysPara = 0xEE;
    static constexpr uint8_t kDoneHidKey = 0x31;

    using Bank = std::array<uint8_t, 256>;

    SimEeprom& Eeprom() { return eeprom_; }
    const SimEeprom& Eeprom() const { return eeprom_; }
    void SetLatency(int polls) { latency_ = polls; }

    // Keys of completed HID key commands, in order.
    const std::vector<uint8_t>& HidKeys() const { return hidKeys_; }
    // Every command that took effect, in order.
    const std::vector<SimMailboxCommand>& Completed() const { return completed_; }
    void ClearHistory() {
        hidKeys_.clear();
        completed_.clear();
    }

    // Hooks of register 0x90 in bank 0; `bank` is bank 0's storage.
    void WriteCommand(uint8_t value, Bank& bank);
    uint8_t ReadCommand(Bank& bank);

    // Power-on: nothing pending (the EEPROM keeps its content).
    void Reset() { pending_ = false; }

private:
    void Execute(Bank& bank);
    // Moves one item between the EEPROM and the data: from `written` (the data registers
    // as the command found them) or into `bank`'s data registers.
    void TransferItem(uint8_t item, uint8_t index, const Bank& written, Bank& bank);

    SimEeprom eeprom_;
    std::vector<uint8_t> hidKeys_;
    std::vector<SimMailboxCommand> completed_;
    bool pending_ = false;
    Bank taken_{};  // bank 0 as it was when the pending command was written
    int latency_ = 0;
    int pollsLeft_ = 0;
};
