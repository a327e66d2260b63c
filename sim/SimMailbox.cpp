#include "sim/SimMailbox.h"

#include <algorithm>

namespace {
const char* const kDefaultStrings[3] = {"Quorvel", "Quorvel USB Audio", "000001"};
}

SimEeprom::SimEeprom() {
    for (int n = 1; n <= 3; ++n) SetStringText(n, kDefaultStrings[n - 1]);
}

std::string SimEeprom::StringText(int number) const {
    if (number < 1 || number > 3) return {};
    const Record& r = strings[number - 1];
    const size_t count = std::min<size_t>(r[0], kRecordSize - 1);
    return std::string(r.begin() + 1, r.begin() + 1 + count);
}

void SimEeprom::SetStringText(int number, const std::string& text) {
    if (number < 1 || number > 3) return;
    Record& r = strings[number - 1];
    r.fill(0);
    const size_t count = std::min(text.size(), kRecordSize - 1);
    r[0] = static_cast<uint8_t>(count);
    std::copy_n(text.begin(), count, r.begin() + 1);
}

void SimMailbox::WriteCommand(uint8_t value, Bank& bank) {
    bank[kRegCommand] = value;
    pending_ = value == kCommandSysPara || value == kCommandHidKey;
    if (pending_) taken_ = bank;
    pollsLeft_ = latency_;
}

uint8_t SimMailbox::ReadCommand(Bank& bank) {
    if (pending_ && latency_ >= 0) {
        if (pollsLeft_ > 0) {
            --pollsLeft_;
        } else {
            Execute(bank);
        }
    }
    return bank[kRegCommand];
}

void SimMailbox::Execute(Bank& bank) {
    pending_ = false;
    const uint8_t command = taken_[kRegCommand];
    const uint8_t argument = taken_[kRegArgument];
    completed_.push_back({command, argument, taken_[kRegIndex]});
    if (command == kCommandHidKey) {
        hidKeys_.push_back(argument);
        bank[kRegCommand] = kDoneHidKey;
        return;
    }
    TransferItem(argument, taken_[kRegIndex], taken_, bank);
    bank[kRegCommand] = kDoneSysPara;
}

void SimMailbox::TransferItem(uint8_t item, uint8_t index, const Bank& written, Bank& bank) {
    const bool toHost = (item & 0x01) != 0;
    uint8_t* field = nullptr;
    size_t size = 0;
    switch (item & 0xFE) {
        case 0x20:
            field = eeprom_.option.data();
            size = 4;
            break;
        case 0x08:
            field = eeprom_.vid.data();
            size = 4;
            break;
        case 0x0A:
            field = eeprom_.pid.data();
            size = 4;
            break;
        case 0x10:
        case 0x14:
        case 0x18:
            if (index > 3) return;
            field = eeprom_.strings[((item & 0xFE) - 0x10) / 4].data() + 8 * index;
            size = 8;
            index = 0;
            break;
        default:
            return;
    }
    if (index != 0) return;
    if (toHost) {
        uint8_t* data = bank.data() + kRegData;
        std::copy_n(field, size, data);
        if ((item & 0xFE) == 0x20) {
            data[3] = static_cast<uint8_t>((data[3] & 0x7F) | (eeprom_.present ? 0x80 : 0));
        }
    } else {
        std::copy_n(written.data() + kRegData, size, field);
    }
}
