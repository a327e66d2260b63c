// Discovery through libusb: which devices each interface class lists, with which paths,
// and how the device link finds and probes them.

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "LibusbFixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const std::string kNormalPath = PathOf("vid_7c3d&pid_6012", "1-2.3", kAudioDriverInterfaceClass);

TEST_F(LibusbTest, EachClassListsItsDevicesWithTheirPaths) {
    Add(RootHub());
    Add(Hub());
    Add(NormalDevice());
    Add(UpdateDevice(0x7C3D, "1-4", 6));
    Add(OtherDevice());

    EXPECT_THAT(List(kAudioDriverInterfaceClass), ElementsAre(kNormalPath));
    const Guid& usb = kUsbDeviceInterfaceClass;
    EXPECT_THAT(List(usb), UnorderedElementsAre(PathOf("vid_1d6b&pid_0002", "1-0", usb),
                                                PathOf("vid_05e3&pid_0608", "1-2", usb),
                                                PathOf("vid_7c3d&pid_6012", "1-2.3", usb),
                                                PathOf("vid_7c3d&pid_6000", "1-4", usb),
                                                PathOf("vid_046d&pid_c077", "1-1", usb)));
    // Neither driver's class: nothing.
    EXPECT_THAT(List(kVendorRequestPropertySet), ElementsAre());
}

TEST_F(LibusbTest, LinkFindsEachDeviceOnItsPathAndProbesIt) {
    Add(Hub());
    Add(OtherDevice());
    Add(NormalDevice());
    EmulatedUsbDevice& update = Add(UpdateDevice(0x0B7E, "1-4", 6));

    struct Case {
        uint8_t ksPath;
        const char* match;
        bool found;
        std::string path;
    };
    const Case cases[] = {
        {1, "vid_7c3d&pid_6012", true, kNormalPath},
        {0, "vid_0b7e&pid_6000", true, PathOf("vid_0b7e&pid_6000", "1-4", kUsbDeviceInterfaceClass)},
        {0, "vid_7c3d&pid_6000", false, ""},  // the other update device is not there
        {1, "vid_0b7e&pid_6000", false, ""},  // no audio interface: not on the audio class
        {1, "vid_046d&pid_c077", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.match);
        QuorvelUsb link(&platform);
        link.SetKsPath(c.ksPath);
        link.SetMatchString(c.match);
        EXPECT_EQ(link.FindDevice(), c.found);  // the probe answers
        EXPECT_EQ(link.IsFound(), c.found);
        EXPECT_EQ(link.DevicePath(), c.path);
        EXPECT_EQ(link.CheckPresence(), c.found);
    }
    // The generic probe reaches the device as a standard GET_DESCRIPTOR for 18 bytes; the
    // audio driver's support query needs no request on the bus.
    EXPECT_THAT(update.Requests(), ElementsAre(BusRequest{SetupPacket(0x80, 6, 0x0100, 1, 18), {}}));
    EXPECT_EQ(update.InterfaceClaims(), 0u);
}

TEST_F(LibusbTest, TwoMatchingDevicesAreBothProbedAndTheLastListedIsKept) {
    EmulatedUsbDevice& first = Add(UpdateDevice(0x7C3D, "1-4", 6));
    EmulatedUsbDevice& second = Add(UpdateDevice(0x7C3D, "1-5", 7));
    const std::vector<std::string> listed = List(kUsbDeviceInterfaceClass);
    ASSERT_EQ(listed.size(), 2u);

    gDevice.SetMatchString("vid_7c3d&pid_6000");
    EXPECT_TRUE(gDevice.FindDevice());
    EXPECT_EQ(gDevice.DevicePath(), listed.back());
    EXPECT_EQ(first.Requests().size(), 1u);
    EXPECT_EQ(second.Requests().size(), 1u);
}

TEST_F(LibusbTest, PluggingAndUnpluggingAreSeenByTheNextSearch) {
    gDevice.SetKsPath(1);
    gDevice.SetMatchString("vid_7c3d&pid_6012");
    EXPECT_FALSE(gDevice.CheckPresence());

    EmulatedUsbDevice& normal = Add(NormalDevice("1-3", 4));
    EXPECT_TRUE(gDevice.FindDevice());
    EXPECT_TRUE(gDevice.CheckPresence());

    bed.Unplug(normal);
    EXPECT_FALSE(gDevice.CheckPresence());
    EXPECT_FALSE(gDevice.OpenDevice());
    EXPECT_EQ(platform.LastOpenError(), LibusbPlatform::kErrorNotFound);
}

}  // namespace
