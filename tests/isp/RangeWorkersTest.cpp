// The single flash operations and their workers against the simulated sim->

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "IspFixture.h"
#include "isp/FlashErase.h"
#include "isp/IspOperations.h"
#include "isp/RangeWorkers.h"

namespace {

class RangeWorkersTest : public IspFixture {
protected:
    void SetUp() override {
        IspFixture::SetUp();
        // The workers run with the handle open, in ISP mode.
        gDevice.OpenDevice();
        SetIspMode(true);
        sim->ClearLog();
    }
    // Fetches of 64-byte blocks, by address of their read command.
    std::vector<uint32_t> BlockReads() const {
        std::vector<uint32_t> out;
        for (const SimRequest& r : Requests(0x81))
            if (r.data.size() == 4 && r.data[0] == 0x03)
                out.push_back(uint32_t(r.data[1]) << 16 | uint32_t(r.data[2]) << 8 | r.data[3]);
        return out;
    }
};

TEST_F(RangeWorkersTest, SectorEraseOfAssignedRange) {
    struct Case {
        uint32_t startKb, sizeKb;
        size_t sectors;
    };
    for (const Case& c : {Case{32, 32, 8}, Case{0, 0, 0}, Case{64, 4, 1}}) {
        sim->ClearLog();
        SetRange(true, c.startKb, c.sizeKb);
        gIspFail = false;
        EXPECT_TRUE(EraseFlash(EraseMode::AssignedSectors, report));
        EXPECT_FALSE(gIspFail);
        const auto erases = FlashCommands(0x20);
        ASSERT_EQ(erases.size(), c.sectors);
        const auto enables = FlashCommands(0x06);
        EXPECT_EQ(enables.size(), c.sectors);
        for (size_t i = 0; i < c.sectors; ++i) {
            const uint32_t a = c.startKb * 1024 + uint32_t(i) * 0x1000;
            EXPECT_EQ(erases[i].data[1], uint8_t(a >> 16));
            EXPECT_EQ(erases[i].data[2], uint8_t(a >> 8));
        }
    }
    EXPECT_EQ(report.infos.back().rfind("Flash Sector Erase: 0x 01", 0), 0u) << report.infos.back();
}

TEST_F(RangeWorkersTest, ChipEraseShowsStatusAndDots) {
    sim->Flash().Contents().assign(sim->Flash().Size(), 0);
    EXPECT_TRUE(EraseFlash(EraseMode::WholeChip, report));
    EXPECT_TRUE(std::all_of(sim->Flash().Contents().begin(), sim->Flash().Contents().end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(report.statusTexts.back(), "Status Register: 0x00");
    // A datasheet chip erase takes seconds: the dots must have appeared and wrapped.
    EXPECT_NE(std::find(report.infos.begin(), report.infos.end(), "Flash Erase All ."),
              report.infos.end());
}

TEST_F(RangeWorkersTest, BlankCheckOfEmptyImageLooksAtOneByte) {
    sim->Flash().Contents()[1] = 0x00;  // beyond the start byte: not examined
    gImageLength = 0;
    EXPECT_TRUE(BlankCheckRange(0, 0, report));
    EXPECT_EQ(BlockReads(), std::vector<uint32_t>{0});
}

TEST_F(RangeWorkersTest, BadByteFailsAfterThreeReadsOfItsBlock) {
    sim->Flash().Contents()[0x000123] = 0x00;
    EXPECT_FALSE(BlankCheckRange(0, 0x1000, report));
    const auto reads = BlockReads();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 0x100u), 3);
    EXPECT_EQ(report.LastInfo(), "Blanking Fail at 0x000123");
}

TEST_F(RangeWorkersTest, UnreadableBlockFailsAtItsOwnAddress) {
    sim->FailRequestsMatching([](const SimRequest& r) {
        return r.setup.bRequest == 0x81 && r.data.size() == 4 && r.data[2] == 0x02;  // 0x000200
    });
    EXPECT_FALSE(BlankCheckRange(0, 0x400, report));
    EXPECT_EQ(report.LastInfo(), "Blanking Fail at 0x000200");
}

TEST_F(RangeWorkersTest, BlockThatFailsOnceThenPassesLetsTheCheckGoOn) {
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x82 && r.length == 64; }, 1);
    EXPECT_TRUE(BlankCheckRange(0, 100, report));  // a passing last, partial block
    EXPECT_EQ(BlockReads(), (std::vector<uint32_t>{0, 0, 64}));
}

