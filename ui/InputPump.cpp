#include "ui/InputPump.h"

#include "ui/DeviceAction.h"

void InputPump::Pump() {
    if (display_ != nullptr) display_->ShowIfDue();
    lastPump_ = CurrentClock().NowMicros();
    services_.ProcessMessages();
}

void InputPump::PumpIfDue() {
    const uint64_t now = CurrentClock().NowMicros();
    if (lastPump_ && now - *lastPump_ < kMaxGapMicros) return;
    Pump();
}

HeldDisplay* InputPump::Attach(HeldDisplay* display) {
    HeldDisplay* previous = display_;
    display_ = display;
    return previous;
}

void InputHandlingClock::Sleep(uint32_t ms) {
    inner_.Sleep(ms);
    // Outside a device action nothing of the window is waiting on the device.
    if (DeviceAction::Held()) pump_.PumpIfDue();
}
