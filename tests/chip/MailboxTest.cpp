// The bank-0 mailbox: register order, bounded polls on the virtual clock, string records.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimFixture.h"
#include "chip/Mailbox.h"

namespace {

class Mailbox : public SimFixture {
protected:
    // The register writes of each transfer (each one begins by selecting bank 0).
    std::vector<std::vector<std::pair<uint16_t, uint8_t>>> Transfers() const {
        std::vector<std::vector<std::pair<uint16_t, uint8_t>>> out;
        for (const auto& w : RegisterWrites()) {
            if (w.first == 0) out.emplace_back();
            if (!out.empty()) out.back().push_back(w);
        }
        return out;
    }
    static size_t DataWrites(const std::vector<std::pair<uint16_t, uint8_t>>& transfer) {
        size_t n = 0;
        for (const auto& w : transfer) n += w.first >= 0x93 ? 1 : 0;
        return n;
    }
};

TEST_F(Mailbox, WriteTransferOrderAndClear) {
    uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_TRUE(SysParaTransfer(0x10, 0x20, 0, 4, data));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0, 0), RegWrite(0x93, 1), RegWrite(0x94, 2),
                                              RegWrite(0x95, 3), RegWrite(0x96, 4), RegWrite(0x91, 0x20),
                                              RegWrite(0x92, 0), RegWrite(0x90, 0x10), RegRead(0x90),
                                              RegWrite(0x90, 0)}));
    EXPECT_EQ(sim->Eeprom().option, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_EQ(clock.SleptMs(), 10u);  // even an immediate answer waits once
}

TEST_F(Mailbox, ReadTransferReadsDataAfterThePoll) {
    sim->Eeprom().option = {0x12, 0x34, 0x56, 0x01};
    uint8_t block[4] = {};
    EXPECT_TRUE(ReadSysPara(block));
    EXPECT_EQ(std::vector<uint8_t>(block, block + 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x81}));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0, 0), RegWrite(0x91, 0x21), RegWrite(0x92, 0),
                                              RegWrite(0x90, 0x10), RegRead(0x90), RegRead(0x93),
                                              RegRead(0x94), RegRead(0x95), RegRead(0x96)}));
}

TEST_F(Mailbox, NeverCompletingCostsTwentyPollsOfTenMilliseconds) {
    sim->SetMailboxLatency(-1);
    uint8_t data[4] = {9, 9, 9, 9};
    EXPECT_FALSE(SetSysPara(data));
    const auto polls = Requests(0x91);
    ASSERT_EQ(polls.size(), 20u);
    for (size_t i = 0; i < polls.size(); ++i) {
        EXPECT_EQ(polls[i].setup.wIndex, 0x90);
        EXPECT_EQ(polls[i].timeMicros, (i + 1) * 10'000u);
    }
    EXPECT_EQ(clock.SleptMs(), 200u);
    EXPECT_EQ(RegisterWrites().back(), (std::pair<uint16_t, uint8_t>{0x90, 0}));
    EXPECT_NE(sim->Eeprom().option[0], 9);
}

TEST_F(Mailbox, ReadThatNeverCompletesStillReadsTheDataAndSaysSo) {
    sim->SetMailboxLatency(-1);
    for (uint8_t i = 0; i < 4; ++i) sim->SetRegister(0, uint8_t(0x93 + i), uint8_t(0x36 + i));
    uint8_t block[4] = {0xA0, 0xA1, 0xA2, 0xA3};
    EXPECT_FALSE(ReadSysPara(block));
    EXPECT_EQ(std::vector<uint8_t>(block, block + 4), (std::vector<uint8_t>{0x36, 0x37, 0x38, 0x39}));
    std::vector<uint16_t> expected(20, 0x90);
    for (uint16_t r = 0x93; r <= 0x96; ++r) expected.push_back(r);
    EXPECT_EQ(RegisterReads(), expected);
    // A read never writes the data registers and leaves the command register alone.
    for (const auto& w : RegisterWrites()) EXPECT_LT(w.first, 0x93);
    EXPECT_EQ(RegisterWrites().back(), (std::pair<uint16_t, uint8_t>{0x90, 0x10}));
}

TEST_F(Mailbox, LateCompletionIsWaitedFor) {
    sim->SetMailboxLatency(5);
    uint8_t block[4] = {};
    EXPECT_TRUE(ReadSysPara(block));
    EXPECT_EQ(Requests(0x91).size(), 6u + 4u);
    EXPECT_EQ(clock.SleptMs(), 60u);
}

TEST_F(Mailbox, FailedCommandWriteIsNotCompletion) {
    uint8_t block[4] = {};
    ASSERT_TRUE(ReadSysPara(block));  // leaves 0xEE in the command register
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x90 && r.setup.wIndex == 0x90; }, 1);
    EXPECT_FALSE(ReadSysPara(block));
}

