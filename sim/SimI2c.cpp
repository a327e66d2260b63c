#include "sim/SimI2c.h"

SimI2c::SimI2c() {
    AddSlave(0x20);
    AddSlave(0x60);
}

SimI2cSlave& SimI2c::AddSlave(uint8_t address8) { return slaves_[address8 & 0xFE]; }

void SimI2c::RemoveSlave(uint8_t address8) { slaves_.erase(address8 & 0xFE); }

SimI2cSlave* SimI2c::Slave(uint8_t address8) {
    auto it = slaves_.find(address8 & 0xFE);
    return it == slaves_.end() ? nullptr : &it->second;
}

const SimI2cSlave* SimI2c::Slave(uint8_t address8) const {
    auto it = slaves_.find(address8 & 0xFE);
    return it == slaves_.end() ? nullptr : &it->second;
}

void SimI2c::Reset() {
    state_ = State::Idle;
    transmitArmed_ = false;
    nackNextReceive_ = false;
    nack_ = false;
    setup_ = 0;
    transmit_ = 0;
    received_ = 0xFF;
    shownNack_ = false;
    shownReceived_ = 0xFF;
    pollsUntilDone_ = 0;
}

void SimI2c::Write(uint8_t reg, uint8_t value) {
    switch (reg) {
        case kRegControl:
            if (!Enabled()) return;
            if (value & 0x40) {
                bus_.push_back({SimI2cEvent::Kind::Start, 0, false});
                state_ = State::AwaitAddress;
            } else if (value & 0x20) {
                bus_.push_back({SimI2cEvent::Kind::Stop, 0, false});
                state_ = State::Idle;
            } else {
                nackNextReceive_ = (value & 0x10) != 0;
            }
            return;
        case kRegSetup:
            setup_ = value;
            return;
        case kRegTransmit:
            transmit_ = value;
            if (transmitArmed_) {
                transmitArmed_ = false;
                Transmit(value);
            }
            return;
        case kRegCommand:
            if (!Enabled()) return;
            if (value == 0x01) transmitArmed_ = true;
            if (value == 0x03) Receive();
            return;
        default:
            return;  // 0x13 is read-only
    }
}

void SimI2c::Transmit(uint8_t byte) {
    BeginTransfer();
    bool ack = false;
    switch (state_) {
        case State::AwaitAddress: {
            SimI2cSlave* slave = Slave(byte);
            const bool read = (byte & 0x01) != 0;
            ack = slave != nullptr && (!read || slave->ackRead);
            current_ = byte & 0xFE;
            writeIndex_ = 0;
            state_ = !ack ? State::NoSlave : read ? State::Reading : State::Writing;
            break;
        }
        case State::Writing: {
            SimI2cSlave& slave = *Slave(current_);
            ack = slave.nackWriteByteAt != static_cast<int>(writeIndex_);
            if (ack) {
                if (writeIndex_ == 0) {
                    slave.pointer = byte;
                } else {
                    slave.registers[slave.pointer] = byte;
                    slave.pointer = static_cast<uint8_t>(slave.pointer + 1);
                }
            }
            ++writeIndex_;
            break;
        }
        default:
            break;  // nobody listens
    }
    nack_ = !ack;
    bus_.push_back({SimI2cEvent::Kind::Sent, byte, ack});
}

void SimI2c::Receive() {
    BeginTransfer();
    received_ = 0xFF;
    if (state_ == State::Reading) {
        SimI2cSlave& slave = *Slave(current_);
        received_ = slave.registers[slave.pointer];
        slave.pointer = static_cast<uint8_t>(slave.pointer + 1);
        // After the master's non-acknowledge the slave lets go of the bus.
        if (nackNextReceive_) state_ = State::NoSlave;
    }
    bus_.push_back({SimI2cEvent::Kind::Received, received_, !nackNextReceive_});
}

uint8_t SimI2c::Peek(uint8_t reg) const {
    switch (reg) {
        case kRegControl:
            if (!Enabled()) return 0x09;
            return static_cast<uint8_t>((Done() ? 0x01 : 0) | (shownNack_ ? 0x08 : 0));
        case kRegSetup:
            return setup_;
        case kRegTransmit:
            return transmit_;
        case kRegReceive:
            return shownReceived_;
        default:
            return 0;
    }
}

uint8_t SimI2c::Read(uint8_t reg) {
    const bool polled = reg == kRegControl && Enabled();
    if (polled && Done()) Release();
    const uint8_t value = Peek(reg);
    if (polled && pollsUntilDone_ > 0) --pollsUntilDone_;
    return value;
}

void SimI2c::Poke(uint8_t reg, uint8_t value) {
    if (reg == kRegSetup) setup_ = value;
    if (reg == kRegTransmit) transmit_ = value;
    if (reg == kRegReceive) received_ = shownReceived_ = value;
}
