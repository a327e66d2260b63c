// The Windows backend against stand-in drivers that hand every request to the simulated
// chip: the SetupAPI walk, the open, both request encodings at the DeviceIoControl call,
// the errors, and a whole Auto run; then against Wine's (or Windows') real SetupAPI.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IspFixture.h"
#include "StandInDrivers.h"
#include "chip/Registers.h"
#include "device/DriverBlocks.h"
#include "device/QuorvelUsb.h"
#include "device/SystemPlatform.h"
#include "device/windows/WindowsDevicePlatform.h"
#include "isp/IspOperations.h"

// <windows.h> names LoadImage as a macro; here it is the fixture's.
#undef LoadImage

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kAudioClass = kAudioDriverInterfaceClass.Text();

// gDevice on the Windows backend, whose calls reach the simulated chip through the
// stand-in drivers. The stand-in's records start empty after the fixture found the chip.
class WindowsBackend : public IspFixture {
protected:
    void SetUp() override {
        IspFixture::SetUp();
        drivers = std::make_unique<StandInDrivers>(sim.get());
        platform = std::make_unique<WindowsDevicePlatform>(drivers->Table());
        gDevice.SetPlatform(platform.get());
        ASSERT_TRUE(AttachThroughDrivers(InitialIdentity()));
    }
    void TearDown() override {
        IspFixture::TearDown();
        platform.reset();
        drivers.reset();
    }

    bool AttachThroughDrivers(SimIdentity id) {
        const bool found = Attach(id);
        drivers->setupCalls.clear();
        drivers->opens.clear();
        drivers->ioCalls.clear();
        drivers->allocations.clear();
        drivers->frees.clear();
        drivers->closes.clear();
        return found;
    }

    std::unique_ptr<StandInDrivers> drivers;
    std::unique_ptr<WindowsDevicePlatform> platform;
};

TEST_F(WindowsBackend, ListsEveryInterfaceInTheSystemsOrderWithBothDetailCalls) {
    drivers->interfaces[kAudioClass] = {"\\\\?\\usb#vid_7c3d&pid_6012#a#{x}", "\\\\?\\usb#vid_1234&pid_0001#b#{x}",
                                        "\\\\?\\usb#vid_7c3d&pid_6012#c#{x}"};
    std::vector<std::string> paths;
    ASSERT_TRUE(platform->ListInterfaces(kAudioDriverInterfaceClass, paths));
    EXPECT_EQ(paths, drivers->interfaces[kAudioClass]);
    const std::vector<std::string> expected = {
        "GetClassDevs " + kAudioClass + " null null 0x12",
        "Enum 0", "Detail 0 size", "Detail 0 fetch",
        "Enum 1", "Detail 1 size", "Detail 1 fetch",
        "Enum 2", "Detail 2 size", "Detail 2 fetch",
        "Enum 3",  // ERROR_NO_MORE_ITEMS
        "Destroy"};
    EXPECT_EQ(drivers->setupCalls, expected);

    // Through the link: both matches are probed, the later one is kept.
    drivers->setupCalls.clear();
    gDevice.SetKsPath(1);
    gDevice.SetMatchString("vid_7c3d&pid_6012");
    gDevice.FindDevice();
    EXPECT_STREQ(gDevice.DevicePath(), "\\\\?\\usb#vid_7c3d&pid_6012#c#{x}");
    ASSERT_EQ(drivers->opens.size(), 2u);
    EXPECT_EQ(drivers->opens[0].name, paths[0]);
    EXPECT_EQ(drivers->opens[1].name, paths[2]);
}

