// Discovery, probing and handle ownership of the device link.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingPlatform.h"
#include "device/DriverBlocks.h"
#include "device/QuorvelUsb.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kUpdatePath = "\\\\?\\usb#vid_0b7e&pid_6000#1-2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const std::string kNormalPath = "\\\\?\\usb#vid_7c3d&pid_6012#1-3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}";

class DeviceSearchTest : public ::testing::Test {
protected:
    void List(const Guid& cls, std::vector<std::string> paths) {
        platform.interfaces[cls.Text()] = std::move(paths);
    }
    RecordingPlatform platform;
    QuorvelUsb link{&platform};
};

TEST_F(DeviceSearchTest, InitialState) {
    EXPECT_FALSE(link.IsFound());
    EXPECT_EQ(link.GetKsPath(), 0);
    EXPECT_STREQ(link.DevicePath(), "");
    EXPECT_STREQ(link.MatchString(), "vid_0b7e&pid_6000");
    EXPECT_FALSE(link.HasHandle());
}

TEST_F(DeviceSearchTest, NothingPresentKeepsFoundForFindClearsForCheck) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    ASSERT_TRUE(link.FindDevice());
    List(kUsbDeviceInterfaceClass, {});
    EXPECT_FALSE(link.FindDevice());
    EXPECT_TRUE(link.IsFound());
    EXPECT_FALSE(link.CheckPresence());
    EXPECT_FALSE(link.IsFound());
}

TEST_F(DeviceSearchTest, ListFailure) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    ASSERT_TRUE(link.FindDevice());
    platform.unavailableClasses.insert(kUsbDeviceInterfaceClass.Text());
    EXPECT_FALSE(link.FindDevice());
    EXPECT_TRUE(link.IsFound());
    EXPECT_FALSE(link.CheckPresence());
    EXPECT_FALSE(link.IsFound());
}

TEST_F(DeviceSearchTest, SearchRules) {
    struct Case {
        const char* name;
        std::vector<std::string> paths;
        const char* match;
        bool found;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"exact", {kUpdatePath}, "vid_0b7e&pid_6000", true, kUpdatePath},
        {"case matters", {kUpdatePath}, "vid_0B7E&pid_6000", false, ""},
        {"substring of the product id", {kUpdatePath}, "vid_0b7e&pid_60", true, kUpdatePath},
        {"empty match string matches nothing", {kUpdatePath}, "", false, ""},
        {"other ids", {"\\\\?\\usb#vid_1234&pid_5678#1"}, "vid_0b7e&pid_6000", false, ""},
        {"over-long path never matches",
         {"\\\\?\\usb#vid_0b7e&pid_6000#" + std::string(500, 'x')}, "vid_0b7e&pid_6000", false, ""},
        {"path at the limit matches",
         {"vid_0b7e&pid_6000" + std::string(511 - 17, 'x')}, "vid_0b7e&pid_6000", true,
         "vid_0b7e&pid_6000" + std::string(511 - 17, 'x')},
    };
    for (const Case& c : cases) {
        RecordingPlatform p;
        p.interfaces[kUsbDeviceInterfaceClass.Text()] = c.paths;
        QuorvelUsb l{&p};
        ASSERT_TRUE(l.SetMatchString(c.match));
        EXPECT_EQ(l.FindDevice(), c.found) << c.name;
        EXPECT_EQ(l.IsFound(), c.found) << c.name;
        EXPECT_EQ(std::string(l.DevicePath()), c.path) << c.name;
        EXPECT_EQ(l.CheckPresence(), c.found) << c.name;
    }
}

TEST_F(DeviceSearchTest, TwoMatchesKeepTheLaterAndProbeBoth) {
    const std::string second = kUpdatePath + "#2";
    List(kUsbDeviceInterfaceClass, {kUpdatePath, second});
    EXPECT_TRUE(link.FindDevice());
    EXPECT_EQ(std::string(link.DevicePath()), second);
    EXPECT_EQ(platform.calls.size(), 2u);
    EXPECT_EQ(platform.opened, (std::vector<std::string>{kUpdatePath, second}));
    EXPECT_TRUE(platform.openHandles.empty()) << "probe handles are closed at once";
}

