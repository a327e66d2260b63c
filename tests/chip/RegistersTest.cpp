// Register access: one vendor request per primitive.

#include <gtest/gtest.h>

#include "SimFixture.h"
#include "chip/Registers.h"

namespace {

class Registers : public SimFixture {};

TEST_F(Registers, EachPrimitiveIsOneRequest) {
    ASSERT_TRUE(Open());
    uint8_t value = 0;
    EXPECT_TRUE(SelectBank(14));
    EXPECT_TRUE(WriteRegister(0x12, 0x5A));
    EXPECT_TRUE(ReadRegister(0x12, &value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(sim->Register(14, 0x12), 0x5A);
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegWrite(0, 0x0E), RegWrite(0x12, 0x5A), RegRead(0x12)}));
}

TEST_F(Registers, ReadWithoutHandleFailsAndKeepsTheByte) {
    uint8_t value = 0x33;
    EXPECT_FALSE(ReadRegister(0x12, &value));
    EXPECT_EQ(value, 0x33);
    EXPECT_FALSE(WriteRegister(0x12, 1));
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(Registers, FailedReadKeepsTheByte) {
    ASSERT_TRUE(Open());
    sim->SetRegister(0, 0x40, 0x99);
    sim->FailRequestsMatching([](const SimRequest& r) { return r.setup.bRequest == 0x91; }, 1);
    uint8_t value = 0x33;
    EXPECT_FALSE(ReadRegister(0x40, &value));
    EXPECT_EQ(value, 0x33);
    EXPECT_TRUE(ReadRegister(0x40, &value));
    EXPECT_EQ(value, 0x99);
}

TEST_F(Registers, NumbersBeyondAByteTravelUnchanged) {
    ASSERT_TRUE(Open());
    uint8_t value = 0;
    // The chip has no register 0x1FF, so it refuses; the request still carried the number.
    EXPECT_FALSE(ReadRegister(0x1FF, &value));
    EXPECT_FALSE(WriteRegister(0x12345, 1));
    EXPECT_EQ(Summary(), (std::vector<SimReq>{RegRead(0x1FF), RegWrite(0x2345, 1)}));
}

}  // namespace
