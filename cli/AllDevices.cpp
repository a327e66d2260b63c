#include "cli/AllDevices.h"

#include <poll.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <nlohmann/json.hpp>

#include "cli/ChildProcess.h"
#include "cli/CliApp.h"
#include "cli/JsonLines.h"
#include "cli/StopSignals.h"

namespace {

constexpr int kRedrawMs = 100;
const std::string kToolPrefix = "quorvel-isp: ";
const std::string kSimulatedTime = "simulated time: ";

// The devices of one search, each with a short name of its own.
std::vector<DeviceRun> DeviceRuns(const std::vector<DeviceMatch>& matches) {
    std::vector<DeviceRun> runs;
    std::set<std::string> taken;
    for (const DeviceMatch& match : matches) {
        DeviceRun run;
        run.path = match.path;
        const std::string base = ShortDeviceName(match.path);
        run.name = base;
        for (int copy = 2; !taken.insert(run.name).second; ++copy)
            run.name = base + "-" + std::to_string(copy);
        runs.push_back(std::move(run));
    }
    return runs;
}

class AllDevicesRun {
public:
    AllDevicesRun(CliSession& session, const AllDevicesJob& job, std::vector<DeviceRun> runs)
        : session_(session), job_(job), runs_(std::move(runs)),
          children_(runs_.size()), screen_(session.out, session.err, job.terminal && !Json()) {}

    int Run();

private:
    JsonLines* Json() const { return session_.Json(); }
    bool Stopping() const { return StopSignalCount() > 0; }
    void Launch(size_t index);
    void PassOnSignals();
    void WaitForOutput();
    void Collect(size_t index);
    void OnOutLine(DeviceRun& run, const std::string& line);
    void OnErrLine(DeviceRun& run, const std::string& line);
    void Report();