TEST_F(DeviceSearchTest, RefusedOpenCountsAsFoundButFails) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    platform.refusedPaths.insert(kUpdatePath);
    EXPECT_FALSE(link.FindDevice());
    EXPECT_TRUE(link.IsFound());
    EXPECT_TRUE(platform.calls.empty());
}

TEST_F(DeviceSearchTest, FailedProbeCountsAsFound) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    platform.responder = [](const RecordingPlatform::Call&, uint8_t*, size_t) { return false; };
    EXPECT_FALSE(link.FindDevice());
    EXPECT_TRUE(link.IsFound());
    EXPECT_TRUE(platform.openHandles.empty());
}

TEST_F(DeviceSearchTest, GenericProbeIsDescriptorRead) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    ASSERT_TRUE(link.FindDevice());
    const auto& call = platform.calls.at(0);
    EXPECT_EQ(call.code, 0x22242Eu);
    Bytes block = {0, 0, 0, 0, 0x80, 0x06, 0x00, 0x01, 0x01, 0x00, 18, 0};
    block.resize(24, 0);
    EXPECT_EQ(call.input, block);
    EXPECT_EQ(call.outputSize, 18u);
}

TEST_F(DeviceSearchTest, KsProbeIsSupportQueryOnAudioClass) {
    List(kAudioDriverInterfaceClass, {kNormalPath});
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    link.SetKsPath(1);
    ASSERT_TRUE(link.SetMatchString("vid_7c3d&pid_6012"));
    ASSERT_TRUE(link.FindDevice());
    EXPECT_EQ(std::string(link.DevicePath()), kNormalPath);
    const auto& call = platform.calls.at(0);
    EXPECT_EQ(call.code, 0x2F0003u);
    const Bytes expected = {0x14, 0x6F, 0x9B, 0x2E, 0xC3, 0xA7, 0x58, 0x4B, 0x8D, 0x02, 0xC6, 0x1F,
                            0x3A, 0x95, 0xE7, 0xB0, 0, 0, 0, 0, 0x00, 0x01, 0, 0};
    EXPECT_EQ(call.input, expected);
    EXPECT_EQ(call.outputSize, 0u);
}

TEST_F(DeviceSearchTest, MatchStringLimit) {
    EXPECT_TRUE(link.SetMatchString(std::string(49, 'a').c_str()));
    EXPECT_EQ(std::string(link.MatchString()), std::string(49, 'a'));
    EXPECT_FALSE(link.SetMatchString(std::string(50, 'b').c_str()));
    EXPECT_EQ(std::string(link.MatchString()), std::string(49, 'a'));
}

TEST_F(DeviceSearchTest, HandleRules) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    ASSERT_TRUE(link.FindDevice());
    platform.closed.clear();

    ASSERT_TRUE(link.OpenDevice());
    const DeviceHandle first = *platform.openHandles.begin();
    ASSERT_TRUE(link.OpenDevice());  // the first handle is closed before the second open
    EXPECT_EQ(platform.closed, std::vector<DeviceHandle>{first});
    EXPECT_EQ(platform.openHandles.size(), 1u);

    link.ClearFound();  // the handle stays open
    EXPECT_FALSE(link.IsFound());
    EXPECT_TRUE(link.HasHandle());

    link.CloseDevice();
    link.CloseDevice();  // the second close does nothing
    EXPECT_EQ(platform.closed.size(), 2u);
    EXPECT_TRUE(platform.openHandles.empty());
}

TEST_F(DeviceSearchTest, FailedOpenLeavesNoHandle) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    ASSERT_TRUE(link.FindDevice());
    platform.refusedPaths.insert(kUpdatePath);
    EXPECT_FALSE(link.OpenDevice());
    EXPECT_FALSE(link.HasHandle());
    uint8_t b = 0;
    EXPECT_FALSE(link.ControlTransfer(0xC3, 0x91, 0, 0, &b, 1));
    EXPECT_TRUE(platform.calls.size() == 1u) << "only the probe reached the driver";
}

TEST_F(DeviceSearchTest, DestructorClosesOpenHandle) {
    List(kUsbDeviceInterfaceClass, {kUpdatePath});
    {
        QuorvelUsb scoped{&platform};
        ASSERT_TRUE(scoped.FindDevice());
        ASSERT_TRUE(scoped.OpenDevice());
        EXPECT_EQ(platform.openHandles.size(), 1u);
    }
    EXPECT_TRUE(platform.openHandles.empty());
}

}  // namespace
