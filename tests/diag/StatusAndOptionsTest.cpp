// The option block's fields and the play status as the Parameter and Information pages
// show them.

#include <gtest/gtest.h>

#include "SimFixture.h"
#include "diag/OptionBlock.h"
#include "diag/PlayStatus.h"

namespace {

TEST(OptionBlock, FieldsOfABlockReadAs5C801280) {
    const OptionBlock block = {0x5C, 0x80, 0x12, 0x80};
    EXPECT_EQ(EepromCaption(block), "EEPROM Exist");
    const std::pair<OptionField, unsigned> expected[] = {
        {OptionField::I2sLength, 24}, {OptionField::SpdifLength, 24}, {OptionField::I2sSwap, 1},
        {OptionField::DsdSwap, 1},    {OptionField::MclkFs, 256},     {OptionField::I2sFormat, 1},
        {OptionField::DsdOutput, 0},  {OptionField::MclkOff, 1},      {OptionField::I2sOff, 0},
        {OptionField::SpdifOff, 0},
    };
    for (const auto& [field, value] : expected) EXPECT_EQ(OptionValue(block, field), value);
    EXPECT_EQ(EepromCaption({0xA1, 0, 0, 0}), "EEPROM not Available");
}

TEST(OptionBlock, EachFieldChangesOnlyItsOwnBits) {
    for (const OptionFieldInfo& info : OptionFields()) {
        for (unsigned value : info.values) {
            SCOPED_TRACE(std::string(info.name) + " " + std::to_string(value));
            for (const OptionBlock start : {OptionBlock{0, 0, 0, 0}, OptionBlock{0xFF, 0xFF, 0xFF, 0xFF}}) {
                OptionBlock block = start;
                ASSERT_TRUE(SetOptionValue(block, info.field, value));
                EXPECT_EQ(OptionValue(block, info.field), value);
                for (const OptionFieldInfo& other : OptionFields()) {
                    if (other.field == info.field) continue;
                    EXPECT_EQ(OptionValue(block, other.field), OptionValue(start, other.field)) << other.name;
                }
                EXPECT_EQ(block[2], start[2]);
                EXPECT_EQ(block[3], start[3]);
                EXPECT_EQ(block[1] & 0x1F, start[1] & 0x1F);
            }
        }
    }
    OptionBlock block = {0xA1, 0, 0, 0};
    ASSERT_TRUE(SetOptionValue(block, OptionField::MclkFs, 1024));
    EXPECT_EQ(block[0], 0xB1);
    EXPECT_FALSE(SetOptionValue(block, OptionField::MclkFs, 300));
    EXPECT_FALSE(SetOptionValue(block, OptionField::I2sLength, 16));
    EXPECT_EQ(block[0], 0xB1);
}

TEST(PlayStatus, DecodedAsTheInformationPageShowsIt) {
    struct Case {
        uint8_t status, rate;
        bool connected, muted, dsd;
        std::string rateName;
    } cases[] = {
        {0x01, 0x04, true, false, false, "176.4KHz"},
        {0x03, 0x08, true, false, true, " DSD  64"},
        {0x03, 0x01, true, false, true, " DoP 128"},
        {0x03, 0x05, true, false, true, "        "},
        {0x01, 0xFC, true, false, false, "        "},  // bits 4-7 are ignored; 12 is blank
        {0x05, 0x01, true, true, false, "   48KHz"},
        {0x00, 0x01, false, false, false, "   48KHz"},
    };
    for (const Case& c : cases) {
        const PlayStatus play = DecodePlayStatus({c.rate, 0, c.status});
        EXPECT_EQ(play.connected, c.connected);
        EXPECT_EQ(play.muted, c.muted);
        EXPECT_EQ(play.dsd, c.dsd);
        EXPECT_EQ(gRateNames[play.rateIndex], c.rateName);
    }
    for (const std::string& name : gRateNames) EXPECT_EQ(name.size(), 8u);
}

class StatusRegistersTest : public SimFixture {};

TEST_F(StatusRegistersTest, ReadsTheThreeRegistersOfBankZero) {
    sim->SetAudioStatus(0x04, 0x07, 0x01);
    sim->SetRegister(0, 0, 14);  // another page left bank 14 selected
    StatusRegisters regs;
    ASSERT_TRUE(ReadStatusRegisters(regs));
    EXPECT_EQ(regs.rate, 0x04);
    EXPECT_EQ(regs.format, 0x07);
    EXPECT_EQ(regs.status, 0x01);
    EXPECT_EQ(RegisterReads(), (std::vector<uint16_t>{0xA4, 0xA5, 0xA6}));
    sim->Unplug();
    EXPECT_FALSE(ReadStatusRegisters(regs));
    EXPECT_EQ(regs.rate, 0x04) << "what was held stays";
}

}  // namespace
