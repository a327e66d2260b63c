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
#include "sim/SimBench.h"
#include "sim/SimStateLock.h"

class JsonLines;

struct GlobalOptions {
    bool sim = false;
    std::string simState;
    int simCount = 0;  // a bench of this many chips in simState/1 .. /N; 0: one chip in simState
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

    // For a run that only looks for the devices and leaves them to other processes: the
    // simulated chips are neither locked nor loaded nor saved. Call before Start.
    void ListDevicesOnly() { listOnly_ = true; }
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
    struct SimChip {
        std::string stateDir;  // empty: nothing to load or save
        // Held for the whole run, so no other run loads or saves the same state meanwhile.
        std::unique_ptr<SimStateLock> lock;
        std::unique_ptr<SimulatedChip> chip;
    };

    int StartSimulator();
    // Adds a chip on `port` whose state lives in `stateDir` (none when empty), unless
    // --device names another path. Returns an exit code.
    int AddChip(const std::string& stateDir, const std::string& port, SimIdentity identity,
                bool virtualClock);
    // Ends a start that failed, so that Finish saves nothing. Returns `rc`.
    int Abandon(int rc);

    GlobalOptions options_;
    JsonLines* json_;
    nlohmann::json data_ = nlohmann::json::object();
    std::vector<DeviceIdentity> order_;
    const DeviceIdentity* identity_ = nullptr;
    VirtualClock virtualClock_;
    bool listOnly_ = false;
    std::vector<SimChip> chips_;
    std::unique_ptr<SimBench> bench_;
    std::unique_ptr<DevicePlatform> system_;
    DevicePlatform* base_ = nullptr;
    std::unique_ptr<SinglePathPlatform> single_;
    std::unique_ptr<TracingPlatform> tracer_;
    bool finished_ = false;
};
