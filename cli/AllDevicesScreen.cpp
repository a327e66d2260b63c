#include "cli/AllDevicesScreen.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr size_t kMessageWidth = 48;

std::string StateText(const DeviceRun& run) {
    switch (run.state) {
        case DeviceRun::State::Waiting: return "waiting";
        case DeviceRun::State::Running: return run.stage.empty() ? "running" : run.stage;
        case DeviceRun::State::NotStarted: return "not run";
        case DeviceRun::State::Finished: break;
    }
    if (run.exit == 0) return "ok";
    return run.exit > 128 ? "stopped" : "failed";
}

std::string Cut(const std::string& text, size_t width) {
    if (text.size() <= width) return text;
    std::string cut(text, 0, width - 3);
    cut += "...";
    return cut;
}

}  // namespace

std::string ShortDeviceName(const std::string& path) {
    // \\?\usb#vid_xxxx&pid_xxxx#PORT#{class}
    const size_t first = path.find('#');
    const size_t second = first == std::string::npos ? first : path.find('#', first + 1);
    const size_t third = second == std::string::npos ? second : path.find('#', second + 1);
    if (third == std::string::npos || third == second + 1) return path;
    return path.substr(second + 1, third - second - 1);
}

std::string FileNameFor(const std::string& name) {
    std::string file = name;
    for (char& c : file) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!safe) c = '_';
    }
    if (file.empty() || file[0] == '.') file = "_" + file;  // never hidden, never ".."
    return file;
}

std::string AllDevicesScreen::Line(const DeviceRun& run) const {
    char percent[16] = "";
    if (run.state == DeviceRun::State::Running && run.percent >= 0)
        std::snprintf(percent, sizeof percent, "%3d%%", run.percent);
    char line[160];
    std::snprintf(line, sizeof line, "%-10s %-8s %4s  %s", run.name.c_str(), StateText(run).c_str(),
                  percent, Cut(run.message, kMessageWidth).c_str());
    return line;
}

void AllDevicesScreen::Redraw(const std::vector<DeviceRun>& runs) {
    if (drawn_ > 0) out_ << "\x1b[" << drawn_ << "F";  // back to the first line
    for (const DeviceRun& run : runs) out_ << "\x1b[2K" << Line(run) << '\n';
    out_.flush();
    drawn_ = runs.size();
    lastDraw_ = std::chrono::steady_clock::now();
}

void AllDevicesScreen::Message(const std::vector<DeviceRun>& runs, const DeviceRun& run,
                               const std::string& text) {
    if (terminal_) {
        Update(runs);
        return;
    }
    out_ << run.name << ": " << text << '\n';
    out_.flush();
}

void AllDevicesScreen::Error(const DeviceRun& run, const std::string& line) {
    if (terminal_) {
        kept_.push_back(run.name + ": " + line);
        return;
    }
    err_ << run.name << ": " << line << '\n';
    err_.flush();
}

void AllDevicesScreen::Update(const std::vector<DeviceRun>& runs, bool force) {
    if (!terminal_) return;
    if (!force && drawn_ > 0 && std::chrono::steady_clock::now() - lastDraw_ < kRedrawInterval)
        return;
    Redraw(runs);
}

void AllDevicesScreen::Summary(const std::vector<DeviceRun>& runs) {
    if (terminal_) Redraw(runs);
    for (const std::string& line : kept_) err_ << line << '\n';
    size_t width = 6;
    for (const DeviceRun& run : runs) width = std::max(width, run.name.size());
    char line[200];
    std::snprintf(line, sizeof line, "%-*s  %-7s  %4s  %s\n", static_cast<int>(width), "device",
                  "result", "exit", "last message");
    out_ << '\n' << line;
    size_t failed = 0;
    for (const DeviceRun& run : runs) {
        const std::string exit = run.exit < 0 ? "-" : std::to_string(run.exit);
        std::snprintf(line, sizeof line, "%-*s  %-7s  %4s  %s\n", static_cast<int>(width),
                      run.name.c_str(), StateText(run).c_str(), exit.c_str(),
                      Cut(run.message, 100).c_str());
        out_ << line;
        if (!run.Succeeded()) ++failed;
    }
    out_ << runs.size() - failed << " of " << runs.size() << " devices succeeded\n";
    out_.flush();
    if (failed == 0) return;
    err_ << "quorvel-isp: " << failed << " of " << runs.size() << " devices did not succeed:\n";
    for (const DeviceRun& run : runs)
        if (!run.Succeeded()) err_ << "  " << run.path << '\n';
    err_.flush();
}
