// The Auto sequence against the simulated chip: whole updates, options, ranges, faults and
// Stop.

#include <algorithm>

#include "IspFixture.h"
#include "files/ProgramFile.h"
#include "isp/IspOperations.h"

namespace {

class AutoSequenceTest : public IspFixture {
protected:
    AutoResult Run(const AutoOptions& options = {}) { return RunAutoSequence(options, report); }
    bool FlashHolds(const std::vector<uint8_t>& image, uint32_t at = 0) const {
        const auto& flash = sim->Flash().Contents();
        return std::equal(image.begin(), image.end(), flash.begin() + at);
    }
    bool Sent(uint8_t bRequest) const { return !Requests(bRequest).empty(); }
    static constexpr uint8_t kProtectBits = 0x1C;
};

TEST_F(AutoSequenceTest, WholeUpdateOf256KBinary) {
    const auto image = Pattern(0x40000);
    LoadImage(image);
    sim->Flash().Contents().assign(sim->Flash().Size(), 0x00);  // old firmware everywhere
    sim->Flash().SetStatus(kProtectBits);                        // and protected

    const AutoResult result = Run();

    EXPECT_TRUE(result.success) << result.failedStep;
    EXPECT_TRUE(FlashHolds(image));
    EXPECT_EQ(sim->Flash().Status() & kProtectBits, kProtectBits);
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_FALSE(report.progressWentBack);
    const std::vector<std::string> expected = {
        "Enter ISP Mode",       "Clear Status register", "Flash Erase All ",
        "Start Blanking Check", "Blanking Success",      "Start Programming",
        "Programming Success",  "Start Verifying Check", "Verifying Success"};
    std::vector<std::string> seen;
    for (const auto& t : report.infos)
        if (t.rfind("Flash Erase All ", 0) != 0 || t == "Flash Erase All ") seen.push_back(t);
    EXPECT_EQ(seen, expected);
}

TEST_F(AutoSequenceTest, WholeUpdateOf64KHexImage) {
    const std::string path = ::testing::TempDir() + "auto64k.hex";
    {
        // 64 KiB as Intel HEX records, 16 bytes each.
        std::FILE* f = std::fopen(path.c_str(), "w");
        const auto data = Pattern(0x10000, 9);
        for (uint32_t at = 0; at < data.size(); at += 16) {
            uint8_t sum = 16 + (at >> 8) + (at & 0xFF);
            std::fprintf(f, ":10%04X00", at);
            for (int i = 0; i < 16; ++i) {
                std::fprintf(f, "%02X", data[at + i]);
                sum += data[at + i];
            }
            std::fprintf(f, "%02X\n", uint8_t(-sum));
        }
        std::fprintf(f, ":00000001FF\n");
        std::fclose(f);
    }
    ASSERT_TRUE(LoadProgramFile(path).ok);
    const std::vector<uint8_t> image(gFlashImage, gFlashImage + 0x10000);
    EXPECT_EQ(image, Pattern(0x10000, 9));

    EXPECT_TRUE(Run().success);
    EXPECT_TRUE(FlashHolds(image));
    EXPECT_EQ(report.LastInfo(), "Verifying Success");
    EXPECT_NE(sim->Flash().Status() & kProtectBits, 0);
}

TEST_F(AutoSequenceTest, PageSizeFollowsFlashId) {
    struct Case {
        uint8_t id[3];
        size_t page;
    };
    for (const Case& c : {Case{{0xC2, 0x22, 0x13}, 32}, Case{{0xC2, 0x20, 0x14}, 256},
                          Case{{0xEF, 0x40, 0x14}, 256}}) {
        sim->Flash().SetJedecId(c.id[0], c.id[1], c.id[2]);
        sim->Flash().Contents().assign(sim->Flash().Size(), 0xFF);
        sim->ClearLog();
        const auto image = Pattern(1000);
        LoadImage(image);
        EXPECT_TRUE(Run().success);
        EXPECT_EQ(gPageSize, c.page);
        const auto pages = PageData();
        ASSERT_FALSE(pages.empty());
        for (const auto& p : pages) EXPECT_EQ(p.length, c.page);
        EXPECT_TRUE(FlashHolds(image));
    }
}

TEST_F(AutoSequenceTest, FailedBlankCheckWithoutEraseSkipsProgramAndVerifyButProtects) {
    LoadImage(Pattern(4096));
    sim->Flash().Contents()[10] = 0x00;
    AutoOptions options;
    options.erase = false;

    const AutoResult result = Run(options);

    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedStep, "blank");
    EXPECT_TRUE(gIspFail);
    EXPECT_EQ(report.LastInfo(), "Blanking Fail at 0x00000A");
    EXPECT_TRUE(PageData().empty());
    EXPECT_EQ(std::count(report.infos.begin(), report.infos.end(), "Start Verifying Check"), 0);
    const auto statusWrites = FlashCommands(0x01);
    ASSERT_EQ(statusWrites.size(), 1u);
    EXPECT_EQ(statusWrites[0].data, (std::vector<uint8_t>{0x01, 0xFF}));
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_TRUE(Sent(0x85));
}

