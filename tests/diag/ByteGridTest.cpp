// The grids' page logic without a window: keys, bit boxes, cells, and the register and
// I2C transfers they lead to on the simulated chip.

#include <gtest/gtest.h>

#include "SimFixture.h"
#include "chip/I2cMaster.h"
#include "diag/ByteImages.h"
#include "diag/HexGrid.h"

namespace {

TEST(HexGrid, KeysOnTheRegisterGrid) {
    struct Case {
        GridKey key;
        uint8_t image;
        std::string text;
        bool write;
        uint8_t value;
    } cases[] = {
        {GridKey::Enter, 0x00, "1f", true, 0x1F},
        {GridKey::Enter, 0x00, "123", true, 0x23},      // low 8 bits
        {GridKey::Enter, 0x42, "42", true, 0x42},       // the same value is written again
        {GridKey::Insert, 0xFF, "00", false, 0xFF},     // the text is not read
        {GridKey::Delete, 0x00, "FF", false, 0x00},
        {GridKey::Insert, 0x00, "", true, 0x01},        // never read: steps from 0
        {GridKey::Delete, 0x80, "zz", true, 0x7F},
        {GridKey::Other, 0x10, "20", false, 0x10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const KeyResult r = RegisterGridKey(c.key, c.image, c.text);
        EXPECT_FALSE(r.conversionError);
        EXPECT_EQ(r.write, c.write);
        EXPECT_EQ(r.image, c.value);
    }
    const KeyResult empty = RegisterGridKey(GridKey::Enter, 0x33, "");
    EXPECT_EQ(empty.conversionError, "'0x' is not a valid integer value");
    EXPECT_FALSE(empty.write);
    EXPECT_EQ(empty.image, 0x33);
}

TEST(HexGrid, KeysOnTheI2cGridConvertTheTextFirst) {
    struct Case {
        GridKey key;
        std::string text;
        bool write;
        uint8_t value;
    } cases[] = {
        {GridKey::Insert, "FF", false, 0xFF},  // the text's value stays in the image
        {GridKey::Insert, "7F", true, 0x80},
        {GridKey::Insert, "3C", true, 0x3D},   // whatever the image held
        {GridKey::Delete, "00", false, 0x00},
        {GridKey::Enter, "1a5", true, 0xA5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const KeyResult r = I2cGridKey(c.key, 0x55, c.text);
        EXPECT_FALSE(r.conversionError);
        EXPECT_EQ(r.write, c.write);
        EXPECT_EQ(r.image, c.value);
    }
    for (GridKey key : {GridKey::Enter, GridKey::Insert, GridKey::Delete}) {
        const KeyResult r = I2cGridKey(key, 0x55, "");
        EXPECT_EQ(r.conversionError, "'0x' is not a valid integer value");
        EXPECT_FALSE(r.write);
        EXPECT_EQ(r.image, 0x55);
    }
}

TEST(HexGrid, CellsHeadersAndBits) {
    EXPECT_EQ(RegisterOfCell(11, 3), 0x2A);  // row "20", column "0A"
    EXPECT_EQ(ColumnOfRegister(0x2A), 11);
    EXPECT_EQ(RowOfRegister(0x2A), 3);
    EXPECT_EQ(ColumnHeader(16), "0F");
    EXPECT_EQ(RowHeader(16), "F0");
    std::array<bool, 8> bits = BitsOf(0x01);
    bits[7] = true;  // a click on bit 7 of a register showing 0x01
    EXPECT_EQ(ComposeBits(bits), 0x81);
    EXPECT_EQ(ComposeBits(BitsOf(0xA5)), 0xA5);
    EXPECT_EQ(GridKeyOf(0x2D), GridKey::Insert);
    EXPECT_EQ(GridKeyOf(0x41), GridKey::Other);
}

class ByteImagesTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ResetByteImages();
    }
    void TearDown() override {
        ResetByteImages();
        SimFixture::TearDown();
    }
};

TEST_F(ByteImagesTest, RegisterReadsWritesAndBanks) {
    sim->SetRegister(0, 0x2A, 0x77);
    EXPECT_TRUE(ReadOneRegister(ByteTarget::ChipRegisters, RegisterOfCell(11, 3)));
    EXPECT_EQ(RegisterReads(), std::vector<uint16_t>{0x2A});
    EXPECT_EQ(gRegisterImage[0x2A], 0x77);

    // A failed read keeps the value the image had.
    sim->FailRequestsMatching([](const SimRequest& r) { return r.setup.bRequest == 0x91; }, 1);
    sim->SetRegister(0, 0x2A, 0x11);
    EXPECT_FALSE(ReadOneRegister(ByteTarget::ChipRegisters, 0x2A));
    EXPECT_EQ(gRegisterImage[0x2A], 0x77);

    // Writing register 0 selects another bank, which the next walk shows.
    sim->SetRegister(5, 0x10, 0xB5);
    const uint64_t before = clock.NowMicros();
    EXPECT_TRUE(WriteAndReadBack(ByteTarget::ChipRegisters, 0x00, 0x05, 3));
    EXPECT_EQ(clock.NowMicros() - before, 3000u) << "the settle time between write and read-back";
    EXPECT_EQ(sim->SelectedBank(), 5);
    EXPECT_EQ(ReadAllRegisters(ByteTarget::ChipRegisters, {}), 256);
    EXPECT_EQ(gRegisterImage[0x10], 0xB5);
    EXPECT_FALSE(gDevice.HasHandle());
}

TEST_F(ByteImagesTest, WalkReadsInOrderAndEndsWhenAsked) {
    std::vector<uint8_t> told;
    const WalkHooks hooks{[&] { return told.size() < 20; }, [&](uint8_t reg, bool) { told.push_back(reg); }};
    EXPECT_EQ(ReadAllRegisters(ByteTarget::ChipRegisters, hooks), 20);
    std::vector<uint16_t> expected;
    for (uint16_t r = 0; r < 20; ++r) expected.push_back(r);
    EXPECT_EQ(RegisterReads(), expected);
    EXPECT_EQ(told.size(), 20u);
}

TEST_F(ByteImagesTest, I2cTransfersGoToTheSlaveAddress) {
    gDevice.OpenDevice();
    ASSERT_TRUE(I2CMasterSetup());
    gDevice.CloseDevice();
    sim->SetI2cSlaveRegister(0x20, 0x05, 0x3C);
    sim->I2c().ClearBus();
    EXPECT_TRUE(ReadOneRegister(ByteTarget::I2cSlave, 0x05));
    EXPECT_EQ(gI2CImage[0x05], 0x3C);
    std::vector<uint8_t> sent;
    for (const SimI2cEvent& e : sim->I2c().Bus())
        if (e.kind == SimI2cEvent::Kind::Sent) sent.push_back(e.byte);
    EXPECT_EQ(sent, (std::vector<uint8_t>{0x20, 0x05, 0x21}));

    const KeyResult key = I2cGridKey(GridKey::Insert, gI2CImage[0x05], "3C");
    ASSERT_TRUE(key.write);
    EXPECT_TRUE(WriteAndReadBack(ByteTarget::I2cSlave, 0x05, key.image, 1));
    EXPECT_EQ(sim->I2cSlaveRegister(0x20, 0x05), 0x3D);

    // A slave that does not answer: the image keeps what it had.
    std::string shown;
    EXPECT_EQ(SetI2cSlaveAddress("1f5", shown), "");
    EXPECT_EQ(gI2CSlaveAddress, 0xF5);
    EXPECT_EQ(shown, "F5");
    EXPECT_EQ(ReadAllRegisters(ByteTarget::I2cSlave, {}), 256);
    EXPECT_EQ(gI2CImage[0x05], 0x3D);
    EXPECT_EQ(SetI2cSlaveAddress("4a", shown), "");
    EXPECT_EQ(shown, "4A");
    EXPECT_EQ(SetI2cSlaveAddress("xyz", shown), "'0xxyz' is not a valid integer value");
    EXPECT_EQ(gI2CSlaveAddress, 0x4A);
}

}  // namespace
