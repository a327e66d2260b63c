#include "ui/InputPump.h"

#include "device/Clock.h"

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
