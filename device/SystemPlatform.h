#pragma once
// The platform's own USB stack, for the window and the command-line tool: libusb on
// Linux (device/linux/), the drivers through SetupAPI on Windows (device/windows/),
// elsewhere a platform with no devices. Link quorvel_system_platform
// to get the implementation for the system being built.

#include <memory>

#include "device/DevicePlatform.h"

std::unique_ptr<DevicePlatform> MakeSystemPlatform();
// What a user can do when the device is present but this user may not open it (lines
// to show as they are), or empty where the system has nothing to suggest.
const char* SystemAccessHint();