TEST_F(Mailbox, FailedDataRegisterFailsTheTransfer) {
    // One data register of a write is refused: the command is not given, so the chip
    // stores nothing (it would have taken the byte the register held before).
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x90 && r.setup.wIndex == 0x95; }, 1);
    const uint8_t block[4] = {0x5C, 0x80, 0x12, 0x80};
    const auto before = sim->Eeprom().option;
    EXPECT_FALSE(SetSysPara(block));
    EXPECT_EQ(sim->Eeprom().option, before);
    for (const auto& [reg, value] : RegisterWrites()) EXPECT_NE(reg, 0x90) << "no command";
    EXPECT_TRUE(SetSysPara(block));
    EXPECT_EQ(sim->Eeprom().option, (std::array<uint8_t, 4>{0x5C, 0x80, 0x12, 0x80}));
    // One data register of a read is refused: that byte of the caller's block is not read.
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x91 && r.setup.wIndex == 0x94; }, 1);
    uint8_t read[4] = {1, 2, 3, 4};
    EXPECT_FALSE(ReadSysPara(read));
    EXPECT_EQ(read[0], 0x5C);
    EXPECT_EQ(read[1], 2);
}

TEST_F(Mailbox, LengthZeroTouchesNoDataRegister) {
    EXPECT_TRUE(SysParaTransfer(0x10, 0x20, 0, 0, nullptr));
    EXPECT_TRUE(SysParaTransfer(0x10, 0x21, 0, 0, nullptr));
    for (const auto& w : RegisterWrites()) EXPECT_LT(w.first, 0x93);
    for (uint16_t r : RegisterReads()) EXPECT_LT(r, 0x93);
}

TEST_F(Mailbox, LengthBeyondTheDataRegistersIsRefused) {
    uint8_t data[9] = {};
    EXPECT_FALSE(SysParaTransfer(0x10, 0x20, 0, 9, data));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(Mailbox, SetSysIdSendsFourCharacters) {
    struct Case {
        std::string text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {{"6012", {0x36, 0x30, 0x31, 0x32}},
                          {"60", {0x36, 0x30, 0x00, 0x00}},
                          {"601234", {0x36, 0x30, 0x31, 0x32}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        sim->ClearLog();
        EXPECT_TRUE(SetSysId(SysId::Product, c.text));
        std::vector<uint8_t> data;
        for (const auto& w : RegisterWrites()) {
            if (w.first >= 0x93) data.push_back(w.second);
        }
        EXPECT_EQ(data, c.bytes);
        EXPECT_EQ(std::vector<uint8_t>(sim->Eeprom().pid.begin(), sim->Eeprom().pid.end()), c.bytes);
    }
    EXPECT_TRUE(SetSysId(SysId::Vendor, "1a2B"));
    EXPECT_EQ(sim->Eeprom().vid, (std::array<uint8_t, 4>{'1', 'a', '2', 'B'}));
}

TEST_F(Mailbox, StringRecordsGoInEightByteBlocks) {
    struct Case {
        size_t chars;
        std::vector<size_t> blocks;
    };
    const Case cases[] = {{0, {1}}, {7, {8}}, {8, {8, 1}}, {31, {8, 8, 8, 8}}, {40, {8, 8, 8, 8}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chars);
        std::string text;
        for (size_t i = 0; i < c.chars; ++i) text += static_cast<char>('A' + i % 26);
        sim->ClearLog();
        sim->Mailbox().ClearHistory();
        const uint64_t sleptBefore = clock.SleptMs();
        EXPECT_TRUE(SetSysString(2, text));

        const auto transfers = Transfers();
        ASSERT_EQ(transfers.size(), c.blocks.size());
        for (size_t k = 0; k < transfers.size(); ++k) {
            EXPECT_EQ(DataWrites(transfers[k]), c.blocks[k]) << "block " << k;
            EXPECT_EQ(sim->Mailbox().Completed()[k],
                      (SimMailboxCommand{0x10, 0x14, static_cast<uint8_t>(k)}));
        }
        EXPECT_EQ(transfers[0][1], (std::pair<uint16_t, uint8_t>{0x93, std::min<size_t>(c.chars, 31)}));
        EXPECT_EQ(sim->Eeprom().StringText(2), text.substr(0, 31));
        EXPECT_EQ(clock.SleptMs() - sleptBefore, c.blocks.size() * 60u);  // poll + pause
    }
}

TEST_F(Mailbox, StringNumberOutsideOneToThreeIsRefused) {
    EXPECT_FALSE(SetSysString(0, "x"));
    EXPECT_FALSE(SetSysString(4, "x"));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(Mailbox, HidKeyPollsForItsOwnCode) {
    EXPECT_TRUE(SendHidKey(0x10));
    EXPECT_EQ(sim->HidKeys(), (std::vector<uint8_t>{0x10}));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0, 0), RegWrite(0x91, 0x10), RegWrite(0x90, 0x30),
                                              RegRead(0x90)}));

    sim->SetMailboxLatency(-1);
    sim->ClearLog();
    EXPECT_FALSE(SendHidKey(0x40));
    EXPECT_EQ(RegisterReads(), std::vector<uint16_t>(10, 0x90));
    EXPECT_EQ(RegisterWrites().back(), (std::pair<uint16_t, uint8_t>{0x90, 0x30}));
    EXPECT_FALSE(gDevice.HasHandle());
}

TEST_F(Mailbox, WithoutADeviceEveryStepStillRunsAndNothingChanges) {
    sim->Unplug();
    uint8_t block[4] = {1, 2, 3, 4};
    EXPECT_FALSE(ReadSysPara(block));
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(clock.SleptMs(), 200u);
}

}  // namespace