TEST_F(RangeWorkersTest, ProgramLayoutWith32BytePages) {
    sim->Flash().SetJedecId(0xC2, 0x22, 0x13);
    gPageSize = 32;
    const auto image = Pattern(100);
    LoadImage(image);
    EXPECT_TRUE(ProgramRange(0, 100, report));
    const auto pages = PageData();
    ASSERT_EQ(pages.size(), 4u);
    EXPECT_EQ(report.addresses, (std::vector<std::string>{"0x000000", "0x000020", "0x000040",
                                                          "0x000060"}));
    std::vector<uint8_t> last(image.begin() + 96, image.end());
    last.resize(32, 0xFF);
    EXPECT_EQ(pages[3].data, last);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Flash().Contents().begin()));
}

TEST_F(RangeWorkersTest, ErasedPagesAreSkippedEntirely) {
    std::vector<uint8_t> image(768, 0xFF);
    image[600] = 0x12;  // only the third page holds data
    LoadImage(image);
    EXPECT_TRUE(ProgramRange(0, 768, report));
    EXPECT_EQ(PageData().size(), 1u);
    EXPECT_EQ(FlashCommands(0x06).size(), 1u);
    EXPECT_EQ(Requests(0x81).size(), 1u) << "one status read, for the one page sent";
    EXPECT_EQ(sim->Flash().Contents()[600], 0x12);
}

TEST_F(RangeWorkersTest, VerifyWithAssignedRangeComparesAtTheRangeStart) {
    const auto image = Pattern(300);
    LoadImage(image);
    SetRange(true, 64, 32);
    std::copy(image.begin(), image.end(), sim->Flash().Contents().begin() + 0x10000);
    EXPECT_TRUE(RunVerify(true, report));
    EXPECT_EQ(report.LastInfo(), "Verifying Success");
    sim->Flash().Contents()[0x10000 + 7] ^= 0xFF;
    EXPECT_FALSE(RunVerify(true, report));
    EXPECT_EQ(report.LastInfo(), "Verifying Fail at 0x010007");
}

TEST_F(RangeWorkersTest, ReadBackSavesExactly128K) {
    auto& flash = sim->Flash().Contents();
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = uint8_t(i * 7);
    EXPECT_TRUE(RunReadBack(report));
    EXPECT_EQ(report.LastInfo(), "Read Flash content Success");
    const auto dir = std::filesystem::path(::testing::TempDir()) / "readback";
    std::filesystem::create_directories(dir);
    const auto file = (dir / "flash.bin").string();
    ASSERT_TRUE(SaveReadBackImage(file, 0x20000));
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> saved((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(saved.size(), 131072u);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), flash.begin()));
    std::string error;
    EXPECT_FALSE(SaveReadBackImage((dir / "missing" / "x.bin").string(), 0x20000, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(RangeWorkersTest, ReadBackOfAnUnstableBlockFails) {
    auto& flash = sim->Flash().Contents();
    for (size_t i = 0; i < flash.size(); ++i) flash[i] = uint8_t(i * 7 + 1);
    // The second read of the block at 0x40 never arrives, so the two copies disagree.
    int fetches = 0;
    sim->FailRequestsMatching([&](const SimRequest& r) {
        if (r.setup.bRequest != 0x82 || r.length != 64) return false;
        ++fetches;
        return fetches >= 4 && fetches % 2 == 0;
    });
    EXPECT_FALSE(RunReadBack(report));
    EXPECT_EQ(report.LastInfo(), "Verifying Fail at 0x000040");
    EXPECT_EQ(gReadBackImage[0x80], 0x5A) << "bytes never read";
    EXPECT_EQ(gReadBackImage[0x3F], flash[0x3F]);
}

}  // namespace
