// The rules of the chip's contract that the simulated chip enforces, each shown with a
// client that breaks it (and fails, as on the real part) and one that keeps it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimFixture.h"
#include "chip/I2cMaster.h"
#include "chip/Registers.h"
#include "chip/SpiFlash.h"
#include "device/DriverBlocks.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SimContractTest : public SimFixture {
protected:
    bool Out(uint8_t request, uint16_t value, uint16_t index, Bytes data = {}) {
        return gDevice.ControlTransfer(0x43, request, value, index, data.data(),
                                       static_cast<uint32_t>(data.size()));
    }
    bool In(uint8_t request, uint16_t value, uint16_t index, Bytes& data) {
        return gDevice.ControlTransfer(0xC3, request, value, index, data.data(),
                                       static_cast<uint32_t>(data.size()));
    }
    void EnterIsp() {
        ASSERT_TRUE(Open());
        ASSERT_TRUE(Out(0x84, 0x3F49, 0x7C1A));
    }
};

TEST_F(SimContractTest, EachPathSpeaksOnlyItsDriversEncoding) {
    struct Case {
        SimIdentity identity;
        uint8_t ksPath;
        bool works;
    } cases[] = {
        {SimIdentity::Normal, 1, true},      {SimIdentity::Normal, 0, false},
        {SimIdentity::Update7C3D, 0, true},  {SimIdentity::Update7C3D, 1, false},
        {SimIdentity::Update0B7E, 0, true},  {SimIdentity::Update0B7E, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.identity) << " on ksPath " << int(c.ksPath));
        ASSERT_TRUE(Attach(c.identity));
        gDevice.SetKsPath(c.ksPath);  // a client that mixes up the paths
        ASSERT_TRUE(Open());
        Bytes value(1);
        EXPECT_EQ(In(0x91, 0, 0xA4, value), c.works);
        EXPECT_EQ(value[0], c.works ? 0x01 : 0x00);
        gDevice.CloseDevice();
    }
}

TEST_F(SimContractTest, MailboxCommandTakesTheRegistersAsTheyAreWhenItIsWritten) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(SelectBank(0));
    const Bytes vid = {'1', '2', '3', '4'};
    // Wrong order: the command first, then the item and the data.
    WriteRegister(0x90, 0x10);
    WriteRegister(0x91, 0x08);
    WriteRegister(0x92, 0x00);
    for (int i = 0; i < 4; ++i) WriteRegister(0x93 + i, vid[i]);
    uint8_t done = 0;
    ReadRegister(0x90, &done);
    EXPECT_EQ(done, 0xEE);
    EXPECT_NE(Bytes(sim->Eeprom().vid.begin(), sim->Eeprom().vid.end()), vid);
    // Right order.
    WriteRegister(0x90, 0x00);
    for (int i = 0; i < 4; ++i) WriteRegister(0x93 + i, vid[i]);
    WriteRegister(0x91, 0x08);
    WriteRegister(0x92, 0x00);
    WriteRegister(0x90, 0x10);
    ReadRegister(0x90, &done);
    EXPECT_EQ(done, 0xEE);
    EXPECT_EQ(Bytes(sim->Eeprom().vid.begin(), sim->Eeprom().vid.end()), vid);
}

TEST_F(SimContractTest, MailboxReadFillsTheDataOnlyAtCompletion) {
    sim->SetMailboxLatency(2);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(SelectBank(0));
    for (int i = 0; i < 4; ++i) WriteRegister(0x93 + i, 0x00);
    WriteRegister(0x91, 0x09);  // read the VID
    WriteRegister(0x92, 0x00);
    WriteRegister(0x90, 0x10);
    uint8_t early = 0xAA;
    ReadRegister(0x93, &early);
    EXPECT_EQ(early, 0x00) << "not yet valid before the completion code";
    uint8_t done = 0;
    for (int poll = 0; poll < 3 && done != 0xEE; ++poll) ReadRegister(0x90, &done);
    ASSERT_EQ(done, 0xEE);
    uint8_t first = 0;
    ReadRegister(0x93, &first);
    EXPECT_EQ(first, '7');
}

