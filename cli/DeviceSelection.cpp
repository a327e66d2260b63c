#include "cli/DeviceSelection.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::vector<DeviceIdentity> SearchOrder(const std::string& vid, const std::string& pid) {
    return {
        {1, Lower("vid_" + vid + "&pid_" + pid), "Device " + pid + " is exist"},
        {0, "vid_7c3d&pid_6000", "Firmware update device 7C3D is exist"},
        {0, "vid_0b7e&pid_6000", "Firmware update device 0B7E is exist"},
    };
}

std::vector<DeviceMatch> FindMatches(DevicePlatform& platform,
                                     const std::vector<DeviceIdentity>& order) {
    std::vector<DeviceMatch> matches;
    for (const DeviceIdentity& identity : order) {
        const Guid& cls = identity.ksPath ? kAudioDriverInterfaceClass : kUsbDeviceInterfaceClass;
        std::vector<std::string> paths;
        if (!platform.ListInterfaces(cls, paths)) continue;
        for (const std::string& path : paths) {
            if (!identity.match.empty() && path.find(identity.match) != std::string::npos)
                matches.push_back({&identity, path});
        }
    }
    return matches;
}
