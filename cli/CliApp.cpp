#include "cli/CliApp.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/AllDevices.h"
#include "cli/CliSession.h"
#include "cli/DiagCommandLine.h"
#include "cli/JsonLines.h"
#include "cli/Commands.h"
#include "cli/StopSignals.h"
#include "files/ProgramFile.h"

namespace {

// Adds --range START SIZE (in KB) to a flash command.
void AddRangeOption(CLI::App& cmd, std::vector<uint32_t>& range) {
    cmd.add_option("--range", range,
                   "work on an assigned flash range: START SIZE, in KB, multiples of 4, "
                   "ending at or below 16 MB")
        ->expected(2);
}

constexpr const char* kFooter = R"(Exit codes: 0 every step succeeded, 1 a step failed or no device was found,
2 a file or usage error, 128+N stopped by signal N (Ctrl-C: 130). An interrupt
lets the running step finish, then protects the flash and leaves ISP mode; a
second one stops at once.

Faults of the simulated chip: lines in DIR/chip.txt of --sim-state, read at the
start of the run and not written back (N counts requests from 1):
  fault unplug-after N       unplugged once it has answered N requests
  fault stall-request N      request N fails as a stall
  fault wedged-after N       from request N on, every request times out (1000 ms)
  fault never-ready          the flash relay never reports ready
  fault stuck-busy           the flash stays busy after its first erase or program
  fault always-busy          the flash is busy from the start and never finishes
  fault corrupt-read ADDR    reads of the flash byte at ADDR (hex) return it inverted
  fault refuse-page-data N   the first page-program data request at or after
                             request N fails
  fault ignore-writes        erase and program are accepted and change nothing
  fault short-read N         request N returns one byte less than asked, yet
                             reports success

A simulated bench: --sim-state DIR --sim-count N gives N chips on ports 1-1 ..
1-N, kept in DIR/1 .. DIR/N, for trying --all with no hardware.)";

// --all and --jobs N of the commands that can run on every device at once.
struct AllDevicesOptions {
    bool all = false;
    unsigned jobs = 0;
};

void AddAllDevicesOptions(CLI::App& cmd, AllDevicesOptions& options) {
    cmd.add_flag("--all", options.all,
                 "run on every matching device at once, each in a process of its own");
    cmd.add_option("--jobs", options.jobs, "with --all: at most N devices at a time")
        ->type_name("N")
        ->check(CLI::Range(1u, 1024u));
}

// The global options a child of an --all run needs to find the same devices.
std::vector<std::string> ChildGlobalArguments(const GlobalOptions& global) {
    std::vector<std::string> args;
    if (global.sim) args.push_back("--sim");
    if (!global.simState.empty()) args.insert(args.end(), {"--sim-state", global.simState});
    if (global.simCount != 0) args.insert(args.end(), {"--sim-count", std::to_string(global.simCount)});
    args.insert(args.end(), {"--sim-device", global.simDevice, "--sim-clock", global.simClock,
                             "--sim-latency-us", std::to_string(global.simLatencyUs), "--vid",
                             global.vid, "--pid", global.pid});
    if (global.trace) args.push_back("--trace");
    return args;
}

// The flash command's options as its children take them.
std::vector<std::string> FlashArguments(const FlashCommandOptions& flash, bool noIspMode) {
    std::vector<std::string> args;
    if (flash.assignRange)
        args.insert(args.end(), {"--range", std::to_string(flash.startKb), std::to_string(flash.sizeKb)});
    if (noIspMode) args.push_back("--no-isp-mode");
    return args;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ",") + item;
    return text;
}

void ApplyRange(const std::vector<uint32_t>& range, FlashCommandOptions& flash) {
    flash.assignRange = range.size() == 2;
    if (flash.assignRange) {
        flash.startKb = range[0];
        flash.sizeKb = range[1];
    }
}

// The command as typed, subcommands included ("reg read").
std::string CommandName(const CLI::App& app) {
    std::string name;
    const CLI::App* level = &app;
    while (!level->get_subcommands().empty()) {
        level = level->get_subcommands().front();
        name += (name.empty() ? "" : " ") + level->get_name();
    }
    return name;
}

// --vid and --pid take one to four hexadecimal digits: they become the match string.
bool ValidIds(const GlobalOptions& global, std::ostream& err) {
    const auto valid = [](const std::string& text) {
        return !text.empty() && text.size() <= 4 &&
               text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    };
    for (const auto& [name, text] : {std::pair{"--vid", global.vid}, std::pair{"--pid", global.pid}}) {
        if (valid(text)) continue;
        err << "quorvel-isp: " << name << ": '" << text << "' is not one to four hexadecimal digits\n";
        return false;
    }
    return true;
}

