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
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "chip/SpiFlash.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "sim/SimulatedChip.h"

// One request as tests compare it: setup fields, length, and the bytes sent (OUT only).
struct SimReq {
    uint8_t type = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint32_t length = 0;
    std::vector<uint8_t> sent;

    friend bool operator==(const SimReq&, const SimReq&) = default;
    friend void PrintTo(const SimReq& r, std::ostream* os) {
        char head[64];
        std::snprintf(head, sizeof head, "{%02X %02X v%04X i%04X n%u", r.type, r.request, r.value,
                      r.index, r.length);
        *os << head;
        for (uint8_t b : r.sent) {
            std::snprintf(head, sizeof head, " %02X", b);
            *os << head;
        }
        *os << "}";
    }
};

// Shorthands for the requests of the chip layer.
inline SimReq VendorOut(uint8_t request, uint16_t value, uint16_t index, std::vector<uint8_t> sent) {
    const auto length = static_cast<uint32_t>(sent.size());
    return {0x43, request, value, index, length, std::move(sent)};
}
inline SimReq VendorIn(uint8_t request, uint16_t value, uint16_t index, uint32_t length) {
    return {0xC3, request, value, index, length, {}};
}
inline SimReq RegWrite(uint16_t reg, uint8_t value) { return VendorOut(0x90, 0, reg, {value}); }
inline SimReq RegRead(uint16_t reg) { return VendorIn(0x91, 0, reg, 1); }

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

    // The whole log as SimReq values (support queries left out).
    std::vector<SimReq> Summary() const {
        std::vector<SimReq> out;
        for (const SimRequest& r : sim->Log()) {
            if (r.supportQuery) continue;
            SimReq q{r.setup.bmRequestType, r.setup.bRequest, r.setup.wValue, r.setup.wIndex,
                     r.length, {}};
            if (!r.setup.DeviceToHost()) q.sent = r.data;
            out.push_back(std::move(q));
        }
        return out;
    }

    // Register writes (register, value) and reads (register), in order.
    std::vector<std::pair<uint16_t, uint8_t>> RegisterWrites() const {
        std::vector<std::pair<uint16_t, uint8_t>> out;
        for (const SimRequest& r : Requests(0x90)) out.emplace_back(r.setup.wIndex, r.data.at(0));
        return out;
    }
    std::vector<uint16_t> RegisterReads() const {
        std::vector<uint16_t> out;
        for (const SimRequest& r : Requests(0x91)) out.push_back(r.setup.wIndex);
        return out;
    }

    VirtualClock clock;
    std::unique_ptr<SimulatedChip> sim;
};

// The same, for value-parameterised tests.
template <typename Param>
class SimFixtureWithParam : public SimFixture, public ::testing::WithParamInterface<Param> {};
