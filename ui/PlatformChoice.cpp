#include "ui/PlatformChoice.h"

#include <algorithm>

#include "device/SystemPlatform.h"
#include "sim/SimulatedChip.h"

bool WantsSimulatedChip(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--sim") != arguments.end();
}

std::unique_ptr<DevicePlatform> ChooseDevicePlatform(const std::vector<std::string>& arguments) {
    if (!WantsSimulatedChip(arguments)) return MakeSystemPlatform();
    auto chip = std::make_unique<SimulatedChip>(CurrentClock());
    chip->Flash().SetTimingScale(kSimulatedFlashTimingScale);
    // Nobody reads the request log in the program; kept, it would grow with every request.
    chip->SetLogEnabled(false);
    return chip;
}
