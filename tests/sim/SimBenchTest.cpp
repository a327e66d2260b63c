// A bench of simulated chips: each on a port of its own, listed in order, and every
// request reaching only the chip whose path was opened.

#include <gtest/gtest.h>

#include "chip/Registers.h"
#include "device/QuorvelUsb.h"
#include "sim/SimBench.h"

namespace {

TEST(SimBenchTest, ListsEachChipOnItsPortAndRoutesToTheOpenedOne) {
    VirtualClock clock;
    SimulatedChip first(clock), second(clock), update(clock);
    first.SetPort(SimBenchPort(1));
    second.SetPort(SimBenchPort(2));
    update.SetPort(SimBenchPort(3));
    update.SetIdentity(SimIdentity::Update7C3D);
    SimBench bench;
    for (SimulatedChip* chip : {&first, &second, &update}) bench.Add(*chip);

    std::vector<std::string> paths;
    ASSERT_TRUE(bench.ListInterfaces(kAudioDriverInterfaceClass, paths));
    EXPECT_EQ(paths, (std::vector<std::string>{first.InterfacePath(), second.InterfacePath()}));
    EXPECT_NE(paths[0].find("#1-1#"), std::string::npos);
    EXPECT_NE(paths[1].find("#1-2#"), std::string::npos);
    ASSERT_TRUE(bench.ListInterfaces(kUsbDeviceInterfaceClass, paths));
    EXPECT_EQ(paths, std::vector<std::string>{update.InterfacePath()});

    // A register write through the second chip's path changes that chip only.
    gDevice.SetPlatform(&bench);
    gDevice.SetKsPath(1);
    gDevice.SetMatchString("vid_7c3d&pid_6012#1-2#");
    ASSERT_TRUE(gDevice.FindDevice());
    ASSERT_TRUE(gDevice.OpenDevice());
    EXPECT_TRUE(WriteRegister(0x2A, 0x5C));
    gDevice.CloseDevice();
    EXPECT_EQ(second.Register(0, 0x2A), 0x5C);
    EXPECT_EQ(first.Register(0, 0x2A), 0x00);
    gDevice.SetPlatform(nullptr);
    gDevice.ClearFound();
    gDevice.SetKsPath(0);
}

TEST(SimBenchTest, AClosedOrUnknownHandleIsGone) {
    VirtualClock clock;
    SimulatedChip chip(clock);
    SimBench bench;
    bench.Add(chip);
    EXPECT_EQ(bench.Open("\\\\?\\usb#vid_7c3d&pid_6012#1-9#{x}"), kNoDeviceHandle);
    const DeviceHandle handle = bench.Open(chip.InterfacePath());
    ASSERT_NE(handle, kNoDeviceHandle);
    EXPECT_EQ(chip.OpenHandles(), 1u);
    bench.Close(handle);
    EXPECT_EQ(chip.OpenHandles(), 0u);
    uint8_t reply[8] = {};
    EXPECT_FALSE(bench.IoControl(handle, 0, nullptr, 0, reply, sizeof reply));
    EXPECT_EQ(bench.LastIoFailure(), IoFailure::Gone);
}

}  // namespace
