// Faults on the bus reach the device link as failed requests, never as a hang: a stalled
// request, and a device whose node may not be opened.

#include <gtest/gtest.h>

#include <functional>

#include "LibusbChipFixture.h"
#include "chip/Registers.h"

namespace {

bool IsRegisterRequest(const std::array<uint8_t, 8>& setup) {
    return setup[1] == 0x90 || setup[1] == 0x91;
}

class LibusbFaults : public LibusbBothPaths {};

TEST_P(LibusbFaults, StalledRequestFailsAndTheNextOneWorks) {
    chip->SetRegister(chip->SelectedBank(), 0x30, 0x11);
    struct Case {
        const char* name;
        std::function<bool()> request;
    };
    uint8_t value = 0xEE;
    const Case cases[] = {
        {"read", [&] { return ReadRegister(0x30, &value); }},
        {"write", [&] { return WriteRegister(0x30, 0x77); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        device->ClearRequests();
        device->InjectFault(EmulatedUsbDevice::Fault::Stall, IsRegisterRequest, 1);
        EXPECT_FALSE(c.request());
        EXPECT_EQ(device->Requests().size(), 1u);  // it reached the device, which stalled it
    }
    EXPECT_EQ(value, 0xEE);  // a failed read leaves the caller's byte alone
    EXPECT_EQ(chip->Register(chip->SelectedBank(), 0x30), 0x11);

    EXPECT_TRUE(ReadRegister(0x30, &value));
    EXPECT_EQ(value, 0x11);
}

INSTANTIATE_TEST_SUITE_P(Encodings, LibusbFaults, ::testing::Values(uint8_t{0}, uint8_t{1}),
                         EncodingName);

TEST_F(LibusbChipTest, NodeThatRefusesToOpenIsFoundAndReportsAccessDenied) {
    bed.DenyAccess(*device);
    WithoutPermissionOverride asUser;
    if (!asUser.Active()) GTEST_SKIP() << "cannot drop the permission override capability";

    gDevice.SetKsPath(1);
    gDevice.SetMatchString("vid_7c3d&pid_6012");
    EXPECT_FALSE(gDevice.FindDevice());  // the probe cannot open it...
    EXPECT_TRUE(gDevice.IsFound());      // ...but it is there
    EXPECT_EQ(platform.LastOpenError(), LibusbPlatform::kErrorAccess);

    EXPECT_FALSE(gDevice.OpenDevice());
    EXPECT_EQ(platform.LastOpenError(), LibusbPlatform::kErrorAccess);
    uint8_t value = 0;
    EXPECT_FALSE(gDevice.ControlTransfer(0xC3, 0x91, 0, 0, &value, 1));
    EXPECT_TRUE(device->Requests().empty());
}

}  // namespace
