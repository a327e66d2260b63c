// The SPI NOR flash model, driven at the byte level as the relay drives it.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "sim/SimFlash.h"

namespace {

class SimFlashModel : public ::testing::Test {
protected:
    // One command: chip select low, the bytes, chip select high. Returns the bytes read.
    std::vector<uint8_t> Run(std::vector<uint8_t> bytes, size_t readCount = 0) {
        flash.Select();
        for (uint8_t b : bytes) flash.Exchange(b);
        std::vector<uint8_t> in(readCount);
        for (auto& b : in) b = flash.Exchange(0);
        flash.Deselect();
        return in;
    }
    void WriteEnable() { Run({0x06}); }
    std::vector<uint8_t> Read(uint32_t address, size_t count) {
        return Run({0x03, uint8_t(address >> 16), uint8_t(address >> 8), uint8_t(address)}, count);
    }
    void Program(uint32_t address, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> bytes = {0x02, uint8_t(address >> 16), uint8_t(address >> 8),
                                      uint8_t(address)};
        bytes.insert(bytes.end(), data.begin(), data.end());
        Run(bytes);
    }
    void FinishBusy() { clock.Sleep(10'000); }

    VirtualClock clock;
    SimFlash flash{clock};
};

TEST_F(SimFlashModel, IdentifiesAndReadsWithWrap) {
    EXPECT_EQ(Run({0x9F}, 3), (std::vector<uint8_t>{0xC2, 0x20, 0x14}));
    EXPECT_EQ(flash.Size(), 1u << 20);
    EXPECT_EQ(flash.PageSize(), 256u);
    flash.Contents().front() = 0x11;
    flash.Contents().back() = 0x22;
    EXPECT_EQ(Read(0x0FFFFF, 2), (std::vector<uint8_t>{0x22, 0x11}));
}

TEST_F(SimFlashModel, ProgrammingOnlyClearsBits) {
    flash.Contents()[0x100] = 0xF0;
    WriteEnable();
    Program(0x100, {0x3C});
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x100], 0x30);
    WriteEnable();
    Program(0x100, {0xFF});
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x100], 0x30);
}

TEST_F(SimFlashModel, WriteCommandsNeedTheLatchAndClearIt) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::function<bool(const SimFlash&)> tookEffect;
    };
    const std::vector<Case> cases = {
        {"status write", {0x01, 0x1C}, [](const SimFlash& f) { return (f.Status() & 0x1C) == 0x1C; }},
        {"sector erase", {0x20, 0x00, 0x20, 0x00}, [](const SimFlash& f) { return f.Contents()[0x2000] == 0xFF; }},
        {"chip erase", {0xC7}, [](const SimFlash& f) { return f.Contents()[0x2000] == 0xFF; }},
        {"page program", {0x02, 0x00, 0x30, 0x00, 0x00}, [](const SimFlash& f) { return f.Contents()[0x3000] == 0x00; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        flash.Reset();
        flash.Contents()[0x2000] = 0x00;

        Run(c.bytes);
        EXPECT_FALSE(c.tookEffect(flash));
        EXPECT_EQ(flash.Stats().refused, 1u);
        EXPECT_NE(flash.LastRefusal().find("write enable"), std::string::npos);

        WriteEnable();
        EXPECT_EQ(flash.Status() & SimFlash::kStatusWriteEnable, SimFlash::kStatusWriteEnable);
        Run(c.bytes);
        FinishBusy();
        EXPECT_TRUE(c.tookEffect(flash));
        EXPECT_EQ(flash.Status() & SimFlash::kStatusWriteEnable, 0);
    }
}

TEST_F(SimFlashModel, WriteDisableClearsTheLatch) {
    WriteEnable();
    Run({0x04});
    Program(0, {0x00});
    EXPECT_EQ(flash.Contents()[0], 0xFF);
}

TEST_F(SimFlashModel, PageProgramWrapsInsideItsPage) {
    WriteEnable();
    std::vector<uint8_t> data(32);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    Program(0x1F0, data);
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x1F0], 0);
    EXPECT_EQ(flash.Contents()[0x1FF], 15);
    EXPECT_EQ(flash.Contents()[0x100], 16);
    EXPECT_EQ(flash.Contents()[0x10F], 31);
    EXPECT_EQ(flash.Contents()[0x200], 0xFF);
}

TEST_F(SimFlashModel, ThirtyTwoBytePagePartWrapsAtThirtyTwo) {
    flash.SetJedecId(0xC2, 0x22, 0x12);
    EXPECT_EQ(flash.PageSize(), 32u);
    EXPECT_EQ(flash.Size(), 256u * 1024);
    WriteEnable();
    Program(0x3E, {0xA0, 0xA1, 0xA2});
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x3E], 0xA0);
    EXPECT_EQ(flash.Contents()[0x3F], 0xA1);
    EXPECT_EQ(flash.Contents()[0x20], 0xA2);
    EXPECT_EQ(flash.Contents()[0x40], 0xFF);
}

TEST_F(SimFlashModel, MoreThanAPageKeepsTheLastPageWorth) {
    std::vector<uint8_t> data(260, 0xAA);
    for (size_t i = 256; i < 260; ++i) data[i] = 0x55;
    WriteEnable();
    Program(0, data);
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0], 0x55);
    EXPECT_EQ(flash.Contents()[3], 0x55);
    EXPECT_EQ(flash.Contents()[4], 0xAA);
    EXPECT_EQ(flash.Contents()[255], 0xAA);
}

