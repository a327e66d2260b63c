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

int CliSession::AddChip(const std::string& stateDir, const std::string& port,
                        SimIdentity identity, bool virtualClock) {
    SimChip added;
    added.chip = std::make_unique<SimulatedChip>(CurrentClock());
    SimulatedChip& chip = *added.chip;
    chip.SetPort(port);
    chip.SetIdentity(identity);
    // With --device only that chip is taken, and only its state locked and loaded: the
    // other chips of a bench may be in use by other runs. (The path is a fresh chip's; a
    // state that gives the normal device other IDs is found to differ after the load.)
    if (!options_.device.empty() && chip.InterfacePath() != options_.device) return 0;
    added.stateDir = stateDir;
    if (!stateDir.empty()) {
        std::string error;
        added.lock = std::make_unique<SimStateLock>();
        if (!added.lock->Acquire(stateDir, error)) {
            err << "quorvel-isp: " << stateDir << ": " << error << "\n";
            return 1;
        }
        if (!chip.LoadState(stateDir, &error)) {
            err << "quorvel-isp: cannot load simulator state " << stateDir << ": " << error << "\n";
            return 2;
        }
        chip.SetIdentity(identity);  // the option holds over the identity saved
    }
    if (!virtualClock) chip.Flash().SetTimingScale(kDemoTimeScale);
    chip.SetRequestLatencyMicros(options_.simLatencyUs);
    chip.SetLogEnabled(false);  // a whole update would only grow the log
    chips_.push_back(std::move(added));
    return 0;
}

int CliSession::Abandon(int rc) {
    // Nothing is saved at the end: a state that did not load, or that another run holds,
    // is never written over.
    finished_ = true;
    return rc;
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
    // A run that only lists the devices spends no simulated time worth reporting.
    if (virtualClock && !listOnly_) SetCurrentClock(&virtualClock_);
    const std::string stateRoot = listOnly_ ? std::string() : options_.simState;
    bench_ = std::make_unique<SimBench>();
    if (options_.simCount == 0) {
        if (const int rc = AddChip(stateRoot, SimBenchPort(1), identity, virtualClock))
            return Abandon(rc);
    } else {
        for (int i = 1; i <= options_.simCount; ++i) {
            const std::string dir = stateRoot.empty() ? stateRoot : SimBenchStateDir(stateRoot, i);
            if (const int rc = AddChip(dir, SimBenchPort(i), identity, virtualClock))
                return Abandon(rc);
        }
    }
    for (SimChip& sim : chips_) bench_->Add(*sim.chip);
    base_ = bench_.get();
    return 0;
}

int CliSession::Start() {
    if (options_.simCount != 0 && !options_.UsesSimulator()) {
        err << "quorvel-isp: --sim-count needs --sim or --sim-state\n";
        return 2;
    }
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
        if (base_->LastOpenDenied()) err << SystemAccessHint();
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
    bool saved = true;
    for (const SimChip& sim : chips_) {
        if (sim.stateDir.empty()) continue;
        std::string error;
        if (!sim.chip->SaveState(sim.stateDir, &error)) {
            err << "quorvel-isp: cannot save simulator state " << sim.stateDir << ": " << error
                << "\n";
            saved = false;
        }
    }
    return saved;
}
