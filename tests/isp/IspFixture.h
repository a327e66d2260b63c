#pragma once
// A simulated chip on the generic path behind gDevice, a virtual clock, and a reporter
// that records every text, for the flash-operation tests.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "chip/SpiFlash.h"
#include "device/QuorvelUsb.h"
#include "files/FileGlobals.h"
#include "files/FlashImage.h"
#include "isp/IspReporter.h"
#include "isp/IspState.h"
#include "sim/SimulatedChip.h"
#include "SimFixture.h"

class RecordingReporter : public IspReporter {
public:
    std::vector<std::string> infos;  // consecutive repeats collapsed
    std::vector<std::string> addresses;
    std::vector<std::string> statusTexts;
    size_t messagePumps = 0;
    bool progressWentBack = false;
    // Runs at every pump, as a click handled inside the operation would.
    std::function<void(size_t pump)> onPump;

    void ProcessInfo(const std::string& t) override {
        if (infos.empty() || infos.back() != t) infos.push_back(t);
    }
    void ProcessAddress(const std::string& t) override { addresses.push_back(t); }
    void StatusRegister(const std::string& t) override { statusTexts.push_back(t); }
    void Progress(IspStage stage, uint64_t done, uint64_t) override {
        if (stage == lastStage_ && done < lastDone_) progressWentBack = true;
        lastStage_ = stage;
        lastDone_ = done;
    }
    void ProcessMessages() override {
        ++messagePumps;
        if (onPump) onPump(messagePumps);
    }
    std::string LastInfo() const { return infos.empty() ? "" : infos.back(); }

private:
    IspStage lastStage_ = IspStage::Erase;
    uint64_t lastDone_ = 0;
};

class IspFixture : public SimFixture {
protected:
    SimIdentity InitialIdentity() const override { return SimIdentity::Update7C3D; }

    void SetUp() override {
        ResetFileGlobals();
        ResetIspGlobals();
        SimFixture::SetUp();
    }
    void TearDown() override {
        SimFixture::TearDown();
        ResetIspGlobals();
        ResetFileGlobals();
    }

    // Puts `bytes` into the flash image as if a file of that length had been loaded.
    void LoadImage(const std::vector<uint8_t>& bytes) {
        FillImage(0xFF);
        std::memcpy(gFlashImage, bytes.data(), bytes.size());
        gImageLength = static_cast<uint32_t>(bytes.size());
    }
    static std::vector<uint8_t> Pattern(size_t size, uint32_t seed = 1) {
        std::vector<uint8_t> v(size);
        for (size_t i = 0; i < size; ++i) {
            seed = seed * 1664525u + 1013904223u;
            v[i] = static_cast<uint8_t>(seed >> 24);
        }
        return v;
    }
    // Flash-write requests (0x80) with this wIndex.
    std::vector<SimRequest> FlashWrites(uint16_t wIndex) const {
        std::vector<SimRequest> out;
        for (const SimRequest& r : Requests(0x80))
            if (r.setup.wIndex == wIndex) out.push_back(r);
        return out;
    }
    // Complete flash commands (one flash-write request of at most four bytes), by opcode.
    std::vector<SimRequest> FlashCommands(uint8_t opcode) const {
        std::vector<SimRequest> out;
        for (const SimRequest& r : FlashWrites(1))
            if (r.length <= 4 && !r.data.empty() && r.data[0] == opcode) out.push_back(r);
        return out;
    }
    // The data requests of page programs (the second request of each page).
    std::vector<SimRequest> PageData() const {
        std::vector<SimRequest> out;
        bool afterHeader = false;
        for (const SimRequest& r : Requests(0x80)) {
            if (afterHeader && r.setup.wIndex == 1) out.push_back(r);
            afterHeader = r.setup.wIndex == 0 && !r.data.empty() && r.data[0] == 0x02;
        }
        return out;
    }

    RecordingReporter report;
};
