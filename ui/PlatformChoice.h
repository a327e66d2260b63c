#pragma once
// Which device platform the window talks to: the simulated chip when the program is
// started with --sim, otherwise the platform's own USB stack.

#include <memory>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"

// Whether the arguments ask for the simulated chip.
bool WantsSimulatedChip(const std::vector<std::string>& arguments);

// The platform for these arguments. The simulated chip runs on the real clock with its
// flash busy times scaled down, so that a whole update takes seconds.
std::unique_ptr<DevicePlatform> ChooseDevicePlatform(const std::vector<std::string>& arguments);

// How much faster than the datasheet the simulated flash works in the window.
inline constexpr double kSimulatedFlashTimingScale = 0.01;