TEST_F(SimFlashModel, ProtectBitsBlockEraseAndProgram) {
    flash.Contents()[0x5000] = 0x00;
    WriteEnable();
    Run({0x01, 0xFF});
    FinishBusy();
    EXPECT_EQ(flash.Status(), 0x9C);  // protect bits and bit 7; latch cleared
    for (const std::vector<uint8_t>& command :
         {std::vector<uint8_t>{0x20, 0x00, 0x50, 0x00}, std::vector<uint8_t>{0xC7},
          std::vector<uint8_t>{0x02, 0x00, 0x60, 0x00, 0x00}}) {
        WriteEnable();
        Run(command);
        EXPECT_FALSE(flash.Busy());
        EXPECT_EQ(flash.Status() & SimFlash::kStatusWriteEnable, 0);
    }
    EXPECT_EQ(flash.Contents()[0x5000], 0x00);
    EXPECT_EQ(flash.Contents()[0x6000], 0xFF);
    EXPECT_EQ(flash.Stats().refused, 3u);

    WriteEnable();
    Run({0x01, 0x00});
    FinishBusy();
    WriteEnable();
    Run({0x20, 0x00, 0x50, 0x00});
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x5000], 0xFF);
}

TEST_F(SimFlashModel, SectorEraseCoversExactlyItsSector) {
    std::fill(flash.Contents().begin(), flash.Contents().end(), 0x00);
    WriteEnable();
    Run({0x20, 0x01, 0x23, 0x45});
    FinishBusy();
    EXPECT_EQ(flash.Contents()[0x011FFF], 0x00);
    EXPECT_EQ(flash.Contents()[0x012000], 0xFF);
    EXPECT_EQ(flash.Contents()[0x012FFF], 0xFF);
    EXPECT_EQ(flash.Contents()[0x013000], 0x00);
}

TEST_F(SimFlashModel, BusyTimesFollowTheClockAndTheScale) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint64_t micros;
    };
    const Case cases[] = {{"page program", {0x02, 0, 0, 0, 0x00}, SimFlash::kPageProgramMicros},
                          {"sector erase", {0x20, 0, 0, 0}, SimFlash::kSectorEraseMicros},
                          {"chip erase", {0xC7}, SimFlash::kChipEraseMicros},
                          {"status write", {0x01, 0x00}, SimFlash::kStatusWriteMicros}};
    for (double scale : {1.0, 0.01}) {
        flash.SetTimingScale(scale);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at scale " + std::to_string(scale));
            WriteEnable();
            Run(c.bytes);
            const auto busy = static_cast<uint64_t>(static_cast<double>(c.micros) * scale);
            EXPECT_EQ(Run({0x05}, 1)[0] & 0x01, 0x01);
            clock.Spend(busy - 1);
            EXPECT_EQ(Run({0x05}, 2), (std::vector<uint8_t>{0x01, 0x01}));
            clock.Spend(1);
            EXPECT_EQ(Run({0x05}, 1)[0] & 0x01, 0x00);
        }
    }
}

TEST_F(SimFlashModel, BusyFlashListensOnlyToReadStatus) {
    flash.Contents()[0] = 0x12;
    WriteEnable();
    Run({0x20, 0x00, 0x10, 0x00});
    EXPECT_EQ(Read(0, 1)[0], 0xFF);
    EXPECT_EQ(Run({0x9F}, 1)[0], 0xFF);
    WriteEnable();
    EXPECT_EQ(flash.Status() & SimFlash::kStatusWriteEnable, 0);
    FinishBusy();
    EXPECT_EQ(Read(0, 1)[0], 0x12);
}

TEST_F(SimFlashModel, StuckBusyNeverEnds) {
    flash.SetStuckBusy(true);
    clock.Sleep(1'000'000);
    EXPECT_EQ(Run({0x05}, 1)[0] & 0x01, 0x01);
}

TEST_F(SimFlashModel, WrongLengthCommandsAreIgnored) {
    flash.Contents()[0x1000] = 0x00;
    for (const std::vector<uint8_t>& command :
         {std::vector<uint8_t>{0x20, 0x00, 0x10}, std::vector<uint8_t>{0x02, 0x00, 0x10, 0x00},
          std::vector<uint8_t>{0x01}}) {
        WriteEnable();
        Run(command);
        EXPECT_FALSE(flash.Busy());
        EXPECT_EQ(flash.Status() & SimFlash::kStatusWriteEnable, SimFlash::kStatusWriteEnable);
    }
    EXPECT_EQ(flash.Contents()[0x1000], 0x00);
}

TEST_F(SimFlashModel, CorruptedReadsLeaveTheArray) {
    flash.Contents()[0x40] = 0x0F;
    flash.CorruptReadByteAt(0x40, 0x01);
    EXPECT_EQ(Read(0x3F, 3), (std::vector<uint8_t>{0xFF, 0x0E, 0xFF}));
    EXPECT_EQ(flash.Contents()[0x40], 0x0F);
    flash.ClearReadCorruption();
    EXPECT_EQ(Read(0x40, 1)[0], 0x0F);
}

TEST_F(SimFlashModel, IdentificationResizesKeepingTheStart) {
    flash.Contents()[5] = 0x05;
    flash.SetJedecId(0xEF, 0x40, 0x15);
    EXPECT_EQ(flash.Size(), 2u << 20);
    EXPECT_EQ(flash.Contents()[5], 0x05);
    EXPECT_EQ(flash.Contents()[(2u << 20) - 1], 0xFF);
    flash.SetJedecId(0xEF, 0x40, 0x7F);
    EXPECT_EQ(flash.Size(), SimFlash::kDefaultSize);
}

}  // namespace