TEST_F(SimContractTest, FlashFetchNeedsAReadAndItsReadyAnswer) {
    ASSERT_NO_FATAL_FAILURE(EnterIsp());
    Bytes id(3);
    EXPECT_FALSE(In(0x82, 0, 0, id)) << "nothing was read since ISP mode was entered";
    sim->Relay().SetReadyLatency(2);
    ASSERT_TRUE(Out(0x81, 3, 1, {0x9F}));
    ASSERT_TRUE(In(0x82, 0, 0, id));  // skips the ready question
    EXPECT_EQ(id, (Bytes{0, 0, 0})) << "stale bytes, not the identification";
    Bytes ready(1);
    while (In(0x83, 0, 0, ready) && ready[0] == 0) {
    }
    ASSERT_TRUE(In(0x82, 0, 0, id));
    EXPECT_EQ(id, (Bytes{0xC2, 0x20, 0x14}));
    // The next read is not fetchable before its ready answer either: the old bytes stay.
    ASSERT_TRUE(Out(0x81, 1, 1, {0x05}));
    Bytes status(1);
    ASSERT_TRUE(In(0x82, 0, 0, status));
    EXPECT_EQ(status[0], 0xC2);
    EXPECT_TRUE(FlashReadId()) << "the tool's own read waits for ready";
}

TEST_F(SimContractTest, RelaySetupFieldsAreChecked) {
    ASSERT_NO_FATAL_FAILURE(EnterIsp());
    ASSERT_TRUE(Out(0x81, 1, 1, {0x05}));
    Bytes one(1);
    EXPECT_FALSE(In(0x83, 0x1234, 0x5678, one));
    EXPECT_FALSE(In(0x83, 0, 1, one));
    EXPECT_TRUE(In(0x83, 0, 0, one));
    EXPECT_FALSE(In(0x82, 1, 0, one));
    EXPECT_FALSE(In(0x82, 0, 1, one));
    EXPECT_TRUE(In(0x82, 0, 0, one));
    EXPECT_FALSE(Out(0x80, 1, 1, {0x06}));
    EXPECT_EQ(sim->Flash().Status() & 0x02, 0) << "the refused write enable did not reach the flash";
    EXPECT_TRUE(Out(0x80, 0, 1, {0x06}));
    EXPECT_EQ(sim->Flash().Status() & 0x02, 0x02);
}

TEST_F(SimContractTest, I2cAcknowledgeAndByteAreValidOnlyAfterDone) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(I2CMasterSetup());
    sim->SetI2cSlaveRegister(0x20, 0x05, 0x5A);
    sim->SetI2cDoneLatency(3);
    // A client that reads the status at once sees the transfer before: an absent slave
    // seems to acknowledge.
    I2CStart();
    WriteRegister(0x14, 0x01);
    WriteRegister(0x12, 0x40);  // nobody at 0x40
    uint8_t status = 0;
    ReadRegister(0x10, &status);
    EXPECT_EQ(status & 0x09, 0x00) << "not done, and no acknowledge information yet";
    I2CStop();
    // The tool's transfers wait for done and get the real answers.
    EXPECT_FALSE(I2CSendByte(0x40));
    I2CStop();
    uint8_t byte = 0;
    EXPECT_TRUE(I2CReadRegisters(0x20, 0x05, 1, &byte));
    EXPECT_EQ(byte, 0x5A);
    // A receive read before done still shows the byte before.
    I2CStart();
    I2CSendByte(0x21);
    WriteRegister(0x10, 0x90);
    WriteRegister(0x14, 0x03);
    uint8_t early = 0;
    ReadRegister(0x13, &early);
    EXPECT_EQ(early, 0x5A);
}

TEST_F(SimContractTest, ShortReplyIsAFailedRead) {
    ASSERT_NO_FATAL_FAILURE(EnterIsp());
    sim->Flash().Contents()[0x40] = 0x12;
    // The read command, the ready answer, then the fetch comes back one byte short.
    sim->ShortReadCall(sim->Calls() + 3);
    uint8_t block[64];
    std::fill(std::begin(block), std::end(block), 0xEE);
    EXPECT_FALSE(FlashReadBlock(0x40, 64, block));
    EXPECT_EQ(sim->LastReturnedSize(), 63u);
    EXPECT_TRUE(FlashReadBlock(0x40, 64, block));
    EXPECT_EQ(block[0], 0x12);
}

TEST_F(SimContractTest, PowerLossAbandonsAnOpenFlashCommand) {
    ASSERT_NO_FATAL_FAILURE(EnterIsp());
    ASSERT_TRUE(Out(0x80, 0, 1, {0x06}));
    // A sector erase whose command is still open when the power goes.
    ASSERT_TRUE(Out(0x80, 0, 0, {0x20, 0x00, 0x00, 0x00}));
    sim->Flash().Contents()[0x10] = 0x00;
    sim->Unplug();
    EXPECT_EQ(sim->Flash().Contents()[0x10], 0x00);
    EXPECT_EQ(sim->Flash().Stats().sectorErases, 0u);
}

}  // namespace
