// The serial-flash relay commands: request layouts, bounded waits, and failure results.

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "SimFixture.h"
#include "chip/SpiFlash.h"

namespace {

constexpr uint8_t kFlashWrite = 0x80;
constexpr uint8_t kCommandRead = 0x81;
constexpr uint8_t kFetch = 0x82;
constexpr uint8_t kReady = 0x83;

SimReq Ready() { return VendorIn(kReady, 0, 0, 1); }

bool IsRequest(const SimRequest& r, uint8_t code) { return r.setup.bRequest == code; }

// gDevice open on a chip in ISP mode, log cleared.
class SpiFlash : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(Open());
        ASSERT_TRUE(SetIspMode(true));
        sim->ClearLog();
    }
};

struct CommandCase {
    const char* name;
    std::function<bool()> call;
    std::vector<uint8_t> sent;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class SpiFlashCommand : public SpiFlash, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(SpiFlashCommand, IsOneFlashWriteEndingTheCommand) {
    EXPECT_TRUE(GetParam().call());
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(kFlashWrite, 0, 1, GetParam().sent)}));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SpiFlashCommand,
    ::testing::Values(
        CommandCase{"WriteEnable", [] { return FlashWriteEnable(); }, {0x06}},
        CommandCase{"WriteDisable", [] { return FlashWriteDisable(); }, {0x04}},
        CommandCase{"EraseChip", [] { return FlashEraseChip(); }, {0xC7}},
        CommandCase{"EraseSector", [] { return FlashEraseSector(0x012345); }, {0x20, 0x01, 0x23, 0x45}},
        CommandCase{"EraseSectorSendsLow24Bits", [] { return FlashEraseSector(0xAB012345); },
                    {0x20, 0x01, 0x23, 0x45}},
        CommandCase{"WriteStatus", [] { return FlashWriteStatus(0xFF); }, {0x01, 0xFF}},
        CommandCase{"SendCommandWithThreeBytes",
                    [] {
                        const uint8_t data[3] = {1, 2, 3};
                        return FlashSendCommand(0xAA, 3, data);
                    },
                    {0xAA, 1, 2, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SpiFlash, SendCommandRefusesMoreThanThreeDataBytes) {
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_FALSE(FlashSendCommand(0xAA, 4, data));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(SpiFlash, ReadBlockSendsReadDataThenFetches) {
    sim->Flash().Contents()[0x1000] = 0x42;
    uint8_t block[64] = {};
    EXPECT_TRUE(FlashReadBlock(0x001000, 64, block));
    EXPECT_EQ(block[0], 0x42);
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(kCommandRead, 64, 1, {0x03, 0x00, 0x10, 0x00}),
                                              Ready(), VendorIn(kFetch, 0, 0, 64)}));
}

TEST_F(SpiFlash, ReadBlockWaitsAtMostAHundredQuestions) {
    sim->SetReadyNeverSet(true);
    uint8_t block[64];
    std::fill(std::begin(block), std::end(block), 0x77);
    EXPECT_FALSE(FlashReadBlock(0, 64, block));
    EXPECT_EQ(Requests(kReady).size(), 100u);
    EXPECT_TRUE(Requests(kFetch).empty());
    EXPECT_EQ(clock.SleptMs(), 99u);  // 1 ms after each "not ready" but the last
    EXPECT_EQ(block[10], 0x77);
}

TEST_F(SpiFlash, ReadBlockPausesOneMillisecondPerNotReady) {
    sim->Relay().SetReadyLatency(3);
    uint8_t block[64];
    EXPECT_TRUE(FlashReadBlock(0, 64, block));
    EXPECT_EQ(Requests(kReady).size(), 4u);
    EXPECT_EQ(clock.SleptMs(), 3u);
}

TEST_F(SpiFlash, ReadBlockRefusesWhatOneFetchCannotCarry) {
    uint8_t block[256];
    EXPECT_FALSE(FlashReadBlock(0, 256, block));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(SpiFlash, ReadBlockFailsWhenTheReadRequestFails) {
    sim->FailRequestsMatching([](const SimRequest& r) { return IsRequest(r, kCommandRead); });
    uint8_t block[64];
    EXPECT_FALSE(FlashReadBlock(0, 64, block));
    EXPECT_EQ(Summary().size(), 1u);  // no ready question, no fetch
}

TEST_F(SpiFlash, ProgramPageSendsHeaderThenData) {
    std::vector<uint8_t> page(256);
    std::iota(page.begin(), page.end(), uint8_t{0});
    ASSERT_TRUE(FlashWriteEnable());
    sim->ClearLog();
    EXPECT_TRUE(FlashProgramPage(0x000100, 256, page.data()));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(kFlashWrite, 0, 0, {0x02, 0x00, 0x01, 0x00}),
                                              VendorOut(kFlashWrite, 0, 1, page)}));
    EXPECT_TRUE(std::equal(page.begin(), page.end(), sim->Flash().Contents().begin() + 0x100));
}

