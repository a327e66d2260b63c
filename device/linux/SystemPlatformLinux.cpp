#include "device/SystemPlatform.h"

#include "device/linux/LibusbPlatform.h"

std::unique_ptr<DevicePlatform> MakeSystemPlatform() { return std::make_unique<LibusbPlatform>(); }
