// The Auto sequence against the simulated chip: whole updates, options, ranges, faults and
// Stop.

#include <algorithm>

#include "IspFixture.h"
#include "files/ProgramFile.h"
#include "isp/FlashErase.h"
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
    sim->Flash().SetStuckAfterFirstWrite(true);  // hangs in the chip erase
    const AutoResult result = Run();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedSteps, (std::vector<std::string>{"erase", "protect"}));
    EXPECT_TRUE(gIspFail);
    EXPECT_NE(std::find(report.infos.begin(), report.infos.end(), "Erase Flash Fail"),
              report.infos.end());
    EXPECT_EQ(report.LastInfo(), "Flash Protect Fail") << "the unprotected chip is not hidden";
    EXPECT_TRUE(PageData().empty());
    EXPECT_TRUE(Sent(0x85)) << "ISP mode is still left";
}

TEST_F(AutoSequenceTest, FlashThatCannotBeUnprotectedIsNotErased) {
    LoadImage(Pattern(256));
    sim->Flash().SetStatus(kProtectBits);
    sim->Flash().SetStuckBusy(true);  // the status write never completes
    const AutoResult result = Run();
    EXPECT_EQ(result.failedStep, "unprotect");
    EXPECT_NE(std::find(report.infos.begin(), report.infos.end(), "Flash Unprotect Fail"),
              report.infos.end());
    EXPECT_TRUE(FlashCommands(0xC7).empty());
    EXPECT_TRUE(PageData().empty());
    EXPECT_FALSE(sim->InIspMode());
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
    uint64_t unpluggedAt = 0;
    report.onPump = [&](size_t) {
        if (!PageData().empty() && sim->Present()) {
            sim->Unplug();
            unpluggedAt = clock.NowMicros();
        }
    };
    const AutoResult result = Run();
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failedSteps,
              (std::vector<std::string>{"program", "protect", "leave-isp-mode"}));
    EXPECT_TRUE(result.linkLost && result.linkGone);
    EXPECT_NE(std::find_if(report.infos.begin(), report.infos.end(),
                           [](const std::string& t) { return t.rfind("Programming Fail at 0x", 0) == 0; }),
              report.infos.end());
    EXPECT_EQ(report.LastInfo(), "Flash Protect Fail");
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_LT(clock.NowMicros() - unpluggedAt, 100'000u) << "a device that went away costs no waits";
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

bool IsStatusWrite(const SimRequest& r, uint8_t value) {
    return r.setup.bRequest == 0x80 && r.data == std::vector<uint8_t>{0x01, value};
}

TEST_F(AutoSequenceTest, ProtectionIsReadBackAndWrittenAgainUntilItHolds) {
    struct Case {
        const char* name;
        int refusedWrites;  // protect writes the chip refuses (-1: all)
        bool success;
        size_t writes;
    } cases[] = {
        {"taken at once", 0, true, 1},
        {"taken at the second attempt", 1, true, 2},
        {"never taken", -1, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetIspGlobals();
        sim->ClearLog();
        sim->ClearFaults();
        sim->Flash().SetStatus(0);
        LoadImage(Pattern(512));
        if (c.refusedWrites != 0)
            sim->FailRequestsMatching([](const SimRequest& r) { return IsStatusWrite(r, 0xFF); },
                                      c.refusedWrites);
        report = RecordingReporter{};
        const AutoResult result = Run();
        EXPECT_EQ(result.success, c.success);
        EXPECT_EQ(FlashCommands(0x01).size() - 1, c.writes) << "one write clears the protection";
        EXPECT_EQ((sim->Flash().Status() & kProtectBits) != 0, c.success);
        if (!c.success) {
            EXPECT_EQ(result.failedSteps, std::vector<std::string>{"protect"});
            EXPECT_EQ(report.LastInfo(), "Flash Protect Fail");
        }
        EXPECT_FALSE(sim->InIspMode());
    }
}

TEST_F(AutoSequenceTest, RefusedPageDataEndsThePageCommandHarmlessly) {
    const auto image = Pattern(1024);
    LoadImage(image);
    sim->RefusePageDataFromCall(1);  // the first page's data
    AutoOptions options;
    options.verify = false;
    const AutoResult result = Run(options);
    EXPECT_EQ(result.failedSteps, std::vector<std::string>{"program"});
    EXPECT_EQ(report.LastInfo(), "Programming Fail at 0x000000");
    // Without the closing byte the write enable of the protection would have been shifted
    // into the open page command and programmed there.
    const auto& flash = sim->Flash().Contents();
    EXPECT_TRUE(std::all_of(flash.begin(), flash.begin() + 256, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(sim->Flash().Status() & kProtectBits, kProtectBits);
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(AutoSequenceTest, PageDataIsNotSentWithoutItsHeader) {
    // 0xC7 first: sent without the page header it would reach the flash as a chip erase.
    std::vector<uint8_t> image(256, 0xC7);
    LoadImage(image);
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x80 && r.setup.wIndex == 0; }, 1);
    AutoOptions options;
    options.erase = options.blank = options.verify = false;
    sim->Flash().Contents()[0x1000] = 0x00;
    EXPECT_FALSE(Run(options).success);
    EXPECT_EQ(sim->Flash().Stats().chipErases, 0u);
    EXPECT_EQ(sim->Flash().Contents()[0x1000], 0x00);
}

TEST_F(AutoSequenceTest, RangesPastTheFlashAreRefusedBeforeAnythingIsErased) {
    struct Case {
        const char* name;
        uint8_t capacityCode;  // third identification byte
        uint32_t imageLength;
        bool assign;
        uint32_t startKb, sizeKb;
    } cases[] = {
        {"assigned range past 1 MB", 0x14, 0x10000, true, 1024, 64},
        {"image past the end of an assigned start", 0x14, 0x20000, true, 960, 32},
        {"whole image larger than a 64 KB flash", 0x10, 0x20000, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResetIspGlobals();
        sim->ClearLog();
        sim->Flash().SetJedecId(0xC2, 0x20, c.capacityCode);
        sim->Flash().Contents().assign(sim->Flash().Size(), 0x00);  // the firmware in place
        sim->Flash().SetStatus(kProtectBits);
        LoadImage(Pattern(c.imageLength));
        report = RecordingReporter{};
        AutoOptions options;
        options.assignRange = c.assign;
        options.startKb = c.startKb;
        options.sizeKb = c.sizeKb;
        const AutoResult result = Run(options);
        EXPECT_EQ(result.failedSteps, std::vector<std::string>{"range"});
        EXPECT_EQ(report.LastInfo(), "Range beyond flash size");
        EXPECT_TRUE(FlashCommands(0xC7).empty());
        EXPECT_TRUE(FlashCommands(0x20).empty());
        EXPECT_TRUE(PageData().empty());
        EXPECT_EQ(sim->Flash().Contents()[0], 0x00);
        EXPECT_EQ(sim->Flash().Status() & kProtectBits, kProtectBits);
        EXPECT_FALSE(sim->InIspMode());
    }
}

TEST_F(AutoSequenceTest, RangeEndingAtTheCapacityNeverReadsPastIt) {
    sim->Flash().SetJedecId(0xC2, 0x20, 0x10);  // 64 KB
    sim->Flash().Contents()[0] = 0x00;          // would be read if an address wrapped round
    const auto image = Pattern(0x8000);
    LoadImage(image);
    AutoOptions options;
    options.assignRange = true;
    options.startKb = 32;
    options.sizeKb = 32;
    const AutoResult result = Run(options);
    EXPECT_TRUE(result.success) << result.failedStep;
    EXPECT_TRUE(FlashHolds(image, 0x8000));
    for (const SimRequest& r : Requests(0x81)) {
        if (r.data.size() != 4) continue;
        const uint32_t a = uint32_t{r.data[1]} << 16 | uint32_t{r.data[2]} << 8 | r.data[3];
        EXPECT_GE(a, 0x8000u);
        EXPECT_LT(a, 0x10000u);
    }
}

TEST_F(AutoSequenceTest, UnreadableFlashIdErasesNothing) {
    LoadImage(Pattern(512));
    sim->Flash().Contents()[0] = 0x00;
    // The fetch of the three identification bytes fails.
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x82 && r.length == 3; });
    const AutoResult result = Run();
    EXPECT_EQ(result.failedSteps, std::vector<std::string>{"flash-id"});
    EXPECT_EQ(report.LastInfo(), "Flash ID Read Fail");
    EXPECT_TRUE(FlashCommands(0xC7).empty());
    EXPECT_TRUE(PageData().empty());
    EXPECT_EQ(sim->Flash().Contents()[0], 0x00);
    EXPECT_EQ(sim->Flash().Status() & kProtectBits, kProtectBits) << "still protected";
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(AutoSequenceTest, WedgedDeviceEndsTheRunWithinSeconds) {
    for (size_t wedgedFrom : {size_t{1}, size_t{60}, size_t{2000}}) {
        SCOPED_TRACE(wedgedFrom);
        ResetIspGlobals();
        sim->ResetToDefaults();
        sim->SetIdentity(InitialIdentity());
        gDevice.FindDevice();
        LoadImage(Pattern(0x10000));
        const uint64_t start = clock.NowMicros();
        sim->WedgeFromCall(sim->Calls() + wedgedFrom);
        const AutoResult result = Run();
        EXPECT_FALSE(result.success);
        EXPECT_TRUE(result.linkLost);
        EXPECT_FALSE(result.linkGone);
        EXPECT_LT(clock.NowMicros() - start, 30'000'000u);
    }
}

TEST_F(AutoSequenceTest, StoppedSectorEraseIsNotASuccess) {
    SetRange(true, 32, 32);
    gStopRequest = true;
    EXPECT_FALSE(EraseFlash(EraseMode::AssignedSectors, report));
    EXPECT_TRUE(FlashCommands(0x20).empty());
    EXPECT_FALSE(gIspFail) << "stopped, not failed";
    EXPECT_EQ(std::count(report.infos.begin(), report.infos.end(), "Erase Flash Fail"), 0);
}

}  // namespace
