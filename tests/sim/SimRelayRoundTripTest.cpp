// Whole flash round trips through the ISP relay, on both driver encodings.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

#include "SimFixture.h"
#include "chip/SpiFlash.h"

namespace {

struct Encoding {
    const char* name;
    SimIdentity identity;
    bool ksPath;
};

void PrintTo(const Encoding& e, std::ostream* os) { *os << e.name; }

class RelayRoundTrip : public SimFixtureWithParam<Encoding> {
protected:
    SimIdentity InitialIdentity() const override { return GetParam().identity; }

    // Waits for the flash the way the ISP page does: status polls 1 ms apart.
    bool WaitIdle() {
        for (int i = 0; i < 1000; ++i) {
            if ((FlashReadStatus() & 0x01) == 0) return true;
            clock.Sleep(1);
        }
        return false;
    }
};

TEST_P(RelayRoundTrip, ProgramsPagesAndReadsThemBack) {
    ASSERT_EQ(gDevice.GetKsPath() != 0, GetParam().ksPath);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(SetIspMode(true));
    ASSERT_TRUE(FlashReadId());
    EXPECT_EQ(std::vector<uint8_t>(gFlashId, gFlashId + 3), (std::vector<uint8_t>{0xC2, 0x20, 0x14}));

    ASSERT_TRUE(FlashWriteEnable());
    ASSERT_TRUE(FlashEraseSector(0x001000));
    ASSERT_TRUE(WaitIdle());

    std::vector<uint8_t> image(1024);
    std::iota(image.begin(), image.end(), uint8_t{7});
    for (uint32_t page = 0; page < image.size(); page += 256) {
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(FlashWriteEnable());
        ASSERT_TRUE(FlashProgramPage(0x001000 + page, 256, image.data() + page));
    }
    ASSERT_TRUE(WaitIdle());

    std::vector<uint8_t> back(image.size(), 0);
    for (uint32_t block = 0; block < back.size(); block += 64) {
        ASSERT_TRUE(FlashReadBlock(0x001000 + block, 64, back.data() + block));
    }
    EXPECT_EQ(back, image);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Flash().Contents().begin() + 0x1000));
    for (const SimRequest& r : sim->Log()) EXPECT_EQ(r.ksPath, GetParam().ksPath);

    ASSERT_TRUE(SetIspMode(false));
    EXPECT_FALSE(sim->InIspMode());
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, RelayRoundTrip,
                         ::testing::Values(Encoding{"AudioDriver", SimIdentity::Normal, true},
                                           Encoding{"Generic7C3D", SimIdentity::Update7C3D, false},
                                           Encoding{"Generic0B7E", SimIdentity::Update0B7E, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
