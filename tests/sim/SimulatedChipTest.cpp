// The simulated chip as a driver stand-in: decoding, identity, ISP mode, faults, log.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimFixture.h"
#include "device/DriverBlocks.h"

namespace {

class SimulatedChipTest : public SimFixture {
protected:
    bool Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t index,
                std::vector<uint8_t>& data) {
        return gDevice.ControlTransfer(type, request, value, index, data.data(),
                                       static_cast<uint32_t>(data.size()));
    }
    bool Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t index, size_t length = 0) {
        std::vector<uint8_t> data(length, 0);
        return Vendor(type, request, value, index, data);
    }
    bool EnterIsp() { return Vendor(0x43, 0x84, 0x3F49, 0x7C1A); }
};

TEST_F(SimulatedChipTest, IdentitiesHaveTheirPathAndClass) {
    struct Case {
        SimIdentity id;
        std::string path;
        Guid listedUnder;
        Guid notListedUnder;
    };
    const std::string audio = "{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}";
    const std::string generic = "{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const Case cases[] = {
        {SimIdentity::Normal, "\\\\?\\usb#vid_7c3d&pid_6012#1-1#" + audio, kAudioDriverInterfaceClass,
         kUsbDeviceInterfaceClass},
        {SimIdentity::Update7C3D, "\\\\?\\usb#vid_7c3d&pid_6000#1-1#" + generic,
         kUsbDeviceInterfaceClass, kAudioDriverInterfaceClass},
        {SimIdentity::Update0B7E, "\\\\?\\usb#vid_0b7e&pid_6000#1-1#" + generic,
         kUsbDeviceInterfaceClass, kAudioDriverInterfaceClass},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_TRUE(Attach(c.id));
        EXPECT_EQ(sim->InterfacePath(), c.path);
        EXPECT_STREQ(gDevice.DevicePath(), c.path.c_str());
        std::vector<std::string> paths;
        EXPECT_TRUE(sim->ListInterfaces(c.listedUnder, paths));
        EXPECT_EQ(paths, std::vector<std::string>{c.path});
        EXPECT_TRUE(sim->ListInterfaces(c.notListedUnder, paths));
        EXPECT_TRUE(paths.empty());
    }
    sim->SetNormalIds(0x1234, 0xABCD);
    EXPECT_TRUE(Attach(SimIdentity::Normal));
    EXPECT_EQ(sim->InterfacePath(), "\\\\?\\usb#vid_1234&pid_abcd#1-1#" + audio);
}

TEST_F(SimulatedChipTest, ProbesAnswer) {
    // The audio driver's support query, as FindDevice sent it for the normal identity.
    ASSERT_TRUE(Attach(SimIdentity::Normal));
    // The generic descriptor probe carries the identity's IDs.
    ASSERT_TRUE(Attach(SimIdentity::Update0B7E));
    const DeviceHandle h = sim->Open(sim->InterfacePath());
    const auto block = MakeGenericRequestBlock(kDescriptorProbeSetup, kDeviceDescriptorSize);
    uint8_t descriptor[18] = {};
    ASSERT_TRUE(sim->IoControl(h, kIoctlGenericRead, block.data(), block.size(), descriptor, 18));
    EXPECT_EQ(descriptor[0], 18);
    EXPECT_EQ(descriptor[1], 1);
    EXPECT_EQ(descriptor[8] | descriptor[9] << 8, 0x0b7e);
    EXPECT_EQ(descriptor[10] | descriptor[11] << 8, 0x6000);

    // The audio driver does not serve the firmware-update device: its query fails there.
    const auto query = MakeKsSupportQuery();
    EXPECT_FALSE(sim->IoControl(h, kIoctlKsProperty, query.data(), query.size(), nullptr, 0));
    ASSERT_TRUE(Attach(SimIdentity::Normal));
    const DeviceHandle normal = sim->Open(sim->InterfacePath());
    EXPECT_TRUE(sim->IoControl(normal, kIoctlKsProperty, query.data(), query.size(), nullptr, 0));
    EXPECT_FALSE(sim->IoControl(normal, kIoctlGenericRead, block.data(), block.size(), descriptor, 18))
        << "nor does the generic driver serve the normal device";
    sim->Unplug();
    EXPECT_FALSE(sim->IoControl(normal, kIoctlKsProperty, query.data(), query.size(), nullptr, 0));
}

