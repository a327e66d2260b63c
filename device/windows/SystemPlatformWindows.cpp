#include "device/SystemPlatform.h"
#include "device/windows/WindowsDevicePlatform.h"

std::unique_ptr<DevicePlatform> MakeSystemPlatform() {
    return std::make_unique<WindowsDevicePlatform>(LoadSystemWin32DeviceCalls());
}
