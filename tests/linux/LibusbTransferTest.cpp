// Chip commands through libusb, in both driver encodings: what the device receives on the
// bus, byte for byte, is the same plain vendor request either way.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <numeric>
#include <vector>

#include "LibusbChipFixture.h"
#include "chip/Registers.h"
#include "chip/SpiFlash.h"

namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

TEST_P(LibusbBothPaths, RegisterWriteThenRead) {
    ASSERT_TRUE(WriteRegister(0x21, 0x5A));
    uint8_t value = 0;
    ASSERT_TRUE(ReadRegister(0x21, &value));

    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(chip->Register(chip->SelectedBank(), 0x21), 0x5A);
    EXPECT_THAT(device->Requests(),
                ElementsAre(BusRequest{SetupPacket(0x43, 0x90, 0, 0x21, 1), {0x5A}},
                            BusRequest{SetupPacket(0xC3, 0x91, 0, 0x21, 1), {}}));
}

TEST_P(LibusbBothPaths, FlashBlockReadAndPageProgram) {
    Bytes stored(64);
    std::iota(stored.begin(), stored.end(), uint8_t{0x40});
    std::copy(stored.begin(), stored.end(), chip->Flash().Contents().begin() + 0x1000);
    ASSERT_TRUE(SetIspMode(true));
    device->ClearRequests();

    Bytes block(64, 0);
    ASSERT_TRUE(FlashReadBlock(0x001000, 64, block.data()));
    EXPECT_EQ(block, stored);
    std::vector<BusRequest> seen = device->Requests();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), (BusRequest{SetupPacket(0x43, 0x81, 64, 1, 4), {0x03, 0x00, 0x10, 0x00}}));
    for (size_t i = 1; i + 1 < seen.size(); ++i)
        EXPECT_EQ(seen[i], (BusRequest{SetupPacket(0xC3, 0x83, 0, 0, 1), {}})) << i;
    EXPECT_EQ(seen.back(), (BusRequest{SetupPacket(0xC3, 0x82, 0, 0, 64), {}}));

    Bytes page(256);
    std::iota(page.begin(), page.end(), uint8_t{0});
    ASSERT_TRUE(FlashWriteEnable());
    device->ClearRequests();
    ASSERT_TRUE(FlashProgramPage(0x000100, 256, page.data()));
    EXPECT_THAT(device->Requests(),
                ElementsAre(BusRequest{SetupPacket(0x43, 0x80, 0, 0, 4), {0x02, 0x00, 0x01, 0x00}},
                            BusRequest{SetupPacket(0x43, 0x80, 0, 1, 256), page}));
    const Bytes& flash = chip->Flash().Contents();
    EXPECT_EQ(Bytes(flash.begin() + 0x100, flash.begin() + 0x200), page);
    EXPECT_EQ(device->InterfaceClaims(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Encodings, LibusbBothPaths, ::testing::Values(uint8_t{0}, uint8_t{1}),
                         EncodingName);

}  // namespace
