#include "ui/DeviceAction.h"

namespace {
bool gActionHeld = false;
}

DeviceAction::DeviceAction() : held_(!gActionHeld) {
    if (held_) gActionHeld = true;
}

DeviceAction::~DeviceAction() {
    if (held_) gActionHeld = false;
}

bool DeviceAction::Held() { return gActionHeld; }
