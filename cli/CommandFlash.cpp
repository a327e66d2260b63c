// The flash commands: the Auto sequence and the single operations of the ISP page.

#include <algorithm>
#include <cstdio>
#include <set>

#include "chip/SpiFlash.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "cli/ConsoleReporter.h"
#include "device/QuorvelUsb.h"
#include "files/FlashImage.h"
#include "files/IntegerText.h"
#include "files/ProgramFile.h"
#include "isp/FlashErase.h"
#include "isp/IspState.h"
#include "isp/RangeWorkers.h"

namespace {

// Loads the program file as the ISP page does; on failure the reason goes to stderr.
bool LoadFile(CliSession& session, const std::string& file) {
    const ProgramFileLoad load = LoadProgramFile(file);
    if (!load.ok) {
        session.err << "quorvel-isp: " << load.message << "\n";
        session.Data()["error"] = load.message;
        return false;
    }
    session.Data()["checksum"] = load.checksum;
    session.Data()["length"] = load.length;
    return true;
}

// Tells what became of the device when its link was lost during the watch's lifetime.
class LinkWatch {
public:
    LinkWatch() : before_(gDevice.LinkLosses()) {}
    bool Lost() const { return gDevice.LinkLosses() != before_; }
    // One line on stderr naming the device, when the link was lost.
    void Report(CliSession& session) const {
        if (!Lost()) return;
        session.err << "quorvel-isp: lost the device at " << gDevice.DevicePath()
                    << (gDevice.LastLossWasGone() ? ": it went away\n"
                                                  : ": it stopped answering\n");
    }

private:
    size_t before_;
};

// Runs `body` inside an enter and a leave of ISP mode, unless the caller keeps the mode
// alone. The leave runs whatever the body did (it is the clean-up of the command); the
// body is skipped when the device was lost while entering. Returns false when a mode
// request failed.
template <typename Body>
bool InIspMode(bool ispMode, Body body) {
    bool ok = true;
    const LinkWatch watch;
    if (ispMode) {
        gDevice.OpenDevice();
        ok = SetIspMode(true);
        gDevice.CloseDevice();
    }
    if (!watch.Lost()) body();
    if (ispMode) {
        gDevice.OpenDevice();
        LinkCleanupScope cleanup(gDevice);
        ok = SetIspMode(false) && ok;
        gDevice.CloseDevice();
    }
    return ok;
}

// Flash addresses travel as 24 bits, so a range past 16 MB would wrap round and erase or
// program the start of the flash instead. Sectors are 4 KB: a range that does not start
// and end on a sector boundary would erase bytes outside itself.
constexpr uint64_t kFlashAddressSpace = 0x1000000;
constexpr uint32_t kSectorKb = 4;

bool RangeFits(CliSession& session, const FlashCommandOptions& flash, uint32_t imageLength) {
    if (!flash.assignRange) return true;
    if (flash.startKb % kSectorKb != 0 || flash.sizeKb % kSectorKb != 0) {
        session.err << "quorvel-isp: --range " << flash.startKb << " " << flash.sizeKb
                    << ": START and SIZE must be multiples of 4 KB (the flash's sectors)\n";
        return false;
    }
    const uint64_t start = uint64_t{flash.startKb} * 1024;
    const uint64_t end = start + std::max<uint64_t>(uint64_t{flash.sizeKb} * 1024, imageLength);
    if (end <= kFlashAddressSpace) return true;
    session.err << "quorvel-isp: --range " << flash.startKb << " " << flash.sizeKb
                << " reaches beyond the 16 MB that flash addresses can name\n";
    return false;
}

// An interrupt that came before the device was touched: nothing more is done.
int StoppedBeforeStart(CliSession& session) {
    session.out << "Stopped\n";
    return kExitFailed;
}

std::string ChipIdText() {
    std::string text;
    for (int i = 0; i < 3; ++i) text += "0x" + HexByte(gFlashId[i]) + ",  ";
    return text;
}

AutoOptions RangeOptions(const FlashCommandOptions& flash) {
    AutoOptions options;
    options.assignRange = flash.assignRange;
    options.startKb = flash.startKb;
    options.sizeKb = flash.sizeKb;
    return options;
}

// What a flash command needs to know before it touches the array: the flash's
// identification (its page size and capacity), that the range fits it, and, for the
// commands that write, that it is not protected, or, for those that read, that it is not
// busy. Returns false after saying on stderr what is wrong.
enum class Access { Read, Write };
bool FlashReadyFor(CliSession& session, Access access, const FlashCommandOptions& flash,
                   uint32_t imageLength, IspReporter& report) {
    gDevice.OpenDevice();
    const bool identified = FlashReadId();
    uint8_t status = 0xFF;
    const bool idle = identified && WaitWhileBusy(100, &status);  // a second at most
    gDevice.CloseDevice();
    if (!identified) {
        session.err << "quorvel-isp: cannot read the flash identification; nothing was done\n";
        return false;
    }
    gPageSize = PageSizeFor(gFlashId);
    if (!RangeFitsFlash(RangeOptions(flash), imageLength)) {
        report.ProcessInfo("Range beyond flash size");
        session.err << "quorvel-isp: the range reaches past the flash's "
                    << FlashCapacityFor(gFlashId) / 1024 << " KB; nothing was done\n";
        return false;
    }
    if (!idle) {
        session.err << "quorvel-isp: the flash stays busy (status 0x" << HexByte(status)
                    << "); nothing was done\n";
        return false;
    }
    if (access == Access::Write && (status & 0x1C) != 0) {
        session.err << "quorvel-isp: the flash is protected (status 0x" << HexByte(status)
                    << "); clear the protection first with 'quorvel-isp write-status 00'\n";
        return false;
    }
    return true;
}

// Erases, then checks that what was to be erased reads erased: a flash that took the
// commands and kept its data, or an erase command that was lost on the way, would
// otherwise count as a success.
bool EraseChecked(const FlashCommandOptions& flash, IspReporter& report) {
    const EraseMode mode = flash.assignRange ? EraseMode::AssignedSectors : EraseMode::WholeChip;
    if (!EraseFlash(mode, report)) return false;
    const uint64_t start = flash.assignRange ? gRangeStart : 0;
    const uint64_t end = flash.assignRange ? start + gRangeSize : FlashCapacityFor(gFlashId);
    if (end <= start || gStopRequest) return !gStopRequest;
    report.ProcessInfo("Start Blanking Check");
    gDevice.OpenDevice();
    const bool blank = BlankCheckRange(static_cast<uint32_t>(start), static_cast<uint32_t>(end - 1), report);
    gDevice.CloseDevice();
    if (blank) report.ProcessInfo("Blanking Success");
    return blank;
}

// Programs, then verifies what was programmed, so that pages the flash did not take are
// found.
bool ProgramChecked(const FlashCommandOptions& flash, IspReporter& report) {
    return RunProgram(flash.assignRange, report) && !gStopRequest &&
           RunVerify(flash.assignRange, report);
}

// Reads the first 128 KB of the flash (less for a smaller flash) into the named file.
bool ReadFlashInto(CliSession& session, const std::string& path, IspReporter& report) {
    bool ok = RunReadBack(report);
    const uint32_t length = std::min<uint32_t>(0x20000, FlashCapacityFor(gFlashId));
    session.Data()["file"] = path;
    session.Data()["length"] = length;
    std::string error;
    // The file is written also after a failed read, as the window does, but the exit code
    // tells.
    if (!SaveReadBackImage(path, length, &error)) {
        report.ProcessInfo("Read Flash save failed");
        session.err << "quorvel-isp: " << error << "\n";
        ok = false;
    }
    return ok;
}

}  // namespace

