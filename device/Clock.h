#pragma once
// Time for everything that waits on the device. Production code sleeps on the real clock;
// tests and benchmarks install a virtual clock that only advances, so long operations
// finish at once and their timing figures are deterministic.

#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(uint32_t ms) = 0;
    // Microseconds since an arbitrary start.
    virtual uint64_t NowMicros() const = 0;
    // Time a simulated request costs on the bus: the real clock waits it out, the virtual
    // clock adds it.
    virtual void Spend(uint64_t micros) = 0;
};

class RealClock final : public Clock {
public:
    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() const override;
    void Spend(uint64_t micros) override;
};

class VirtualClock final : public Clock {
public:
    void Sleep(uint32_t ms) override {
        now_ += uint64_t{ms} * 1000;
        sleptMs_ += ms;
        ++sleeps_;
    }
    uint64_t NowMicros() const override { return now_; }
    void Spend(uint64_t micros) override { now_ += micros; }

    uint64_t SleptMs() const { return sleptMs_; }
    uint64_t Sleeps() const { return sleeps_; }

private:
    uint64_t now_ = 0;
    uint64_t sleptMs_ = 0;
    uint64_t sleeps_ = 0;
};

// The process's clock: the real one unless another was installed.
Clock& CurrentClock();
// Installs `clock` (null restores the real clock). The caller keeps it alive.
void SetCurrentClock(Clock* clock);
