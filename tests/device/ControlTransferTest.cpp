// The bytes QuorvelUsb hands to the driver for one control request, on both paths.

#include <gtest/gtest.h>

#include <vector>

#include "RecordingPlatform.h"
#include "device/DriverBlocks.h"
#include "device/QuorvelUsb.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kPropertySet = {0x14, 0x6F, 0x9B, 0x2E, 0xC3, 0xA7, 0x58, 0x4B,
                            0x8D, 0x02, 0xC6, 0x1F, 0x3A, 0x95, 0xE7, 0xB0};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class ControlTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.interfaces[kUsbDeviceInterfaceClass.Text()] = {"\\\\?\\usb#vid_0b7e&pid_6000#1"};
        ASSERT_TRUE(link.FindDevice());
        platform.calls.clear();
        ASSERT_TRUE(link.OpenDevice());
    }
    RecordingPlatform platform;
    QuorvelUsb link{&platform};
};

TEST_F(ControlTransferTest, ReadRegisterOnGenericPath) {
    uint8_t value = 0x5A;
    ASSERT_TRUE(link.ControlTransfer(0xC3, 0x91, 0, 0x12, &value, 1));
    ASSERT_EQ(platform.calls.size(), 1u);
    const auto& call = platform.calls[0];
    EXPECT_EQ(call.code, 0x22242Eu);
    EXPECT_EQ(call.input, Cat({{0, 0, 0, 0, 0xC3, 0x91, 0, 0, 0x12, 0, 0, 0}, Bytes(12, 0)}));
    EXPECT_EQ(call.outputSize, 1u);
}

TEST_F(ControlTransferTest, ReadRegisterOnKsPath) {
    link.SetKsPath(1);
    uint8_t value = 0xA7;  // the buffer's current content travels in the block too
    ASSERT_TRUE(link.ControlTransfer(0xC3, 0x91, 0, 0x12, &value, 1));
    const auto& call = platform.calls.at(0);
    EXPECT_EQ(call.code, 0x2F0003u);
    EXPECT_EQ(call.input, Cat({kPropertySet, {7, 0, 0, 0}, {1, 0, 0, 0}, {0x20, 0x91, 0, 0, 0x12, 0},
                               Bytes(6, 0), {1, 0, 0, 0}, {0xA7}, Bytes(7, 0)}));
    EXPECT_EQ(call.input.size(), 48u);
    EXPECT_EQ(call.outputSize, 1u);
}

TEST_F(ControlTransferTest, WriteBankSelectOnBothPaths) {
    uint8_t value = 0x0E;
    ASSERT_TRUE(link.ControlTransfer(0x43, 0x90, 0, 0, &value, 1));
    link.SetKsPath(1);
    ASSERT_TRUE(link.ControlTransfer(0x43, 0x90, 0, 0, &value, 1));
    ASSERT_EQ(platform.calls.size(), 2u);
    EXPECT_EQ(platform.calls[0].code, 0x222429u);
    EXPECT_EQ(platform.calls[0].input, Cat({{0, 0, 0, 0, 0x43, 0x90}, Bytes(18, 0)}));
    EXPECT_EQ(platform.calls[0].outputBefore, Bytes{0x0E});
    EXPECT_EQ(platform.calls[1].input, Cat({kPropertySet, {7, 0, 0, 0}, {2, 0, 0, 0}, {0x20, 0x90},
                                            Bytes(10, 0), {1, 0, 0, 0}, {0x0E}, Bytes(7, 0)}));
}

TEST_F(ControlTransferTest, KsBlockSizeFollowsLength) {
    link.SetKsPath(1);
    Bytes buffer(256, 0x33);
    for (uint32_t length : {0u, 1u, 256u}) {
        platform.calls.clear();
        ASSERT_TRUE(link.ControlTransfer(0x43, 0x80, 0, 1, buffer.data(), length));
        const auto& call = platform.calls.at(0);
        const size_t expected = length == 0 ? 48 : 47 + length;
        EXPECT_EQ(call.input.size(), expected) << "length " << length;
        EXPECT_EQ(call.outputSize, length);
        EXPECT_EQ(call.input[36], length & 0xFF);
        EXPECT_EQ(call.input[37], length >> 8);
        for (size_t i = 40 + length; i < call.input.size(); ++i) EXPECT_EQ(call.input[i], 0);
        if (length > 0) {
            EXPECT_EQ(call.input[40 + length - 1], 0x33);
        }
    }
}

TEST_F(ControlTransferTest, DirectionBitSelectsGenericCode) {
    uint8_t b = 0;
    for (auto [type, code] : std::vector<std::pair<uint8_t, uint32_t>>{
             {0xC3, 0x22242E}, {0x80, 0x22242E}, {0x43, 0x222429}, {0x00, 0x222429}}) {
        platform.calls.clear();
        link.ControlTransfer(type, 1, 0, 0, &b, 1);
        EXPECT_EQ(platform.calls.at(0).code, code) << int(type);
    }
}

TEST_F(ControlTransferTest, NoDriverCallWithoutHandle) {
    link.CloseDevice();
    uint8_t value = 0x77;
    EXPECT_FALSE(link.ControlTransfer(0xC3, 0x91, 0, 0x12, &value, 1));
    link.SetKsPath(1);
    EXPECT_FALSE(link.ControlTransfer(0x43, 0x90, 0, 0, &value, 1));
    EXPECT_TRUE(platform.calls.empty());
    EXPECT_EQ(value, 0x77);
}

TEST_F(ControlTransferTest, DriverFailureIsReported) {
    platform.responder = [](const RecordingPlatform::Call&, uint8_t*, size_t) { return false; };
    uint8_t value = 0;
    EXPECT_FALSE(link.ControlTransfer(0xC3, 0x91, 0, 0, &value, 1));
}

}  // namespace
