#include "device/Clock.h"

#include <chrono>
#include <thread>

void RealClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void RealClock::Spend(uint64_t micros) {
    if (micros > 0) std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

uint64_t RealClock::NowMicros() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {
RealClock gRealClock;
Clock* gClock = &gRealClock;
}  // namespace

Clock& CurrentClock() { return *gClock; }

void SetCurrentClock(Clock* clock) { gClock = clock != nullptr ? clock : &gRealClock; }
