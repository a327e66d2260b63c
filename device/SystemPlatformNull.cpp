#include "device/SystemPlatform.h"

// Systems without a USB backend of their own see no devices; the simulated chip still works.
std::unique_ptr<DevicePlatform> MakeSystemPlatform() {
    return std::make_unique<NullDevicePlatform>();
}

const char* SystemAccessHint() { return ""; }
