#include "sim/SimBench.h"

#include <filesystem>

std::string SimBenchPort(int index) { return "1-" + std::to_string(index); }

std::string SimBenchStateDir(const std::string& dir, int index) {
    return (std::filesystem::path(dir) / std::to_string(index)).string();
}

bool SimBench::ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) {
    paths.clear();
    for (SimulatedChip* chip : chips_) {
        std::vector<std::string> own;
        chip->ListInterfaces(interfaceClass, own);
        paths.insert(paths.end(), own.begin(), own.end());
    }
    return true;
}

DeviceHandle SimBench::Open(const std::string& path) {
    for (SimulatedChip* chip : chips_) {
        const DeviceHandle own = chip->Open(path);
        if (own == kNoDeviceHandle) continue;
        const DeviceHandle handle = nextHandle_++;
        routes_[handle] = Route{chip, own};
        return handle;
    }
    return kNoDeviceHandle;
}

bool SimBench::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                         size_t inputSize, uint8_t* output, size_t outputSize) {
    const auto route = routes_.find(handle);
    if (route == routes_.end()) {
        // A handle this bench never gave out, or one already closed.
        lastFailure_ = IoFailure::Gone;
        return false;
    }
    SimulatedChip& chip = *route->second.chip;
    const bool ok = chip.IoControl(route->second.handle, code, input, inputSize, output, outputSize);
    lastFailure_ = chip.LastIoFailure();
    lastReturned_ = chip.LastReturnedSize();
    return ok;
}

void SimBench::Close(DeviceHandle handle) {
    const auto route = routes_.find(handle);
    if (route == routes_.end()) return;
    route->second.chip->Close(route->second.handle);
    routes_.erase(route);
}