int AutoCommand(CliSession& session, const std::string& file, const FlashCommandOptions& flash,
                const std::vector<std::string>& skip) {
    static const std::set<std::string> kSteps = {"isp-mode", "erase",  "blank",
                                                 "program",  "verify", "protect"};
    for (const std::string& step : skip) {
        if (!kSteps.count(step)) {
            session.err << "quorvel-isp: unknown step '" << step
                        << "' (isp-mode, erase, blank, program, verify, protect)\n";
            return kExitUsage;
        }
    }
    const auto skipped = [&](const char* step) {
        return std::find(skip.begin(), skip.end(), step) != skip.end();
    };
    // The file comes first: nothing is sent to the device for a file that does not load.
    if (!LoadFile(session, file)) return kExitUsage;
    if (!RangeFits(session, flash, gImageLength)) return kExitUsage;
    if (gStopRequest) return StoppedBeforeStart(session);
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;

    AutoOptions options;
    options.ispMode = !skipped("isp-mode");
    options.erase = !skipped("erase");
    options.blank = !skipped("blank");
    options.program = !skipped("program");
    options.verify = !skipped("verify");
    options.protect = !skipped("protect");
    options.assignRange = flash.assignRange;
    options.startKb = flash.startKb;
    options.sizeKb = flash.sizeKb;

    ConsoleReporter report(session.out, flash.progressBar, session.Json());
    const LinkWatch watch;
    const AutoResult result = RunAutoSequence(options, report);
    for (const std::string& step : result.failedSteps)
        session.err << "quorvel-isp: step '" << step << "' failed\n";
    session.Data()["failed_steps"] = result.failedSteps;
    session.Data()["stopped"] = result.stopped;
    session.Data()["link_lost"] = result.linkLost;
    watch.Report(session);
    return result.success ? kExitOk : kExitFailed;
}

