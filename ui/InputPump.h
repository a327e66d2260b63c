#pragma once
// Pending input during device work.
//
// The window runs on one thread, so a Stop click, a close or a repaint is handled only
// when the running operation lets the window take its pending messages: after every block,
// page and status read the flash operations ask for it, and after every request to the
// device it happens when 100 ms of the clock have passed since the last time
// (InputHandlingPlatform), so no wait can make the window deaf for longer (a busy flash,
// a device that no longer answers).

#include <cstdint>
#include <optional>

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