TEST_F(SimulatedChipTest, MalformedCallsFail) {
    ASSERT_TRUE(Attach(SimIdentity::Update7C3D));
    const DeviceHandle h = sim->Open(sim->InterfacePath());
    auto block = MakeGenericRequestBlock({0xC3, 0x91, 0, 0x12});
    uint8_t byte = 0;
    EXPECT_FALSE(sim->IoControl(h, kIoctlGenericWrite, block.data(), block.size(), &byte, 1))
        << "code disagrees with the direction";
    EXPECT_FALSE(sim->IoControl(h, kIoctlGenericRead, block.data(), 20, &byte, 1)) << "short block";
    EXPECT_FALSE(sim->IoControl(h, 0x123456, block.data(), block.size(), &byte, 1)) << "unknown code";
    EXPECT_EQ(sim->MalformedCalls(), 3u);
    EXPECT_TRUE(sim->Log().empty());
    EXPECT_TRUE(sim->IoControl(h, kIoctlGenericRead, block.data(), block.size(), &byte, 1));
}

TEST_F(SimulatedChipTest, IspModeNeedsItsKeyWords) {
    ASSERT_TRUE(Open());
    struct Case {
        const char* name;
        uint8_t request;
        uint16_t value, index;
        size_t length;
    };
    const Case refused[] = {{"enter, wrong value", 0x84, 0x3F48, 0x7C1A, 0},
                            {"enter, wrong index", 0x84, 0x3F49, 0x7C1B, 0},
                            {"enter with data", 0x84, 0x3F49, 0x7C1A, 1},
                            {"enter with leave words", 0x84, 0x1B8D, 0x9A4E, 0}};
    for (const Case& c : refused) {
        EXPECT_FALSE(Vendor(0x43, c.request, c.value, c.index, c.length)) << c.name;
        EXPECT_FALSE(sim->InIspMode()) << c.name;
    }
    EXPECT_TRUE(EnterIsp());
    EXPECT_TRUE(sim->InIspMode());
    EXPECT_FALSE(Vendor(0x43, 0x85, 0x3F49, 0x7C1A)) << "leave with enter words";
    EXPECT_TRUE(sim->InIspMode());
    EXPECT_TRUE(Vendor(0x43, 0x85, 0x1B8D, 0x9A4E));
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(SimulatedChipTest, RelayWorksOnlyInIspMode) {
    ASSERT_TRUE(Open());
    std::vector<uint8_t> wren = {0x06};
    std::vector<uint8_t> status = {0x05};
    const auto relay = [&] {
        return std::vector<bool>{Vendor(0x43, 0x80, 0, 1, wren), Vendor(0x43, 0x81, 1, 1, status),
                                 Vendor(0xC3, 0x82, 0, 0, 1), Vendor(0xC3, 0x83, 0, 0, 1)};
    };
    EXPECT_EQ(relay(), std::vector<bool>(4, false));
    EXPECT_EQ(sim->Flash().Status(), 0x00);
    ASSERT_TRUE(EnterIsp());
    EXPECT_EQ(relay(), std::vector<bool>(4, true));
    EXPECT_EQ(sim->Flash().Status(), 0x02);
    EXPECT_EQ(sim->Log().back().data, std::vector<uint8_t>{0x01});  // ready
}

TEST_F(SimulatedChipTest, RelayKeepsACommandOpenAcrossRequests) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(EnterIsp());
    sim->Flash().Contents()[0x123] = 0x5A;
    std::vector<uint8_t> opcode = {0x03};
    std::vector<uint8_t> address = {0x00, 0x01, 0x23};
    std::vector<uint8_t> fetched(3, 0);
    EXPECT_TRUE(Vendor(0x43, 0x80, 0, 0, opcode));   // chip select stays low
    EXPECT_TRUE(Vendor(0x43, 0x81, 2, 1, address));  // continues the read
    EXPECT_TRUE(Vendor(0xC3, 0x83, 0, 0, 1));        // ready: the bytes become valid
    EXPECT_TRUE(Vendor(0xC3, 0x82, 0, 0, fetched));
    EXPECT_EQ(fetched, (std::vector<uint8_t>{0x5A, 0xFF, 0xFF}));  // two kept, then nothing
    EXPECT_FALSE(Vendor(0x43, 0x80, 0, 2, opcode)) << "wIndex is 0 or 1";
    EXPECT_FALSE(Vendor(0x43, 0x81, 1, 0, opcode)) << "command-and-read ends its command";
}

