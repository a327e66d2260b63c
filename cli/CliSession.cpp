#include "cli/CliSession.h"

#include <cstdio>
#include <filesystem>

#include "device/QuorvelUsb.h"
#include "device/SystemPlatform.h"
#include "sim/SimulatedChip.h"

namespace {

// With the real clock the simulated flash finishes its work this many times faster than a
// datasheet part, so a demo update takes seconds.
constexpr double kDemoTimeScale = 0.01;

bool ParseSimDevice(const std::string& name, SimIdentity& identity) {
    if (name == "normal") identity = SimIdentity::Normal;
    else if (name == "7c3d-6000") identity = SimIdentity::Update7C3D;
    else if (name == "0b7e-6000") identity = SimIdentity::Update0B7E;
    else return false;
    return true;
}

}  // namespace

CliSession::CliSession(GlobalOptions options, std::ostream& o, std::ostream& e, JsonLines* json)
    : out(o), err(e), options_(std::move(options)), json_(json) {
    order_ = SearchOrder(options_.vid, options_.pid);
}

CliSession::~CliSession() {
    Finish();
    gDevice.SetPlatform(nullptr);
    if (&CurrentClock() == &virtualClock_) SetCurrentClock(nullptr);
}

int CliSession::StartSimulator() {
    SimIdentity identity{};
    if (!ParseSimDevice(options_.simDevice, identity)) {
        err << "quorvel-isp: unknown --sim-device '" << options_.simDevice
            << "' (normal, 7c3d-6000 or 0b7e-6000)\n";
        return 2;
    }
    const bool virtualClock = options_.simClock == "virtual";
    if (!virtualClock && options_.simClock != "real") {
        err << "quorvel-isp: unknown --sim-clock '" << options_.simClock << "' (real or virtual)\n";
        return 2;
    }
    if (!options_.simState.empty()) {
        std::string error;
        if (!stateLock_.Acquire(options_.simState, error)) {
            err << "quorvel-isp: " << options_.simState << ": " << error << "\n";
            finished_ = true;  // nothing of ours to save
            return 1;
        }
    }
    if (virtualClock) SetCurrentClock(&virtualClock_);
    sim_ = std::make_unique<SimulatedChip>(CurrentClock());
    if (!options_.simState.empty()) {
        std::string error;
        if (!sim_->LoadState(options_.simState, &error)) {
            err << "quorvel-isp: cannot load simulator state " << options_.simState << ": " << error
                << "\n";
            finished_ = true;  // a state that did not load is never written over
            return 2;
        }
    }
    sim_->SetIdentity(identity);
    if (!virtualClock) sim_->Flash().SetTimingScale(kDemoTimeScale);
    sim_->SetRequestLatencyMicros(options_.simLatencyUs);
    sim_->SetLogEnabled(false);  // a whole update would only grow the log
    base_ = sim_.get();
    return 0;
}

int CliSession::Start() {
    if (options_.UsesSimulator()) return StartSimulator();
    system_ = MakeSystemPlatform();
    base_ = system_.get();
    return 0;
}

void CliSession::Attach(DevicePlatform& platform) {
    DevicePlatform* top = &platform;
    if (options_.trace) {
        tracer_ = std::make_unique<TracingPlatform>(
            platform, [this](const std::string& line) { err << line << "\n"; });
        top = tracer_.get();
    }
    gDevice.SetPlatform(top);
}

std::vector<DeviceMatch> CliSession::Matches() {
    std::vector<DeviceMatch> matches = FindMatches(*base_, order_);
    if (options_.device.empty()) return matches;
    std::vector<DeviceMatch> chosen;
    for (const DeviceMatch& m : matches)
        if (m.path == options_.device) chosen.push_back(m);
    return chosen;
}

int CliSession::ConnectDevice() {
    const std::vector<DeviceMatch> matches = Matches();
    if (matches.empty()) {
        err << "quorvel-isp: " << (options_.device.empty() ? "no device is available"
                                                           : "no device at " + options_.device)
            << "\n";
        return 1;
    }
    if (matches.size() > 1) {
        err << "quorvel-isp: " << matches.size()
            << " devices match; choose one with --device PATH:\n";
        for (const DeviceMatch& m : matches) err << "  " << m.path << "\n";
        return 1;
    }
    identity_ = matches.front().identity;
    single_ = std::make_unique<SinglePathPlatform>(*base_, matches.front().path);
    Attach(*single_);
    gDevice.SetKsPath(identity_->ksPath);
    gDevice.SetMatchString(identity_->match.c_str());
    gDevice.FindDevice();
    if (!gDevice.IsFound()) {
        err << "quorvel-isp: the device went away\n";
        return 1;
    }
    // Find out here whether the device can be opened at all, so that a missing access
    // right is named instead of showing up as failed requests.
    if (!gDevice.OpenDevice()) {
        err << "quorvel-isp: cannot open " << matches.front().path << "\n";
        if (base_->LastOpenDenied()) {
            err << "  The device is present, but this user may not open it. Install the udev\n"
                << "  rules file 70-quorvel-isp.rules (packaging/udev/) into /etc/udev/rules.d,\n"
                << "  run 'udevadm control --reload-rules' and replug the device.\n";
        }
        return 1;
    }
    gDevice.CloseDevice();
    return 0;
}

bool CliSession::Finish() {
    if (finished_) return true;
    finished_ = true;
    gDevice.CloseDevice();
    if (&CurrentClock() == &virtualClock_) {
        char text[64];
        std::snprintf(text, sizeof text, "simulated time: %.3f s\n",
                      double(virtualClock_.NowMicros()) / 1e6);
        err << text;
    }
    if (!sim_ || options_.simState.empty()) return true;
    std::string error;
    if (!sim_->SaveState(options_.simState, &error)) {
        err << "quorvel-isp: cannot save simulator state " << options_.simState << ": " << error
            << "\n";
        return false;
    }
    return true;
}