TEST_F(SpiFlash, ProgramPageFailsWhenEitherRequestFails) {
    const uint8_t data[4] = {1, 2, 3, 4};
    for (uint16_t failingIndex : {0, 1}) {
        SCOPED_TRACE(failingIndex);
        sim->FailRequestsMatching(
            [failingIndex](const SimRequest& r) {
                return IsRequest(r, kFlashWrite) && r.setup.wIndex == failingIndex;
            },
            1);
        EXPECT_FALSE(FlashProgramPage(0, 4, data));
    }
    EXPECT_TRUE(FlashProgramPage(0, 4, data));
}

TEST_F(SpiFlash, ProgramPageRefusesLengthsOutsideOneToAPage) {
    std::vector<uint8_t> data(257, 0);
    EXPECT_FALSE(FlashProgramPage(0, 0, data.data()));
    EXPECT_FALSE(FlashProgramPage(0, 257, data.data()));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(SpiFlash, ReadIdFillsTheGlobal) {
    sim->Flash().SetJedecId(0xC2, 0x22, 0x13);
    EXPECT_TRUE(FlashReadId());
    EXPECT_EQ(std::vector<uint8_t>(gFlashId, gFlashId + 3), (std::vector<uint8_t>{0xC2, 0x22, 0x13}));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(kCommandRead, 3, 1, {0x9F}), Ready(),
                                              VendorIn(kFetch, 0, 0, 3)}));
}

TEST_F(SpiFlash, ReadIdFailureKeepsTheGlobal) {
    ASSERT_TRUE(FlashReadId());
    sim->Flash().SetJedecId(0xEF, 0x40, 0x14);

    sim->SetReadyNeverSet(true);
    sim->ClearLog();
    EXPECT_FALSE(FlashReadId());
    EXPECT_EQ(Requests(kReady).size(), 100u);
    EXPECT_EQ(clock.SleptMs(), 0u);  // questions back to back

    sim->SetReadyNeverSet(false);
    sim->FailRequestsMatching([](const SimRequest& r) { return IsRequest(r, kFetch); }, 1);
    EXPECT_FALSE(FlashReadId());
    EXPECT_EQ(std::vector<uint8_t>(gFlashId, gFlashId + 3), (std::vector<uint8_t>{0xC2, 0x20, 0x14}));
}

TEST_F(SpiFlash, ReadStatusReturnsTheStatusByte) {
    sim->Flash().SetStatus(0x1C);
    EXPECT_EQ(FlashReadStatus(), 0x1C);
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(kCommandRead, 1, 1, {0x05}), Ready(),
                                              VendorIn(kFetch, 0, 0, 1)}));
}

TEST_F(SpiFlash, ReadStatusGivesFFWhenItCannotRead) {
    sim->Flash().SetStatus(0x00);
    sim->SetReadyNeverSet(true);
    EXPECT_EQ(FlashReadStatus(), 0xFF);
    EXPECT_EQ(Requests(kReady).size(), 10u);
    EXPECT_TRUE(Requests(kFetch).empty());

    sim->SetReadyNeverSet(false);
    sim->FailRequestsMatching([](const SimRequest& r) { return IsRequest(r, kFetch); }, 1);
    EXPECT_EQ(FlashReadStatus(), 0xFF);
    EXPECT_EQ(FlashReadStatus(), 0x00);
}

TEST_F(SpiFlash, EnteringIspModeWritesBank13Registers) {
    ASSERT_TRUE(SetIspMode(false));
    sim->ClearLog();
    EXPECT_TRUE(SetIspMode(true));
    EXPECT_TRUE(sim->InIspMode());
    EXPECT_EQ(Summary(), (std::vector<SimReq>{VendorOut(0x84, 0x3F49, 0x7C1A, {}), RegWrite(0, 0x0D),
                                              RegWrite(7, 0x10), RegWrite(1, 0x03)}));
    EXPECT_EQ(sim->Register(0x0D, 7), 0x10);
}

TEST_F(SpiFlash, LeavingIspModeWritesRegistersEvenWhenRefused) {
    sim->FailRequestsMatching([](const SimRequest& r) { return IsRequest(r, 0x85); }, 1);
    EXPECT_FALSE(SetIspMode(false));
    EXPECT_TRUE(sim->InIspMode());
    EXPECT_TRUE(SetIspMode(false));
    EXPECT_FALSE(sim->InIspMode());
    const SimReq leave = VendorOut(0x85, 0x1B8D, 0x9A4E, {});
    EXPECT_EQ(Summary(), (std::vector<SimReq>{leave, RegWrite(0, 0x0D), RegWrite(7, 0x00), leave,
                                              RegWrite(0, 0x0D), RegWrite(7, 0x00)}));
}

TEST_F(SpiFlash, EveryCommandFailsWithoutAHandle) {
    gDevice.CloseDevice();
    uint8_t block[64];
    EXPECT_FALSE(SpiReady());
    EXPECT_FALSE(FlashWriteEnable());
    EXPECT_FALSE(FlashReadBlock(0, 64, block));
    EXPECT_FALSE(FlashReadId());
    EXPECT_EQ(FlashReadStatus(), 0xFF);
    EXPECT_FALSE(SetIspMode(false));
    EXPECT_TRUE(sim->Log().empty());
}

}  // namespace
