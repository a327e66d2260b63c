// The lenient ParseHex and the strict integer conversions of the window's edits.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "files/IntegerText.h"
#include "files/ParseHex.h"

namespace {

TEST(ParseHexTest, ConvertsDigitsAndCountsAnythingElseAsZero) {
    struct Case {
        std::string text;
        unsigned digits;
        uint32_t value;
    } cases[] = {
        {"1A", 2, 0x1A},         {"ff", 2, 0xFF},   {"fF", 2, 0xFF},
        {"G1", 2, 0x01},         {"1G", 2, 0x10},   {"123", 2, 0x12},
        {"0x12", 4, 0x0012},     {"1\n", 2, 0x10},  {"12345678", 8, 0x12345678},
        {"FFFFFFFFF", 9, 0xFFFFFFFF},  // a ninth digit shifts out the top bits
        // A text shorter than the digit count is never read past its end; the missing
        // digits count as 0, as a terminating zero does.
        {"1", 2, 0x10},          {"", 2, 0x00},     {"A", 1, 0x0A},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseHex(c.text, c.digits), c.value) << '"' << c.text << "\" " << c.digits;
    }
}

TEST(IntegerTextTest, HexadecimalEditsConvertAsZeroXPlusText) {
    struct Case {
        std::string text;
        std::optional<int64_t> value;
    } cases[] = {
        {"7C3D", 0x7C3D},  {"7c3d", 0x7C3D},  {"0", 0},  {"FFFFFFFF", 0xFFFFFFFF},
        {"000000001", 1},  // leading zeros are no overflow
        {"", std::nullopt},  {" 1", std::nullopt},  {"1 ", std::nullopt},
        {"G", std::nullopt}, {"100000000", std::nullopt},  {"-1", std::nullopt},
        {"0x10", std::nullopt},  // becomes "0x0x10"
        {"$10", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(StrToIntHex(c.text), c.value) << '"' << c.text << '"';
}

TEST(IntegerTextTest, DecimalEditsTakeASignedThirtyTwoBitNumber) {
    struct Case {
        std::string text;
        std::optional<int64_t> value;
    } cases[] = {
        {"0", 0},  {"123", 123},  {"-5", -5},  {"+7", 7},  {"007", 7},
        {"2147483647", 2147483647},  {"-2147483648", -2147483648LL},
        {"2147483648", std::nullopt},  {"-2147483649", std::nullopt},
        {"", std::nullopt},  {"-", std::nullopt},  {"12a", std::nullopt},
        {" 1", std::nullopt},  {"0x10", std::nullopt},  {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(StrToIntDec(c.text), c.value) << '"' << c.text << '"';
}

TEST(IntegerTextTest, MessagesNameTheTextAsConverted) {
    EXPECT_EQ(InvalidHexIntegerMessage("7G3D"), "'0x7G3D' is not a valid integer value");
    EXPECT_EQ(InvalidHexIntegerMessage(""), "'0x' is not a valid integer value");
    EXPECT_EQ(InvalidIntegerMessage("12a"), "'12a' is not a valid integer value");
}

}  // namespace