TEST_F(AutoSequenceTest, WithoutIspModeNoModeRequestIsSent) {
    LoadImage(Pattern(256));
    AutoOptions options;
    options.ispMode = false;
    Run(options);
    EXPECT_FALSE(Sent(0x84));
    EXPECT_FALSE(Sent(0x85));
    EXPECT_EQ(report.infos.front(), "Enter ISP Mode");
}

TEST_F(AutoSequenceTest, AssignedRangeErasesItsSectorsAndPlacesTheImage) {
    const auto image = Pattern(5000);
    LoadImage(image);
    sim->Flash().Contents().assign(sim->Flash().Size(), 0x00);
    AutoOptions options;
    options.assignRange = true;
    options.startKb = 64;
    options.sizeKb = 128;

    EXPECT_TRUE(Run(options).success);

    const auto erases = FlashCommands(0x20);
    ASSERT_EQ(erases.size(), 32u);
    for (size_t i = 0; i < erases.size(); ++i) {
        const uint32_t a = 0x10000 + uint32_t(i) * 0x1000;
        EXPECT_EQ(erases[i].data, (std::vector<uint8_t>{0x20, uint8_t(a >> 16), uint8_t(a >> 8), 0}));
    }
    EXPECT_TRUE(FlashCommands(0xC7).empty());
    EXPECT_TRUE(FlashHolds(image, 0x10000));
    EXPECT_EQ(sim->Flash().Contents()[0xFFFF], 0x00) << "outside the range nothing changed";
    EXPECT_EQ(sim->Flash().Contents()[0x30000], 0x00);
}

TEST_F(AutoSequenceTest, FlashStuckBusyFailsTheEraseAfterThousandPolls) {
    LoadImage(Pattern(256));
    sim->Flash().SetStuckBusy(true);
    const AutoResult result = Run();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedStep, "erase");
    EXPECT_TRUE(gIspFail);
    EXPECT_NE(std::find(report.infos.begin(), report.infos.end(), "Erase Flash Fail"),
              report.infos.end());
    EXPECT_TRUE(PageData().empty());
    EXPECT_TRUE(Sent(0x85)) << "ISP mode is still left";
}

TEST_F(AutoSequenceTest, CorruptedReadFailsVerifyAtItsAddress) {
    LoadImage(Pattern(2048));
    sim->CorruptReadByteAt(0x000456, 0x01);
    AutoOptions options;
    options.blank = false;  // the corruption would show in the blank check first
    const AutoResult result = Run(options);
    EXPECT_EQ(result.failedStep, "verify");
    EXPECT_EQ(report.LastInfo(), "Verifying Fail at 0x000456");
    EXPECT_NE(sim->Flash().Status() & kProtectBits, 0);
}

TEST_F(AutoSequenceTest, RefusedPageProgramIsReported) {
    LoadImage(Pattern(1024));
    sim->FailRequestsMatching(
        [](const SimRequest& r) {
            return r.setup.bRequest == 0x80 && r.setup.wIndex == 0 && r.data.size() == 4 &&
                   r.data[0] == 0x02 && r.data[2] == 0x01;  // the page at 0x000100
        },
        1);
    AutoOptions options;
    options.verify = false;  // the failure must show without a verify
    const AutoResult result = Run(options);
    EXPECT_EQ(result.failedStep, "program");
    EXPECT_EQ(report.LastInfo(), "Programming Fail at 0x000100");
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(AutoSequenceTest, UnplugDuringProgrammingEndsWithoutHanging) {
    LoadImage(Pattern(0x8000));
    // Let the run get into programming, then pull the cable.
    report.onPump = [&](size_t) {
        if (!PageData().empty() && sim->Present()) sim->Unplug();
    };
    const AutoResult result = Run();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedStep, "program");
    EXPECT_EQ(report.LastInfo().rfind("Programming Fail at 0x", 0), 0u) << report.LastInfo();
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_LT(clock.NowMicros(), 60'000'000u) << "bounded waits only";
}

TEST_F(AutoSequenceTest, StopDuringProgrammingStillProtectsAndLeavesIspMode) {
    LoadImage(Pattern(0x8000));
    size_t pagesAtStop = 0;
    report.onPump = [&](size_t) {
        if (PageData().size() == 5 && !gStopRequest) {
            gStopRequest = true;
            pagesAtStop = PageData().size();
        }
    };
    const AutoResult result = Run();
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.success);
    EXPECT_LE(PageData().size(), pagesAtStop + 1) << "stops at the next page";
    EXPECT_EQ(std::count(report.infos.begin(), report.infos.end(), "Start Verifying Check"), 0);
    EXPECT_NE(sim->Flash().Status() & kProtectBits, 0);
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_EQ(report.LastInfo(), "Stopped");
}

TEST_F(AutoSequenceTest, FullImageVerifyComparesBytePastTheImageWithErased) {
    LoadImage(Pattern(0x40000));
    ASSERT_TRUE(Run().success);
    sim->Flash().Contents()[0x40000] = 0x00;  // the byte one past the image
    gDevice.OpenDevice();
    SetIspMode(true);
    gDevice.CloseDevice();
    EXPECT_FALSE(RunVerify(false, report));
    EXPECT_EQ(report.LastInfo(), "Verifying Fail at 0x040000");
}

}  // namespace