int SingleOperationCommand(CliSession& session, SingleOperation op, const std::string& argument,
                           const FlashCommandOptions& flash) {
    uint8_t statusValue = 0;
    if (op == SingleOperation::WriteStatus) {
        const std::optional<int64_t> value = StrToIntHex(argument);
        if (!value) {
            session.err << "quorvel-isp: " << InvalidHexIntegerMessage(argument) << "\n";
            return kExitUsage;
        }
        statusValue = static_cast<uint8_t>(*value & 0xFF);
    }
    const bool needsFile =
        op == SingleOperation::Blank || op == SingleOperation::Program || op == SingleOperation::Verify;
    if (needsFile && !LoadFile(session, argument)) return kExitUsage;
    if (!RangeFits(session, flash, needsFile ? gImageLength : 0)) return kExitUsage;
    if (gStopRequest) return StoppedBeforeStart(session);
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;

    SetRange(flash.assignRange, flash.startKb, flash.sizeKb);
    ConsoleReporter report(session.out, flash.progressBar, session.Json());
    const LinkWatch watch;
    bool ok = false;
    const auto ready = [&](Access access, uint32_t imageLength) {
        return FlashReadyFor(session, access, flash, imageLength, report);
    };
    const bool modeOk = InIspMode(flash.ispMode, [&] {
        switch (op) {
            case SingleOperation::ChipId:
                gDevice.OpenDevice();
                ok = FlashReadId();
                gDevice.CloseDevice();
                session.out << ChipIdText() << "\n";
                session.Data()["flash_id"] = {gFlashId[0], gFlashId[1], gFlashId[2]};
                break;
            case SingleOperation::Status: {
                gDevice.OpenDevice();
                const uint8_t status = FlashReadStatus();
                gDevice.CloseDevice();
                session.out << "0x" << HexByte(status) << "\n";
                session.Data()["status"] = status;
                ok = true;  // 0xFF is also what an unreadable status shows
                break;
            }
            case SingleOperation::WriteStatus: {
                uint8_t status = 0xFF;
                gDevice.OpenDevice();
                ok = WriteStatusChecked(statusValue, &status);
                gDevice.CloseDevice();
                session.Data()["status"] = status;
                if (!ok) {
                    report.ProcessInfo("Flash Protect Fail");
                    session.err << "quorvel-isp: the status register reads 0x" << HexByte(status)
                                << " after writing 0x" << HexByte(statusValue) << "\n";
                }
                break;
            }
            case SingleOperation::Erase:
                ok = ready(Access::Write, 0) && EraseChecked(flash, report);
                break;
            case SingleOperation::Blank:
                ok = ready(Access::Read, gImageLength) && RunBlankCheck(flash.assignRange, report);
                break;
            case SingleOperation::Program:
                ok = ready(Access::Write, gImageLength) && ProgramChecked(flash, report);
                break;
            case SingleOperation::Verify:
                ok = ready(Access::Read, gImageLength) && RunVerify(flash.assignRange, report);
                break;
            case SingleOperation::ReadFlash:
                ok = ready(Access::Read, 0) && ReadFlashInto(session, argument, report);
                break;
        }
    });
    if (gStopRequest) {
        report.ProcessInfo("Stopped");
        ok = false;
    }
    session.Data()["stopped"] = gStopRequest.load();
    watch.Report(session);
    if (!modeOk) session.err << "quorvel-isp: an ISP mode request failed\n";
    return ok && modeOk ? kExitOk : kExitFailed;
}
