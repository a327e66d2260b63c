#pragma once
// A simulated chip on the emulated bus, reached by gDevice through libusb, on a virtual
// clock. The chip sits at 1-2.3 behind a hub.
//
// The chip runs on umockdev's thread while the test's thread waits inside libusb, so a
// test reads the chip only between requests.

#include <cstdio>
#include <memory>

#include "LibusbFixture.h"
#include "SimOnBus.h"
#include "chip/SpiFlash.h"
#include "device/Clock.h"

class LibusbChipTest : public LibusbTest {
protected:
    void SetUp() override {
        LibusbTest::SetUp();
        SetCurrentClock(&clock);
        chip = std::make_unique<SimulatedChip>(clock);
        Add(Hub());
        device = &bed.Add(SpecOf(*chip, "1-2.3", 5));
        device->SetResponder(ServeFrom(*chip));
    }
    void TearDown() override {
        LibusbTest::TearDown();
        SetCurrentClock(nullptr);
        ResetChipGlobals();
    }

    // Finds the chip on the path of `ksPath` (the generic class lists every device, the
    // normal one included). The requests of the search are forgotten.
    void Attach(uint8_t ksPath) {
        gDevice.SetKsPath(ksPath);
        char match[32];
        std::snprintf(match, sizeof match, "vid_%04x&pid_%04x", chip->Vid(), chip->Pid());
        gDevice.SetMatchString(match);
        ASSERT_TRUE(gDevice.FindDevice());
        device->ClearRequests();
    }
    void AttachAndOpen(uint8_t ksPath) {
        ASSERT_NO_FATAL_FAILURE(Attach(ksPath));
        ASSERT_TRUE(gDevice.OpenDevice());
    }

    VirtualClock clock;
    std::unique_ptr<SimulatedChip> chip;
    EmulatedUsbDevice* device = nullptr;
};

// The same, once per driver encoding (the parameter is ksPath), opened.
class LibusbBothPaths : public LibusbChipTest, public ::testing::WithParamInterface<uint8_t> {
protected:
    void SetUp() override {
        LibusbChipTest::SetUp();
        AttachAndOpen(GetParam());
    }
};

inline std::string EncodingName(const ::testing::TestParamInfo<uint8_t>& info) {
    return info.param ? "AudioDriver" : "Generic";
}