    CliSession& session_;
    const AllDevicesJob& job_;
    std::vector<DeviceRun> runs_;
    std::vector<std::unique_ptr<ChildProcess>> children_;
    AllDevicesScreen screen_;
    std::string program_ = OwnProgramPath();
    size_t next_ = 0;
    size_t running_ = 0;
    int passedOn_ = 0;
};

void AllDevicesRun::Launch(size_t index) {
    DeviceRun& run = runs_[index];
    std::vector<std::string> args = job_.globalArguments;
    for (const char* a : {"--device", run.path.c_str(), "--json"}) args.emplace_back(a);
    const std::vector<std::string> command = job_.commandArguments(run);
    args.insert(args.end(), command.begin(), command.end());
    auto child = std::make_unique<ChildProcess>();
    std::string error;
    if (!child->Start(program_, args, error)) {
        run.state = DeviceRun::State::Finished;
        run.exit = kExitFailed;
        run.message = "cannot start " + program_ + ": " + error;
        screen_.Error(run, run.message);
        return;
    }
    run.state = DeviceRun::State::Running;
    children_[index] = std::move(child);
    ++running_;
}

void AllDevicesRun::PassOnSignals() {
    const int count = StopSignalCount();
    if (count == passedOn_) return;
    passedOn_ = count;
    for (const auto& child : children_)
        if (child) child->Signal(LatestStopSignal());
}

void AllDevicesRun::WaitForOutput() {
    std::vector<pollfd> fds;
    if (StopSignalWakeFd() >= 0) fds.push_back({StopSignalWakeFd(), POLLIN, 0});
    for (const auto& child : children_) {
        if (!child) continue;
        for (LineReader* reader : {&child->Out(), &child->Err()})
            if (reader->Open()) fds.push_back({reader->Fd(), POLLIN, 0});
    }
    // On a terminal the lines are redrawn now and then even while nothing arrives.
    ::poll(fds.data(), fds.size(), job_.terminal ? kRedrawMs : -1);
    if (StopSignalWakeFd() >= 0) {
        char drained[64];
        while (::read(StopSignalWakeFd(), drained, sizeof drained) > 0) {
        }
    }
}

void AllDevicesRun::Collect(size_t index) {
    ChildProcess& child = *children_[index];
    DeviceRun& run = runs_[index];
    std::vector<std::string> lines;
    child.Out().Read(lines);
    for (const std::string& line : lines) OnOutLine(run, line);
    lines.clear();
    child.Err().Read(lines);
    for (const std::string& line : lines) OnErrLine(run, line);
    if (!child.OutputClosed()) return;
    run.exit = child.Wait();
    run.state = DeviceRun::State::Finished;
    children_[index].reset();
    --running_;
    screen_.Update(runs_, true);
}

void AllDevicesRun::OnOutLine(DeviceRun& run, const std::string& line) {
    nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    const std::string type = object.is_object() ? object.value("type", "") : "";
    if (type == "progress") {
        run.stage = object.value("stage", "");
        const uint64_t done = object.value("done", uint64_t{0});
        const uint64_t total = object.value("total", uint64_t{0});
        run.percent = total == 0 ? 0 : static_cast<int>(done >= total ? 100 : done * 100 / total);
        screen_.Update(runs_);
    } else if (type == "result") {
        run.data = object.value("data", nlohmann::json::object());
        return;  // the parent's own result carries it
    } else {
        // A status text; a line that is not one of ours is shown as it came.
        run.message = type == "message" ? object.value("text", "") : line;
        if (!Json()) screen_.Message(runs_, run, run.message);
    }
    if (Json()) {
        if (!object.is_object()) object = {{"type", "message"}, {"text", line}};
        object["device"] = run.path;
        Json()->Emit(object);
    }
}

void AllDevicesRun::OnErrLine(DeviceRun& run, const std::string& line) {
    run.errors.push_back(line);
    // The simulated time is a note, not news about the run.
    if (line.rfind(kSimulatedTime, 0) != 0)
        run.message = line.rfind(kToolPrefix, 0) == 0 ? line.substr(kToolPrefix.size()) : line;
    if (Json()) {
        Json()->Emit({{"type", "message"}, {"device", run.path}, {"text", line}, {"stderr", true}});
        return;
    }
    screen_.Error(run, line);
}

void AllDevicesRun::Report() {
    bool stopped = false;
    nlohmann::json devices = nlohmann::json::array();
    for (const DeviceRun& run : runs_) {
        stopped = stopped || run.state == DeviceRun::State::NotStarted || run.exit > 128;
        devices.push_back({{"path", run.path},
                           {"name", run.name},
                           {"ok", run.Succeeded()},
                           {"exit", run.exit},
                           {"message", run.message},
                           {"data", run.data}});
    }
    session_.Data()["devices"] = devices;
    if (Json()) return;
    screen_.Summary(runs_);
    if (stopped && Stopping()) session_.out << "Stopped\n";
}

int AllDevicesRun::Run() {
    // A further Ctrl-C must reach the children, not end this process under them.
    CountFurtherStopSignals();
    const size_t limit = job_.jobs == 0 ? runs_.size() : job_.jobs;
    screen_.Update(runs_, true);
    for (;;) {
        PassOnSignals();
        while (!Stopping() && running_ < limit && next_ < runs_.size()) Launch(next_++);
        if (Stopping()) {
            for (; next_ < runs_.size(); ++next_) runs_[next_].state = DeviceRun::State::NotStarted;
        }
        if (running_ == 0 && next_ == runs_.size()) break;
        WaitForOutput();
        PassOnSignals();
        for (size_t i = 0; i < children_.size(); ++i)
            if (children_[i]) Collect(i);
        screen_.Update(runs_);
    }
    Report();
    for (const DeviceRun& run : runs_)
        if (!run.Succeeded()) return kExitFailed;
    return kExitOk;
}

}  // namespace

int AllDevicesCommand(CliSession& session, const AllDevicesJob& job) {
    std::vector<DeviceRun> runs = DeviceRuns(session.Matches());
    if (runs.empty()) {
        session.err << "quorvel-isp: no device is available\n";
        return kExitFailed;
    }
    return AllDevicesRun(session, job, std::move(runs)).Run();
}
