#pragma once
// Finding the device for a command: the three searches of the window's detection cycle,
// in its order, and the refusal to guess when several devices match.

#include <cstdint>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"

// One of the devices the tool looks for.
struct DeviceIdentity {
    uint8_t ksPath;          // the driver path it is reached through
    std::string match;       // match string for its device path
    std::string message;     // what detection shows when it is found
};

// Normal device (VID/PID as given, matched in lower case) on the kernel-streaming path,
// then the firmware-update devices 7C3D and 0B7E on the generic path.
std::vector<DeviceIdentity> SearchOrder(const std::string& vid, const std::string& pid);

struct DeviceMatch {
    const DeviceIdentity* identity;
    std::string path;
};

// Every present interface that matches one of `order`, searched in that order.
std::vector<DeviceMatch> FindMatches(DevicePlatform& platform,
                                     const std::vector<DeviceIdentity>& order);
