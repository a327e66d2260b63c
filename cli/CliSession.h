#pragma once
// One run of the command-line tool against a device: the platform under gDevice (the
// system's USB stack or the simulated chip, with the optional path filter and trace), the
// choice of the device, and saving the simulated chip's state at the end.

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "cli/DeviceSelection.h"
#include "cli/TracingPlatform.h"
#include "device/Clock.h"
#include "device/DevicePlatform.h"
#include "sim/SimStateLock.h"

class JsonLines;
class SimulatedChip;

struct GlobalOptions {
    bool sim = false;
    std::string simState;
    std::string simDevice = "normal";
    std::string simClock = "real";
    uint64_t simLatencyUs = 0;
    bool trace = false;
    std::string vid = "7c3d";
    std::string pid = "6012";
    std::string device;
    bool json = false;

    bool UsesSimulator() const { return sim || !simState.empty(); }
};

class CliSession {
public:
    // With `json`, `out` is its message stream and progress goes to it as objects.
    CliSession(GlobalOptions options, std::ostream& out, std::ostream& err,
               JsonLines* json = nullptr);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Builds the platform. Returns an exit code: 2 (with a message on stderr) for a bad
    // option or a simulator state that cannot be loaded, 1 for a state directory that
    // another run holds.
    int Start();
    // Finds exactly one device and makes gDevice point at it. Returns an exit code.
    int ConnectDevice();
    // The device that ConnectDevice chose.
    const DeviceIdentity& Identity() const { return *identity_; }
    // Every matching device in the search order (for detect).
    std::vector<DeviceMatch> Matches();
    // Routes gDevice through the trace (when asked for) onto `platform`.
    void Attach(DevicePlatform& platform);
    // Writes the simulator's state back when it came from a directory. False on failure.
    bool Finish();

    DevicePlatform& Base() { return *base_; }
    // The machine-readable output, when asked for.
    JsonLines* Json() const { return json_; }
    // The command's data for the final result object (--json).
    nlohmann::json& Data() { return data_; }
    const std::vector<DeviceIdentity>& Order() const { return order_; }
    std::ostream& out;
    std::ostream& err;

private:
    int StartSimulator();

    GlobalOptions options_;
    JsonLines* json_;
    nlohmann::json data_ = nlohmann::json::object();
    std::vector<DeviceIdentity> order_;
    const DeviceIdentity* identity_ = nullptr;
    VirtualClock virtualClock_;
    // Held for the whole run, so no other run loads or saves the same state meanwhile.
    SimStateLock stateLock_;
    std::unique_ptr<SimulatedChip> sim_;
    std::unique_ptr<DevicePlatform> system_;
    DevicePlatform* base_ = nullptr;
    std::unique_ptr<SinglePathPlatform> single_;
    std::unique_ptr<TracingPlatform> tracer_;
    bool finished_ = false;
};
