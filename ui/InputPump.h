#pragma once
// Pending input during device work.
//
// The window runs on one thread, so a Stop click, a close or a repaint is handled only
// when the running operation lets the window take its pending messages: after every block,
// page and status read the flash operations ask for it, and every wait that sleeps on the
// clock does it at least every 100 ms of that clock, so no wait can make the window deaf
// for longer (a busy flash, a device that no longer answers).

#include <cstdint>
#include <optional>

#include "device/Clock.h"
#include "ui/UiServices.h"

// Something on the screen that is brought up to date before the window repaints.
class HeldDisplay {
public:
    virtual ~HeldDisplay() = default;
    virtual void ShowIfDue() = 0;
};

class InputPump {
public:
    // The longest a wait goes without handling input.
    static constexpr uint64_t kMaxGapMicros = 100'000;

    explicit InputPump(UiServices& services) : services_(services) {}

    // Handles the pending input now, after bringing the attached display up to date.
    void Pump();
    // Handles it when kMaxGapMicros have passed on the clock since the last time.
    void PumpIfDue();

    // The display of the running operation; the one attached before comes back on detach.
    HeldDisplay* Attach(HeldDisplay* display);
    void Detach(HeldDisplay* previous) { display_ = previous; }

private:
    UiServices& services_;
    HeldDisplay* display_ = nullptr;
    std::optional<uint64_t> lastPump_;
};

// The clock the window installs for the code it runs: it passes time on to the clock it
// wraps and, while a device action holds the device, lets the window handle input from
// inside the sleeps of the waits.
class InputHandlingClock final : public Clock {
public:
    InputHandlingClock(Clock& inner, InputPump& pump) : inner_(inner), pump_(pump) {}

    void Sleep(uint32_t ms) override;
    uint64_t NowMicros() const override { return inner_.NowMicros(); }
    void Spend(uint64_t micros) override { inner_.Spend(micros); }

    Clock& Inner() const { return inner_; }

private:
    Clock& inner_;
    InputPump& pump_;
};