// Checks what an --all run can check once for all its devices. Returns an exit code.
int PrepareAllDevices(const std::string& command, const GlobalOptions& global,
                      const std::string& value, const std::string& file, std::ostream& err) {
    if (!global.device.empty()) {
        err << "quorvel-isp: --all and --device exclude each other\n";
        return kExitUsage;
    }
    if (command == "read-flash") {
        // One file per device, in the folder given.
        std::error_code error;
        std::filesystem::create_directories(value, error);
        if (!std::filesystem::is_directory(value)) {
            err << "quorvel-isp: " << value << ": not a folder to put the devices' files in"
                << (error ? ": " + error.message() : std::string()) << "\n";
            return kExitUsage;
        }
        return kExitOk;
    }
    // A program file that does not load fails every device alike: say so once.
    const ProgramFileLoad load = LoadProgramFile(command == "auto" ? file : value);
    if (!load.ok) {
        err << "quorvel-isp: " << load.message << "\n";
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           bool outIsTerminal) {
    CLI::App app{"Updates and inspects the firmware of a Quorvel USB audio bridge chip.",
                 "quorvel-isp"};
    app.require_subcommand(1);
    // The same command line on every system: on Windows CLI11 would otherwise take an
    // argument that starts with "/" (a file name such as /data/app.hex) for an option.
    app.allow_windows_style_options(false);
    app.footer(kFooter);
    GlobalOptions global;
    app.add_flag("--sim", global.sim, "use the embedded simulated chip (fresh, blank flash)");
    app.add_option("--sim-state", global.simState,
                   "use the simulated chip whose state lives in DIR (saved back afterwards)")
        ->type_name("DIR");
    app.add_option("--sim-count", global.simCount,
                   "a bench of N simulated chips, their states in DIR/1 .. DIR/N of --sim-state")
        ->type_name("N")
        ->check(CLI::Range(1, 64));
    app.add_option("--sim-device", global.simDevice,
                   "identity of the simulated chip: normal, 7c3d-6000 or 0b7e-6000")
        ->capture_default_str();
    app.add_option("--sim-clock", global.simClock,
                   "simulator time: real (flash busy times scaled down) or virtual (datasheet "
                   "times, no real waiting)")
        ->capture_default_str();
    app.add_option("--sim-latency-us", global.simLatencyUs,
                   "time each control request costs on the simulated chip (waited out on the "
                   "real clock, added on the virtual one)");
    app.add_flag("--trace", global.trace, "print every driver call on stderr");
    app.add_option("--vid", global.vid, "VID of the normal device (one to four hex digits)")
        ->capture_default_str();
    app.add_option("--pid", global.pid, "PID of the normal device (one to four hex digits)")
        ->capture_default_str();
    app.add_flag("--json", global.json,
                 "print one JSON object per line: messages, progress, then the result");
    app.add_option("--device", global.device, "use the device with this interface path")
        ->type_name("PATH");

    std::function<int(CliSession&)> command;
    // Set by the commands that can run on every device: what each device's child runs.
    std::function<std::vector<std::string>(const DeviceRun&)> allDevicesArguments;
    AllDevicesOptions allDevices;
    std::string file, output, value;
    std::vector<uint32_t> range;
    std::vector<std::string> skip;
    bool noIspMode = false;
    FlashCommandOptions flash;
    flash.progressBar = outIsTerminal;
    GenBinOptions genBin;

    app.add_subcommand("detect", "search for the normal and the firmware-update devices")
        ->callback([&] { command = DetectCommand; });

    auto* checksum = app.add_subcommand("checksum", "load a program file and print its checksum");
    checksum->add_option("FILE", file, "Intel HEX (.hex, .h00) or binary (.bin)")->required();
    checksum->callback([&] { command = [&](CliSession& s) { return ChecksumCommand(s, file); }; });

    auto* autoCmd = app.add_subcommand(
        "auto", "update the firmware: ISP mode, erase, blank check, program, verify, protect");
    autoCmd->add_option("FILE", file, "program file")->required();
    AddRangeOption(*autoCmd, range);
    autoCmd->add_option("--skip", skip, "steps to leave out: isp-mode, erase, blank, program, "
                                        "verify, protect")
        ->delimiter(',')
        ->type_name("STEP[,STEP...]");
    AddAllDevicesOptions(*autoCmd, allDevices);
    autoCmd->callback([&] {
        ApplyRange(range, flash);
        command = [&](CliSession& s) { return AutoCommand(s, file, flash, skip); };
        allDevicesArguments = [&](const DeviceRun&) {
            std::vector<std::string> args{"auto", file};
            const std::vector<std::string> own = FlashArguments(flash, false);
            args.insert(args.end(), own.begin(), own.end());
            if (!skip.empty()) args.insert(args.end(), {"--skip", Joined(skip)});
            return args;
        };
    });

    struct Single {
        const char* name;
        const char* help;
        SingleOperation op;
        const char* argument;  // name of the positional argument, or null
        bool hasRange;
    };
    const Single singles[] = {
        {"chip-id", "read the flash identification", SingleOperation::ChipId, nullptr, false},
        {"status", "read the flash status register", SingleOperation::Status, nullptr, false},
        {"write-status", "write the flash status register", SingleOperation::WriteStatus, "HEX", false},
        {"erase", "erase the whole chip, or the sectors of --range, and check it is blank", SingleOperation::Erase, nullptr, true},
        {"blank", "check that the flash is erased where FILE goes", SingleOperation::Blank, "FILE", true},
        {"program", "program FILE into the flash and verify it", SingleOperation::Program, "FILE", true},
        {"verify", "compare the flash with FILE", SingleOperation::Verify, "FILE", true},
        {"read-flash", "save the first 128 KB of the flash to OUT", SingleOperation::ReadFlash, "OUT", false},
    };
    for (const Single& single : singles) {
        auto* cmd = app.add_subcommand(single.name, single.help);
        if (single.argument) cmd->add_option(single.argument, value, single.argument)->required();
        if (single.hasRange) AddRangeOption(*cmd, range);
        cmd->add_flag("--no-isp-mode", noIspMode, "leave the ISP mode alone");
        const SingleOperation op = single.op;
        const bool onAll = op == SingleOperation::Verify || op == SingleOperation::ReadFlash;
        if (onAll) AddAllDevicesOptions(*cmd, allDevices);
        const std::string name = single.name;
        cmd->callback([&, op, name, onAll] {
            ApplyRange(range, flash);
            flash.ispMode = !noIspMode;
            command = [&, op](CliSession& s) { return SingleOperationCommand(s, op, value, flash); };
            if (!onAll) return;
            allDevicesArguments = [&, op, name](const DeviceRun& run) {
                // read-flash --all takes a folder and writes one file per device into it.
                const std::string argument =
                    op == SingleOperation::ReadFlash
                        ? (std::filesystem::path(value) / (FileNameFor(run.name) + ".bin")).string()
                        : value;
                std::vector<std::string> args{name, argument};
                const std::vector<std::string> own = FlashArguments(flash, noIspMode);
                args.insert(args.end(), own.begin(), own.end());
                return args;
            };
        });
    }

    DiagArguments diag;
    AddDiagCommands(app, diag, command);

    auto* gen = app.add_subcommand(
        "gen-bin", "write a copy of a firmware image with a new VID, PID and texts");
    gen->add_option("IN", file, "firmware image (.hex, .h00 or .bin)")->required();
    gen->add_option("OUT", output, "new binary file")->required();
    gen->add_option("--vid", genBin.vid, "new VID (hex)")->capture_default_str();
    gen->add_option("--pid", genBin.pid, "new PID (hex)")->capture_default_str();
    const char* stringHelp[5] = {"manufacturer", "product name", "serial number",
                                 "play-port name", "record-port name"};
    for (int i = 0; i < 5; ++i)
        gen->add_option("--str" + std::to_string(i), genBin.strings[i], stringHelp[i]);
    gen->callback([&] {
        command = [&](CliSession& s) { return GenBinCommand(s, file, output, genBin); };
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        if (global.json) JsonLines(out).Result(CommandName(app), kExitUsage, {{"error", e.what()}});
        return kExitUsage;
    }

    std::unique_ptr<JsonLines> json = global.json ? std::make_unique<JsonLines>(out) : nullptr;
    CliSession session(global, json ? json->Messages() : out, err, json.get());
    int rc = ValidIds(global, err) ? kExitOk : kExitUsage;
    if (rc == kExitOk && allDevices.all) {
        rc = PrepareAllDevices(CommandName(app), global, value, file, err);
        command = [&](CliSession& s) {
            AllDevicesJob job{ChildGlobalArguments(global), allDevicesArguments, allDevices.jobs,
                              outIsTerminal};
            return AllDevicesCommand(s, job);
        };
        // The children lock, load and save the simulated chips; this process only looks.
        session.ListDevicesOnly();
    }
    if (rc == kExitOk) rc = session.Start();
    if (rc == kExitOk) {
        rc = command(session);
        if (!session.Finish() && rc == kExitOk) rc = kExitFailed;
        if (const int signal = ReceivedStopSignal()) rc = 128 + signal;
    }
    if (json) json->Result(CommandName(app), rc, session.Data());
    return rc;
}
