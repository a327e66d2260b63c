// I2C master transfers: bus steps as register accesses, bounded polls and attempts.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "SimFixture.h"
#include "chip/I2cMaster.h"
#include "chip/Registers.h"

namespace {

using Kind = SimI2cEvent::Kind;
constexpr uint8_t kAbsent = 0x40;
constexpr uint8_t kSlave = 0x60;

SimI2cEvent Start() { return {Kind::Start, 0, false}; }
SimI2cEvent Stop() { return {Kind::Stop, 0, false}; }
SimI2cEvent Sent(uint8_t b, bool ack = true) { return {Kind::Sent, b, ack}; }
SimI2cEvent Got(uint8_t b, bool ack) { return {Kind::Received, b, ack}; }

// gDevice open, the master set up, logs cleared.
class I2cMaster : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(Open());
        ASSERT_TRUE(I2CMasterSetup());
        sim->ClearLog();
        sim->I2c().ClearBus();
    }

    // Values written to register `reg`, in order.
    std::vector<uint8_t> WritesTo(uint16_t reg) const {
        std::vector<uint8_t> out;
        for (const auto& [r, v] : RegisterWrites()) {
            if (r == reg) out.push_back(v);
        }
        return out;
    }
    size_t ReadsOf(uint16_t reg) const {
        const auto reads = RegisterReads();
        return static_cast<size_t>(std::count(reads.begin(), reads.end(), reg));
    }
};

TEST_F(I2cMaster, SetupSelectsBank14EveryTime) {
    ASSERT_TRUE(SelectBank(3));
    sim->ClearLog();
    EXPECT_TRUE(I2CMasterSetup());
    EXPECT_TRUE(I2CMasterSetup());
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0, 14), RegWrite(0x11, 4), RegWrite(0, 14),
                                              RegWrite(0x11, 4)}));
}

TEST_F(I2cMaster, SendByteTransmitsAfterTheCommandAndReadsTheAcknowledge) {
    I2CStart();
    sim->ClearLog();
    EXPECT_TRUE(I2CSendByte(kSlave));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0x14, 0x01), RegWrite(0x12, kSlave),
                                              RegRead(0x10), RegRead(0x10)}));
    I2CStart();
    EXPECT_FALSE(I2CSendByte(kAbsent));
}

TEST_F(I2cMaster, WriteThenReadRegistersRoundTrip) {
    const uint8_t data[3] = {0xA1, 0xB2, 0xC3};
    EXPECT_TRUE(I2CWriteRegisters(kSlave, 0x10, 3, data));
    uint8_t back[3] = {};
    EXPECT_TRUE(I2CReadRegisters(kSlave, 0x10, 3, back));
    EXPECT_EQ(std::vector<uint8_t>(back, back + 3), std::vector<uint8_t>(data, data + 3));
    EXPECT_EQ(sim->I2cSlaveRegister(kSlave, 0x12), 0xC3);
    EXPECT_EQ(sim->I2c().Bus(),
              (std::vector<SimI2cEvent>{Start(), Sent(0x60), Sent(0x10), Sent(0xA1), Sent(0xB2),
                                        Sent(0xC3), Stop(), Start(), Sent(0x60), Sent(0x10),
                                        Start(), Sent(0x61), Got(0xA1, true), Got(0xB2, true),
                                        Got(0xC3, false), Stop()}));
    // Every byte but the last is acknowledged by the master.
    EXPECT_EQ(WritesTo(0x10), (std::vector<uint8_t>{0xC0, 0xA0, 0xC0, 0xC0, 0x80, 0x80, 0x90, 0xA0}));
}

