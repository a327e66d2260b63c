#include "device/SystemPlatform.h"
#include "device/windows/WindowsDevicePlatform.h"

std::unique_ptr<DevicePlatform> MakeSystemPlatform() {
    return std::make_unique<WindowsDevicePlatform>(LoadSystemWin32DeviceCalls());
}

const char* SystemAccessHint() {
    return "  The device is present, but Windows denied access to it. Close any other\n"
           "  program that has it open (another copy of this tool, a vendor control\n"
           "  panel) and try again.\n";
}
