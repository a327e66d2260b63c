#include "cli/CliApp.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliSession.h"
#include "cli/DiagCommandLine.h"
#include "cli/JsonLines.h"
#include "cli/Commands.h"
#include "cli/StopSignals.h"

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
                             reports success)";

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
    autoCmd->callback([&] {
        ApplyRange(range, flash);
        command = [&](CliSession& s) { return AutoCommand(s, file, flash, skip); };
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
        cmd->callback([&, op] {
            ApplyRange(range, flash);
            flash.ispMode = !noIspMode;
            command = [&, op](CliSession& s) { return SingleOperationCommand(s, op, value, flash); };
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
    int rc = ValidIds(global, err) ? session.Start() : kExitUsage;
    if (rc == kExitOk) {
        rc = command(session);
        if (!session.Finish() && rc == kExitOk) rc = kExitFailed;
        if (const int signal = ReceivedStopSignal()) rc = 128 + signal;
    }
    if (json) json->Result(CommandName(app), rc, session.Data());
    return rc;
}