TEST_F(SimulatedChipTest, RegistersAndBanks) {
    ASSERT_TRUE(Open());
    std::vector<uint8_t> byte = {7};
    EXPECT_TRUE(Vendor(0x43, 0x90, 0, 0, byte));  // select bank 7
    byte = {0x42};
    EXPECT_TRUE(Vendor(0x43, 0x90, 0, 0x33, byte));
    EXPECT_EQ(sim->Register(7, 0x33), 0x42);
    EXPECT_EQ(sim->Register(0, 0x33), 0x00);
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 0, byte));
    EXPECT_EQ(byte[0], 7) << "register 0 reads back the bank";

    EXPECT_FALSE(Vendor(0x43, 0x90, 0, 0x100, byte)) << "no register 0x100";
    EXPECT_FALSE(Vendor(0xC3, 0x90, 0, 0x33, byte)) << "write request in the read direction";
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 0x33, 2)) << "two-byte register read";
    EXPECT_FALSE(Vendor(0x40, 0x91, 0, 0x33, 1)) << "recipient device";
    EXPECT_EQ(sim->Register(0, 0xA4), 0x01);
    EXPECT_EQ(sim->Register(0, 0xA6), 0x01);
}

TEST_F(SimulatedChipTest, I2cMasterWorksOnlyOnceSetUp) {
    ASSERT_TRUE(Open());
    const auto write = [&](uint16_t reg, uint8_t value) {
        std::vector<uint8_t> byte = {value};
        return Vendor(0x43, 0x90, 0, reg, byte);
    };
    const auto status = [&] {
        std::vector<uint8_t> byte = {0};
        Vendor(0xC3, 0x91, 0, 0x10, byte);
        return byte[0];
    };
    ASSERT_TRUE(write(0, 14));
    const auto startAndAddress = [&] {
        write(0x10, 0xC0);
        write(0x14, 0x01);
        write(0x12, 0x20);
    };
    startAndAddress();
    EXPECT_TRUE(sim->I2c().Bus().empty());
    EXPECT_EQ(status(), 0x09) << "a disabled master reports done, not acknowledged";

    sim->SetRegister(14, 0x11, 0x04);
    EXPECT_EQ(sim->Register(14, 0x11), 0x04);
    startAndAddress();
    EXPECT_EQ(sim->I2c().Bus().size(), 2u);
    EXPECT_EQ(status(), 0x01);
}

TEST_F(SimulatedChipTest, IspModeKeepsIdentityAndHandle) {
    ASSERT_TRUE(Open());
    const std::string path = sim->InterfacePath();
    ASSERT_TRUE(EnterIsp());
    EXPECT_EQ(sim->InterfacePath(), path);
    EXPECT_TRUE(Vendor(0x43, 0x85, 0x1B8D, 0x9A4E));
    EXPECT_TRUE(gDevice.CheckPresence());
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 1, 1));
}