TEST_F(WindowsBackend, ListTroubleEndsOrSkipsAsItShould) {
    const std::vector<std::string> three = {"p0", "p1", "p2"};
    struct Case {
        const char* name;
        bool refuseList;
        std::optional<DWORD> enumErrorAt;
        std::set<DWORD> detailFailsAt;
        bool listed;
        std::vector<std::string> paths;
        bool destroyed;
    };
    const Case cases[] = {
        {"no list at all", true, {}, {}, false, {}, false},
        {"a record that cannot be fetched is skipped", false, {}, {0}, true, {"p1", "p2"}, true},
        // An error other than the end of the list ends it too, rather than trying on for ever.
        {"another enumeration error ends the list", false, 1, {}, true, {"p0"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drivers->interfaces[kAudioClass] = three;
        drivers->refuseList = c.refuseList;
        drivers->enumErrorAt = c.enumErrorAt;
        drivers->detailFailsAt = c.detailFailsAt;
        drivers->setupCalls.clear();
        std::vector<std::string> paths{"stale"};
        EXPECT_EQ(platform->ListInterfaces(kAudioDriverInterfaceClass, paths), c.listed);
        EXPECT_EQ(paths, c.paths);
        EXPECT_EQ(std::count(drivers->setupCalls.begin(), drivers->setupCalls.end(), "Destroy"), c.destroyed ? 1 : 0);
        EXPECT_LE(drivers->setupCalls.size(), 12u);
    }
}

TEST_F(WindowsBackend, OpensForReadingAndWritingSharedExistingOnlyWithoutFlags) {
    ASSERT_TRUE(gDevice.OpenDevice());
    ASSERT_EQ(drivers->opens.size(), 1u);
    const auto& open = drivers->opens[0];
    EXPECT_EQ(open.name, sim->InterfacePath());
    EXPECT_EQ(open.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(open.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(open.flags, 0u);
    EXPECT_FALSE(open.security);
    EXPECT_FALSE(open.templateFile);
    gDevice.CloseDevice();
    EXPECT_EQ(drivers->closes.size(), 1u);

    drivers->openError = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(gDevice.OpenDevice());
    EXPECT_TRUE(platform->LastOpenDenied());
    drivers->openError = ERROR_FILE_NOT_FOUND;
    EXPECT_FALSE(gDevice.OpenDevice());
    EXPECT_FALSE(platform->LastOpenDenied());
    EXPECT_FALSE(gDevice.HasHandle());
}

struct EncodingCase {
    const char* name;
    SimIdentity identity;
    uint8_t type, request;
    uint16_t index;
    uint8_t data;  // sent, or (for a read) the register's content in the chip
    DWORD code;
    Bytes input;
};

Bytes GenericBlock(uint8_t type, uint8_t request, uint8_t index) {
    Bytes b(24, 0);
    b[4] = type;
    b[5] = request;
    b[8] = index;
    return b;
}

Bytes KsBlock(uint8_t flags, uint8_t request, uint8_t index, uint8_t data) {
    Bytes b = {0x14, 0x6F, 0x9B, 0x2E, 0xC3, 0xA7, 0x58, 0x4B, 0x8D, 0x02, 0xC6, 0x1F, 0x3A, 0x95, 0xE7, 0xB0,
               0x07, 0x00, 0x00, 0x00, flags, 0x00, 0x00, 0x00, 0x20, request, 0x00, 0x00, index, 0x00,
               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, data};
    b.resize(48, 0);
    return b;
}

class WindowsEncoding : public WindowsBackend, public ::testing::WithParamInterface<EncodingCase> {
protected:
    SimIdentity InitialIdentity() const override { return GetParam().identity; }
};

TEST_P(WindowsEncoding, RequestReachesTheDriverByteForByte) {
    const EncodingCase& c = GetParam();
    const bool read = (c.type & 0x80) != 0;
    if (read) sim->SetRegister(0, static_cast<uint8_t>(c.index), c.data);
    ASSERT_TRUE(gDevice.OpenDevice());
    // A read still carries the buffer's current content in the kernel-streaming block.
    uint8_t buffer = read ? 0xA5 : c.data;
    Bytes expectedInput = c.input;
    if (read && c.code == kIoctlKsProperty) expectedInput[40] = 0xA5;
    ASSERT_TRUE(gDevice.ControlTransfer(c.type, c.request, 0, c.index, &buffer, 1));
    ASSERT_EQ(drivers->ioCalls.size(), 1u);
    const auto& call = drivers->ioCalls[0];
    EXPECT_EQ(call.code, c.code);
    EXPECT_EQ(call.input, expectedInput);
    EXPECT_EQ(call.outputSize, 1u);
    EXPECT_FALSE(call.overlapped);
    if (read) {
        EXPECT_EQ(buffer, c.data);
    } else {
        EXPECT_EQ(sim->Register(0, 0), c.data);
    }

    // The kernel-streaming block lives in a zero-filled LocalAlloc block for the call only.
    if (c.code == kIoctlKsProperty) {
        ASSERT_EQ(drivers->allocations.size(), 1u);
        EXPECT_TRUE(drivers->allocations[0].flags & LMEM_ZEROINIT);
        EXPECT_EQ(drivers->allocations[0].size, 48u);
        EXPECT_TRUE(call.inputInLiveLocalBlock);
        EXPECT_EQ(drivers->frees, std::vector<void*>{drivers->allocations[0].block});
    } else {
        EXPECT_TRUE(drivers->allocations.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, WindowsEncoding,
    ::testing::Values(
        EncodingCase{"GenericRead", SimIdentity::Update7C3D, 0xC3, 0x91, 0x12, 0x5A, 0x22242E,
                     GenericBlock(0xC3, 0x91, 0x12)},
        EncodingCase{"GenericWrite", SimIdentity::Update7C3D, 0x43, 0x90, 0x00, 0x0E, 0x222429,
                     GenericBlock(0x43, 0x90, 0x00)},
        EncodingCase{"KsRead", SimIdentity::Normal, 0xC3, 0x91, 0x12, 0x5A, 0x2F0003, KsBlock(1, 0x91, 0x12, 0)},
        EncodingCase{"KsWrite", SimIdentity::Normal, 0x43, 0x90, 0x00, 0x0E, 0x2F0003, KsBlock(2, 0x90, 0x00, 0x0E)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsBackend, KernelStreamingBlockOfEveryLengthIsHandedOverWhole) {
    ASSERT_TRUE(AttachThroughDrivers(SimIdentity::Normal));
    ASSERT_TRUE(gDevice.OpenDevice());
    struct Case {
        uint32_t length;
        size_t blockSize;
    };
    for (const Case c : {Case{0, 48}, Case{256, 303}}) {
        SCOPED_TRACE(c.length);
        drivers->ioCalls.clear();
        drivers->allocations.clear();
        drivers->frees.clear();
        Bytes data(c.length);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
        // The chip may refuse a register write of this length; what the driver is handed counts.
        gDevice.ControlTransfer(0x43, 0x90, 0, 0x10, data.data(), c.length);
        ASSERT_EQ(drivers->ioCalls.size(), 1u);
        const auto& call = drivers->ioCalls[0];
        ASSERT_EQ(call.input.size(), c.blockSize);
        EXPECT_EQ(call.outputSize, c.length);
        EXPECT_EQ(Bytes(call.input.begin() + 36, call.input.begin() + 40),
                  (Bytes{static_cast<uint8_t>(c.length), static_cast<uint8_t>(c.length >> 8), 0, 0}));
        EXPECT_EQ(Bytes(call.input.begin() + 40, call.input.begin() + 40 + c.length), data);
        EXPECT_EQ(Bytes(call.input.begin() + 40 + c.length, call.input.end()), Bytes(c.blockSize - 40 - c.length, 0));
        ASSERT_EQ(drivers->allocations.size(), 1u);
        EXPECT_EQ(drivers->allocations[0].size, c.blockSize);
        EXPECT_EQ(drivers->frees.size(), 1u);
    }
}

TEST_F(WindowsBackend, ProbesOfBothPathsReachTheDriverAsLaidOut) {
    // Generic path: the 18-byte device-descriptor read.
    ASSERT_TRUE(AttachThroughDrivers(SimIdentity::Update7C3D));
    drivers->ioCalls.clear();
    EXPECT_TRUE(gDevice.FindDevice());
    ASSERT_EQ(drivers->ioCalls.size(), 1u);
    Bytes descriptorProbe = GenericBlock(0x80, 6, 1);
    descriptorProbe[7] = 0x01;   // wValue 0x0100
    descriptorProbe[10] = 18;    // wLength
    EXPECT_EQ(drivers->ioCalls[0].code, 0x22242Eu);
    EXPECT_EQ(drivers->ioCalls[0].input, descriptorProbe);
    EXPECT_EQ(drivers->ioCalls[0].outputSize, 18u);

    // Kernel-streaming path: the 24-byte set-support query, no output.
    ASSERT_TRUE(AttachThroughDrivers(SimIdentity::Normal));
    drivers->ioCalls.clear();
    EXPECT_TRUE(gDevice.FindDevice());
    ASSERT_EQ(drivers->ioCalls.size(), 1u);
    Bytes query = KsBlock(0, 0, 0, 0);
    query.resize(24);
    query[16] = 0;     // property identifier 0
    query[20] = 0;
    query[21] = 0x01;  // flags 0x100
    EXPECT_EQ(drivers->ioCalls[0].code, 0x2F0003u);
    EXPECT_EQ(drivers->ioCalls[0].input, query);
    EXPECT_EQ(drivers->ioCalls[0].outputSize, 0u);
    // Each probe closed its temporary handle.
    EXPECT_EQ(drivers->closes.size(), drivers->opens.size());
}

TEST_F(WindowsBackend, DriverErrorsSayWhatHappenedToTheDevice) {
    struct Case {
        DWORD error;
        IoFailure failure;
    };
    const Case cases[] = {
        {ERROR_GEN_FAILURE, IoFailure::Refused},       {ERROR_INVALID_FUNCTION, IoFailure::Refused},
        {ERROR_INVALID_PARAMETER, IoFailure::Refused}, {ERROR_SEM_TIMEOUT, IoFailure::TimedOut},
        {WAIT_TIMEOUT, IoFailure::TimedOut},           {ERROR_DEVICE_NOT_CONNECTED, IoFailure::Gone},
        {ERROR_FILE_NOT_FOUND, IoFailure::Gone},       {433 /* ERROR_NO_SUCH_DEVICE */, IoFailure::Gone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        ASSERT_TRUE(gDevice.OpenDevice());
        drivers->ioError = c.error;
        uint8_t value = 0;
        EXPECT_FALSE(ReadRegister(0x12, &value));
        EXPECT_EQ(platform->LastIoFailure(), c.failure);
        EXPECT_EQ(platform->LastIoError(), c.error);
        // One refusal leaves the link alone; a vanished device loses it at once.
        EXPECT_EQ(gDevice.LinkLost(), c.failure == IoFailure::Gone);
        drivers->ioError = 0;
        gDevice.CloseDevice();
    }
}

TEST_F(WindowsBackend, ReturnedByteCountIsTheDriversAndAShortReplyIsNoValue) {
    ASSERT_TRUE(gDevice.OpenDevice());
    sim->SetRegister(0, 0x12, 0x77);
    uint8_t two[2] = {};
    ASSERT_TRUE(gDevice.ControlTransfer(0xC3, 0x91, 0, 0x12, two, 1));
    EXPECT_EQ(platform->LastReturnedSize(), 1u);
    drivers->returnedBytes = 0;
    EXPECT_FALSE(gDevice.ControlTransfer(0xC3, 0x91, 0, 0x12, two, 1));
}

TEST_F(WindowsBackend, NoLocalBlockMeansNoRequest) {
    ASSERT_TRUE(AttachThroughDrivers(SimIdentity::Normal));
    ASSERT_TRUE(gDevice.OpenDevice());
    drivers->refuseAlloc = true;
    uint8_t value = 0;
    EXPECT_FALSE(ReadRegister(0x12, &value));
    EXPECT_TRUE(drivers->ioCalls.empty());
    EXPECT_EQ(platform->LastIoFailure(), IoFailure::Refused);
    EXPECT_FALSE(gDevice.LinkLost());
}

class WindowsAutoRun : public WindowsBackend, public ::testing::WithParamInterface<SimIdentity> {
protected:
    SimIdentity InitialIdentity() const override { return GetParam(); }
};

TEST_P(WindowsAutoRun, WholeUpdateThroughTheDrivers) {
    const auto image = Pattern(0x10000, 7);
    LoadImage(image);
    sim->Flash().Contents().assign(sim->Flash().Size(), 0x00);
    const AutoResult result = RunAutoSequence({}, report);
    EXPECT_TRUE(result.success) << result.failedStep;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), sim->Flash().Contents().begin()));
    EXPECT_EQ(report.LastInfo(), "Verifying Success");
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_EQ(sim->MalformedCalls(), 0u);
    // Every request went through DeviceIoControl, and every block was released.
    EXPECT_GT(drivers->ioCalls.size(), 1000u);
    EXPECT_EQ(drivers->frees.size(), drivers->allocations.size());
    EXPECT_EQ(drivers->closes.size(), drivers->opens.size());
}

INSTANTIATE_TEST_SUITE_P(BothPaths, WindowsAutoRun,
                         ::testing::Values(SimIdentity::Update7C3D, SimIdentity::Normal),
                         [](const auto& info) { return info.param == SimIdentity::Normal ? "KernelStreaming" : "Generic"; });

// The system's own SetupAPI and kernel: under Wine no USB device is present.
TEST(WindowsSystemCalls, LoadEveryCallAndListNoDevicesWhereThereAreNone) {
    const Win32DeviceCalls calls = LoadSystemWin32DeviceCalls();
    ASSERT_TRUE(calls.Complete());
    WindowsDevicePlatform platform(calls);
    for (const Guid& cls : {kAudioDriverInterfaceClass, kUsbDeviceInterfaceClass}) {
        std::vector<std::string> paths{"stale"};
        EXPECT_TRUE(platform.ListInterfaces(cls, paths)) << cls.Text();
        EXPECT_TRUE(paths.empty()) << cls.Text();
    }
    EXPECT_EQ(platform.Open("\\\\?\\usb#vid_7c3d&pid_6012#none#{x}"), kNoDeviceHandle);
    EXPECT_FALSE(platform.LastOpenDenied());
}

// The window and the command-line tool get this backend, not the platform without devices.
TEST(WindowsSystemCalls, SystemPlatformIsTheDriverBackend) {
    const std::unique_ptr<DevicePlatform> system = MakeSystemPlatform();
    EXPECT_NE(dynamic_cast<WindowsDevicePlatform*>(system.get()), nullptr);
}

}  // namespace
