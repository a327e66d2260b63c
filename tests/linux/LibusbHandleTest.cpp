// Opening by path and the driver calls on a handle: what the backend refuses.

#include <gtest/gtest.h>

#include "LibusbFixture.h"
#include "device/DriverBlocks.h"

namespace {

const Guid& kUsb = kUsbDeviceInterfaceClass;

TEST_F(LibusbTest, OpenFindsThePathsDeviceOrSaysWhyNot) {
    Add(RootHub());
    Add(UpdateDevice(0x0B7E, "1-4", 6));
    Add(OtherDevice());  // at 1-1
    struct Case {
        std::string path;
        int error;
    };
    const Case cases[] = {
        {PathOf("vid_0b7e&pid_6000", "1-4", kUsb), LibusbPlatform::kSuccess},
        // The class part does not take part in finding the device.
        {PathOf("vid_0b7e&pid_6000", "1-4", kAudioDriverInterfaceClass), LibusbPlatform::kSuccess},
        {PathOf("vid_1d6b&pid_0002", "1-0", kUsb), LibusbPlatform::kSuccess},
        {PathOf("vid_0b7e&pid_6000", "1-5", kUsb), LibusbPlatform::kErrorNotFound},  // no one there
        {PathOf("vid_0b7e&pid_6000", "2-4", kUsb), LibusbPlatform::kErrorNotFound},
        {PathOf("vid_0b7e&pid_6000", "1-1", kUsb), LibusbPlatform::kErrorNotFound},  // someone else
        {PathOf("vid_0b7e&pid_6001", "1-4", kUsb), LibusbPlatform::kErrorNotFound},
        {"vid_0b7e&pid_6000", LibusbPlatform::kErrorNotFound},  // not a path of ours
        {"", LibusbPlatform::kErrorNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const DeviceHandle h = platform.Open(c.path);
        EXPECT_EQ(platform.LastOpenError(), c.error);
        EXPECT_EQ(h != kNoDeviceHandle, c.error == LibusbPlatform::kSuccess);
        platform.Close(h);
    }
}

TEST_F(LibusbTest, DriverCallsOnlyReachTheBusWhenWellFormedOnAnOpenHandle) {
    EmulatedUsbDevice& update = Add(UpdateDevice(0x0B7E, "1-4", 6), [](const ControlSetup&, auto&) {
        return true;
    });
    const DeviceHandle h = platform.Open(PathOf("vid_0b7e&pid_6000", "1-4", kUsb));
    ASSERT_NE(h, kNoDeviceHandle);
    const ControlSetup write{0x43, 0x90, 0, 0x12};
    const std::vector<uint8_t> good = MakeGenericRequestBlock(write);
    std::vector<uint8_t> dirty = good;
    dirty[15] = 1;  // a reserved byte set
    uint8_t data = 0x5A;

    EXPECT_FALSE(platform.IoControl(h, kIoctlGenericRead, good.data(), good.size(), &data, 1));
    EXPECT_FALSE(platform.IoControl(h, kIoctlGenericWrite, dirty.data(), dirty.size(), &data, 1));
    EXPECT_FALSE(platform.IoControl(h + 1, kIoctlGenericWrite, good.data(), good.size(), &data, 1));
    EXPECT_TRUE(update.Requests().empty());

    EXPECT_TRUE(platform.IoControl(h, kIoctlGenericWrite, good.data(), good.size(), &data, 1));
    platform.Close(h);
    EXPECT_FALSE(platform.IoControl(h, kIoctlGenericWrite, good.data(), good.size(), &data, 1));
    EXPECT_EQ(update.Requests().size(), 1u);
}

}  // namespace