TEST_F(SimulatedChipTest, UnplugDropsHandlesAndResetsTheChip) {
    ASSERT_TRUE(Open());
    ASSERT_TRUE(EnterIsp());
    sim->SetRegister(5, 5, 5);
    sim->Flash().Contents()[0] = 0x00;
    sim->Unplug();
    EXPECT_FALSE(gDevice.CheckPresence());
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_FALSE(Open());
    sim->Plug();
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 1, 1)) << "an old handle stays dead";
    ASSERT_TRUE(Open());
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_EQ(sim->Register(5, 5), 0);
    EXPECT_EQ(sim->Flash().Contents()[0], 0x00) << "the flash keeps its content";
}

TEST_F(SimulatedChipTest, UnplugAfterSomeRequests) {
    ASSERT_TRUE(Open());
    sim->UnplugAfter(2);
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_FALSE(sim->Present());
    EXPECT_FALSE(gDevice.CheckPresence());
}

TEST_F(SimulatedChipTest, InjectedFaultsFailMatchingRequestsBeforeTheChip) {
    ASSERT_TRUE(Open());
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x90 && r.data == std::vector<uint8_t>{9}; },
        2);
    std::vector<uint8_t> nine = {9};
    std::vector<uint8_t> eight = {8};
    EXPECT_FALSE(Vendor(0x43, 0x90, 0, 0x20, nine));
    EXPECT_TRUE(Vendor(0x43, 0x90, 0, 0x21, eight));
    EXPECT_FALSE(Vendor(0x43, 0x90, 0, 0x20, nine));
    EXPECT_EQ(sim->Register(0, 0x20), 0) << "a failed request never reached the chip";
    EXPECT_TRUE(Vendor(0x43, 0x90, 0, 0x20, nine)) << "the count ran out";
    EXPECT_EQ(sim->Register(0, 0x20), 9);
    std::vector<bool> outcomes;
    for (const SimRequest& r : sim->Log()) outcomes.push_back(r.ok);
    EXPECT_EQ(outcomes, (std::vector<bool>{false, true, false, true}));
}

TEST_F(SimulatedChipTest, LogHoldsReturnedBytesOnlyOnSuccess) {
    ASSERT_TRUE(Open());
    sim->SetRegister(0, 0x44, 0x4C);
    sim->FailRequestsMatching([](const SimRequest& r) { return r.setup.wIndex == 0x45; });
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 0x44, 1));
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 0x45, 1));
    ASSERT_EQ(sim->Log().size(), 2u);
    EXPECT_EQ(sim->Log()[0].data, std::vector<uint8_t>{0x4C});
    EXPECT_TRUE(sim->Log()[0].ksPath);
    EXPECT_TRUE(sim->Log()[1].data.empty());
}

TEST_F(SimulatedChipTest, TraceSinkAndLatency) {
    ASSERT_TRUE(Open());
    struct Seen {
        uint32_t code;
        size_t inSize, outSize;
        bool ok;
    };
    std::vector<Seen> seen;
    sim->SetTraceSink([&](uint32_t code, const uint8_t*, size_t inSize, const uint8_t*,
                          size_t outSize, bool ok) { seen.push_back({code, inSize, outSize, ok}); });
    sim->SetRequestLatencyMicros(250);
    const uint64_t before = clock.NowMicros();
    EXPECT_TRUE(Vendor(0xC3, 0x91, 0, 1, 1));
    EXPECT_FALSE(Vendor(0xC3, 0x91, 0, 0x100, 1));
    EXPECT_EQ(clock.NowMicros() - before, 500u);
    EXPECT_EQ(clock.SleptMs(), 0u);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].code, kIoctlKsProperty);
    EXPECT_EQ(seen[0].inSize, 48u);
    EXPECT_EQ(seen[0].outSize, 1u);
    EXPECT_TRUE(seen[0].ok);
    EXPECT_FALSE(seen[1].ok);
}

}  // namespace
