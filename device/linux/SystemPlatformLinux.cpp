#include "device/SystemPlatform.h"

#include "device/linux/LibusbPlatform.h"

std::unique_ptr<DevicePlatform> MakeSystemPlatform() { return std::make_unique<LibusbPlatform>(); }

const char* SystemAccessHint() {
    return "  The device is present, but this user may not open it. Install the udev\n"
           "  rules file 70-quorvel-isp.rules (packaging/udev/) into /etc/udev/rules.d,\n"
           "  run 'udevadm control --reload-rules' and replug the device.\n";
}