TEST_F(I2cMaster, OneByteReadIsTheLastByte) {
    sim->SetI2cSlaveRegister(kSlave, 0x05, 0x5A);
    uint8_t value = 0;
    EXPECT_TRUE(I2CReadRegisters(kSlave, 0x05, 1, &value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(WritesTo(0x10), (std::vector<uint8_t>{0xC0, 0xC0, 0x90, 0xA0}));
    // The cheapest one-byte read: 11 writes and 8 reads.
    EXPECT_EQ(RegisterWrites().size(), 11u);
    EXPECT_EQ(RegisterReads().size(), 8u);
}

TEST_F(I2cMaster, CountZeroTransfersStillRunTheirPhases) {
    EXPECT_TRUE(I2CWriteRegisters(kSlave, 0x07, 0, nullptr));
    EXPECT_TRUE(I2CReadRegisters(kSlave, 0x07, 0, nullptr));
    EXPECT_TRUE(I2CReadCommandData(kSlave, 0, nullptr, 0, nullptr));
    EXPECT_EQ(sim->I2c().Bus(),
              (std::vector<SimI2cEvent>{Start(), Sent(0x60), Sent(0x07), Stop(),                  //
                                        Start(), Sent(0x60), Sent(0x07), Start(), Sent(0x61), Stop(),
                                        Start(), Sent(0x60), Start(), Sent(0x61), Stop()}));
}

TEST_F(I2cMaster, SilentSlaveGetsTenAttemptsAndOneStop) {
    uint8_t dest[2] = {0x11, 0x22};
    const uint8_t data[1] = {0x33};
    struct Case {
        const char* name;
        bool result;
    };
    const Case cases[] = {
        {"write", I2CWriteRegisters(kAbsent, 0x07, 1, data)},
        {"read", I2CReadRegisters(kAbsent, 0x07, 2, dest)},
        {"command write", I2CWriteCommandData(kAbsent, 1, data, 1, data)},
        {"command read", I2CReadCommandData(kAbsent, 1, data, 2, dest)},
    };
    for (const Case& c : cases) EXPECT_FALSE(c.result) << c.name;
    // Each transfer: ten 0xC0, one 0xA0, only the address transmitted.
    std::vector<uint8_t> control;
    for (int t = 0; t < 4; ++t) {
        control.insert(control.end(), 10, 0xC0);
        control.push_back(0xA0);
    }
    EXPECT_EQ(WritesTo(0x10), control);
    EXPECT_EQ(WritesTo(0x12), std::vector<uint8_t>(40, kAbsent));
    EXPECT_EQ(dest[0], 0x11);
    EXPECT_EQ(dest[1], 0x22);
}

TEST_F(I2cMaster, ReadAddressNotAcknowledged) {
    sim->I2c().Slave(kSlave)->ackRead = false;
    uint8_t dest = 0x44;
    EXPECT_FALSE(I2CReadRegisters(kSlave, 0x07, 1, &dest));
    EXPECT_EQ(dest, 0x44);
    // One write address, one register number, then ten read-address attempts.
    std::vector<uint8_t> sent = {0x60, 0x07};
    sent.insert(sent.end(), 10, 0x61);
    EXPECT_EQ(WritesTo(0x12), sent);
    EXPECT_EQ(WritesTo(0x10).back(), 0xA0);
    EXPECT_EQ(WritesTo(0x10).size(), 12u);  // 1 + 10 starts, 1 stop
}

TEST_F(I2cMaster, AddressWithReadBitIsSentUnchanged) {
    uint8_t dest = 0;
    I2CReadRegisters(0x61, 0x00, 1, &dest);
    EXPECT_EQ(WritesTo(0x12).front(), 0x61);
    EXPECT_EQ(WritesTo(0x12).back(), 0x61);
}

TEST_F(I2cMaster, DataByteNotAcknowledgedDoesNotStopTheWrite) {
    sim->I2c().Slave(kSlave)->nackWriteByteAt = 2;  // the second data byte
    const uint8_t data[3] = {1, 2, 3};
    EXPECT_TRUE(I2CWriteRegisters(kSlave, 0x20, 3, data));
    EXPECT_EQ(WritesTo(0x12), (std::vector<uint8_t>{0x60, 0x20, 1, 2, 3}));
    EXPECT_EQ(sim->I2c().Bus().back(), Stop());
}

TEST_F(I2cMaster, DoneThatNeverComesCostsTwentyPollsAndOneAcknowledgeRead) {
    sim->SetI2cDoneLatency(-1);
    I2CStart();
    sim->ClearLog();
    EXPECT_TRUE(I2CSendByte(kSlave));
    EXPECT_EQ(ReadsOf(0x10), 21u);
}

TEST_F(I2cMaster, DonePollStopsAtTheDoneBit) {
    sim->SetI2cDoneLatency(4);
    I2CStart();
    sim->ClearLog();
    I2CSendByte(kSlave);
    EXPECT_EQ(ReadsOf(0x10), 5u + 1u);
}

TEST_F(I2cMaster, FailedStatusReadsCountAsNotDoneAndNotAcknowledged) {
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x91 && r.setup.wIndex == 0x10; });
    const uint8_t data[1] = {9};
    EXPECT_FALSE(I2CWriteRegisters(kSlave, 0x07, 1, data));
    EXPECT_EQ(ReadsOf(0x10), 10u * 21u);
    EXPECT_EQ(WritesTo(0x10).size(), 11u);
}

TEST_F(I2cMaster, ReceivedByteThatCannotBeReadIsNotInvented) {
    sim->SetI2cSlaveRegister(kSlave, 0, 0x10);
    sim->SetI2cSlaveRegister(kSlave, 1, 0x20);
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x91 && r.setup.wIndex == 0x13; }, 1);
    uint8_t dest[2] = {0xAA, 0xBB};
    EXPECT_FALSE(I2CReadRegisters(kSlave, 0, 2, dest));
    EXPECT_EQ(dest[0], 0xAA);
    EXPECT_EQ(dest[1], 0x20);
    EXPECT_EQ(sim->I2c().Bus().back(), Stop());
}

TEST_F(I2cMaster, CommandDataTransfers) {
    const uint8_t command[2] = {0x12, 0x30};
    const uint8_t data[1] = {0xFF};
    EXPECT_TRUE(I2CWriteCommandData(kSlave, 2, command, 1, data));
    EXPECT_EQ(sim->I2c().Bus(), (std::vector<SimI2cEvent>{Start(), Sent(0x60), Sent(0x12), Sent(0x30),
                                                          Sent(0xFF), Stop()}));
    sim->I2c().ClearBus();
    uint8_t back[2] = {};
    EXPECT_TRUE(I2CReadCommandData(kSlave, 1, command, 2, back));  // pointer 0x12
    EXPECT_EQ(back[0], 0x30);
    EXPECT_EQ(back[1], 0xFF);
}

TEST_F(I2cMaster, TransfersSelectNoBank) {
    // In another bank the master's registers are plain storage, so the bus stays idle.
    ASSERT_TRUE(SelectBank(0));
    sim->ClearLog();
    uint8_t dest = 0;
    I2CReadRegisters(kSlave, 0, 1, &dest);
    for (const auto& write : RegisterWrites()) EXPECT_NE(write.first, 0);
    EXPECT_TRUE(sim->I2c().Bus().empty());
}

}  // namespace
