// Runs the Auto sequence on a 256 KB image against the simulated chip, under the virtual
// clock with a latency model, and compares what it cost with the floor of the sequence.
//
//   auto_bench [LATENCY_US]        (default 125)
//
// Figures printed: the control requests sent, the virtual duration, the host CPU time of
// the run, the floor, and (virtual duration + host CPU time) / floor.
//
// The floor is what the sequence needs when every poll succeeds as early as the flash
// allows: its requests times the latency, plus the sleeps it then still makes. Those sleeps
// cover the flash's busy times (chip erase 2 s, status writes 10 ms, 0.8 ms per page under
// the 1 ms sleep after each page).

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "files/FlashImage.h"
#include "isp/IspOperations.h"
#include "isp/IspReporter.h"
#include "sim/SimulatedChip.h"

namespace {

// The requests a driver call costs: every call is one control request.
class CountingReporter final : public IspReporter {
public:
    void ProcessInfo(const std::string& t) override { last = t; }
    void ProcessAddress(const std::string&) override {}
    void StatusRegister(const std::string&) override {}
    void Progress(IspStage, uint64_t, uint64_t) override {}
    void ProcessMessages() override {}
    std::string last;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Floor {
    uint64_t requests = 0;
    uint64_t sleepMicros = 0;
};

// Requests of one status read (command, ready, fetch) and of one 64-byte block read.
constexpr uint64_t kStatusRead = 3;
constexpr uint64_t kBlockRead = 3;

// A busy wait polled every `sleepMs` after a first read: the reads and sleeps it takes at
// best for a busy time of `busyMicros` that starts `headStartMicros` before the first read.
// Each round is a sleep plus the requests of one status read.
void AddBusyWait(Floor& f, uint64_t latency, uint64_t busyMicros, uint64_t sleepMs,
                 uint64_t headStartMicros = 0) {
    const uint64_t remaining = busyMicros > headStartMicros ? busyMicros - headStartMicros : 0;
    const uint64_t round = sleepMs * 1000 + kStatusRead * latency;
    const uint64_t sleeps = (remaining + round - 1) / round;
    f.requests += (sleeps + 1) * kStatusRead;
    f.sleepMicros += sleeps * sleepMs * 1000;
}

Floor SequenceFloor(uint64_t latency, uint32_t imageLength, uint32_t programmedPages) {
    Floor f;
    f.requests += 4;              // enter ISP mode and its three register writes
    f.requests += 3;              // flash ID: command, ready, fetch
    f.requests += 2;              // write enable, status 0x00
    AddBusyWait(f, latency, SimFlash::kStatusWriteMicros, 10);
    f.requests += 2;              // write enable, chip erase
    f.sleepMicros += 10'000;      // the sleep after the erase command
    AddBusyWait(f, latency, SimFlash::kChipEraseMicros, 10, 10'000);
    const uint64_t blocks = (uint64_t{imageLength} + 1 + 63) / 64;  // end address included
    f.requests += 2 * blocks * kBlockRead;                          // blank check and verify
    // Each page: idle check, write enable, two program requests, one ready question after
    // the 1 ms sleep (which outlasts the 0.8 ms page program).
    f.requests += uint64_t{programmedPages} * (kStatusRead + 1 + 2 + 1);
    f.sleepMicros += uint64_t{programmedPages} * 1000;
    f.requests += 2;              // write enable, status 0xFF
    AddBusyWait(f, latency, SimFlash::kStatusWriteMicros, 10);
    f.requests += 3;              // leave ISP mode, two register writes
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t latency = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 125;
    VirtualClock clock;
    SetCurrentClock(&clock);
    SimulatedChip chip(clock);
    chip.SetIdentity(SimIdentity::Update7C3D);
    chip.SetLogEnabled(false);
    gDevice.SetPlatform(&chip);
    gDevice.SetMatchString("vid_7c3d&pid_6000");
    gDevice.FindDevice();

    // A 256 KB image of varied bytes with no erased pages.
    FillImage(0xFF);
    uint32_t seed = 7;
    for (uint32_t i = 0; i < kFlashImageSize; ++i) {
        seed = seed * 1664525u + 1013904223u;
        gFlashImage[i] = uint8_t((seed >> 24) | 1);
    }
    gImageLength = kFlashImageSize;
    const uint32_t pages = kFlashImageSize / 256;

    size_t requests = 0;
    chip.SetTraceSink([&](uint32_t, const uint8_t*, size_t, const uint8_t*, size_t, bool) {
        ++requests;
    });
    chip.SetRequestLatencyMicros(latency);

    CountingReporter report;
    const double cpuStart = CpuSeconds();
    const uint64_t virtualStart = clock.NowMicros();
    const AutoResult result = RunAutoSequence(AutoOptions{}, report);
    const double cpu = CpuSeconds() - cpuStart;
    const double virtualSeconds = double(clock.NowMicros() - virtualStart) / 1e6;

    const Floor floor = SequenceFloor(latency, gImageLength, pages);
    const double floorSeconds = double(floor.requests * latency + floor.sleepMicros) / 1e6;

    std::printf("result              %s (%s)\n", result.success ? "success" : "FAILED",
                report.last.c_str());
    std::printf("control requests    %zu\n", requests);
    std::printf("virtual duration    %.3f s\n", virtualSeconds);
    std::printf("host CPU time       %.3f s\n", cpu);
    std::printf("floor requests      %llu\n", static_cast<unsigned long long>(floor.requests));
    std::printf("floor               %.3f s\n", floorSeconds);
    std::printf("ratio               %.3f\n", (virtualSeconds + cpu) / floorSeconds);
    gDevice.SetPlatform(nullptr);
    SetCurrentClock(nullptr);
    return result.success ? 0 : 1;
}
