#pragma once
// What a run over every device shows: one line per device (short name, stage, percent,
// last message), redrawn in place on a terminal and written as plain lines otherwise,
// then a summary table.

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

// One device of the run, as its child process reported it.
struct DeviceRun {
    enum class State { Waiting, Running, Finished, NotStarted };
    std::string path;
    std::string name;  // the short name shown and used for its files
    std::vector<std::string> arguments;  // the command's own arguments for this device
    State state = State::Waiting;
    std::string stage;   // of the latest progress report
    int percent = -1;    // -1 before the first progress report
    std::string message; // latest status text or error
    int exit = -1;
    nlohmann::json data = nlohmann::json::object();  // the child's result data
    std::vector<std::string> errors;                 // the child's stderr lines

    bool Succeeded() const { return state == State::Finished && exit == 0; }
};

// The short name of a device path: its port ("1-2.3") where the path has the usual
// fields, else the whole path.
std::string ShortDeviceName(const std::string& path);
// A name safe as a file name: anything but letters, digits, '.', '-' and '_' becomes '_'.
std::string FileNameFor(const std::string& name);

class AllDevicesScreen {
public:
    AllDevicesScreen(std::ostream& out, std::ostream& err, bool terminal)
        : out_(out), err_(err), terminal_(terminal) {}

    // A status text of a device: a plain line at once, or a redraw on a terminal.
    void Message(const std::vector<DeviceRun>& runs, const DeviceRun& run, const std::string& text);
    // A line of the device's stderr: passed on at once as a plain line, or kept until the
    // summary on a terminal (where it would break the redrawn lines).
    void Error(const DeviceRun& run, const std::string& line);
    // Progress or a change of state: redrawn on a terminal (at most ten times a second
    // unless `force`), nothing in plain lines.
    void Update(const std::vector<DeviceRun>& runs, bool force = false);
    // The table of results, and the failed devices on stderr.
    void Summary(const std::vector<DeviceRun>& runs);

private:
    std::string Line(const DeviceRun& run) const;
    void Redraw(const std::vector<DeviceRun>& runs);

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    size_t drawn_ = 0;  // lines drawn so far, to move back over
    std::chrono::steady_clock::time_point lastDraw_{};
    std::vector<std::string> kept_;
};
