#pragma once
// A simulated bench: several simulated chips on one bus, each on a port of its own, so a
// run over many devices can be tried with no hardware. Chip i (from 1) sits on port
// "1-i"; the chips' states live in DIR/1 .. DIR/N.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"
#include "sim/SimulatedChip.h"

// The port of bench chip `index` (from 1).
std::string SimBenchPort(int index);
// The state directory of bench chip `index` below `dir`.
std::string SimBenchStateDir(const std::string& dir, int index);

class SimBench final : public DevicePlatform {
public:
    // The chips are listed in the order they are added.
    void Add(SimulatedChip& chip) { chips_.push_back(&chip); }

    bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    void Close(DeviceHandle handle) override;
    IoFailure LastIoFailure() const override { return lastFailure_; }
    size_t LastReturnedSize() const override { return lastReturned_; }

private:
    struct Route {
        SimulatedChip* chip;
        DeviceHandle handle;
    };

    std::vector<SimulatedChip*> chips_;
    std::map<DeviceHandle, Route> routes_;
    DeviceHandle nextHandle_ = 1;
    IoFailure lastFailure_ = IoFailure::Refused;
    size_t lastReturned_ = 0;
};
