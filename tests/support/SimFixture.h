#pragma once
// A test fixture that runs gDevice against a simulated chip on a virtual clock.
//
// SetUp installs the clock, makes a SimulatedChip gDevice's platform, and finds the chip
// with the identity of InitialIdentity() on the matching driver path (the audio-driver
// path for the normal device, the generic path for the update devices), then clears the
// request log so a test sees only its own requests. The handle is not opened: call
// Open() (or gDevice.OpenDevice()) as the code under test expects. TearDown closes the
// device, detaches the platform, restores gDevice's path flag and match string, restores
// the real clock and resets the chip layer's globals.
//
// Layers above the chip reuse it and reset their own globals in their own TearDown.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chip/SpiFlash.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "sim/SimulatedChip.h"

class SimFixture : public ::testing::Test {
protected:
    // Override to start with another identity.
    virtual SimIdentity InitialIdentity() const { return SimIdentity::Normal; }

    void SetUp() override {
        SetCurrentClock(&clock);
        sim = std::make_unique<SimulatedChip>(clock);
        gDevice.SetPlatform(sim.get());
        ASSERT_TRUE(Attach(InitialIdentity()));
    }

    void TearDown() override {
        gDevice.CloseDevice();
        gDevice.SetPlatform(nullptr);
        gDevice.SetKsPath(0);
        gDevice.SetMatchString("vid_0b7e&pid_6000");
        gDevice.ClearFound();
        SetCurrentClock(nullptr);
        ResetChipGlobals();
    }

    // Gives the chip `id`, points gDevice at it (path flag and match string) and runs
    // FindDevice. The log is cleared afterwards.
    bool Attach(SimIdentity id) {
        gDevice.CloseDevice();
        sim->SetIdentity(id);
        gDevice.SetKsPath(id == SimIdentity::Normal ? 1 : 0);
        char match[32];
        std::snprintf(match, sizeof match, "vid_%04x&pid_%04x", sim->Vid(), sim->Pid());
        gDevice.SetMatchString(match);
        const bool found = gDevice.FindDevice();
        sim->ClearLog();
        return found;
    }

    bool Open() { return gDevice.OpenDevice(); }

    // The logged requests with bRequest `code` (any direction), in order.
    std::vector<SimRequest> Requests(uint8_t bRequest) const {
        std::vector<SimRequest> out;
        for (const SimRequest& r : sim->Log()) {
            if (!r.supportQuery && r.setup.bRequest == bRequest) out.push_back(r);
        }
        return out;
    }

    VirtualClock clock;
    std::unique_ptr<SimulatedChip> sim;
};

// The same, for value-parameterised tests.
template <typename Param>
class SimFixtureWithParam : public SimFixture, public ::testing::WithParamInterface<Param> {};
