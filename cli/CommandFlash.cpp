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

namespace {

// Loads the program file as the ISP page does; on failure the reason goes to stderr.
bool LoadFile(CliSession& session, const std::string& file) {
    const ProgramFileLoad load = LoadProgramFile(file);
    if (!load.ok) {
        session.err << "quorvel-isp: " << load.message << "\n";
        return false;
    }
    return true;
}

// Runs `body` with the device handle open, inside an enter and a leave of ISP mode
// unless the caller keeps the mode alone. Returns false when a mode request failed.
template <typename Body>
bool InIspMode(bool ispMode, Body body) {
    bool ok = true;
    if (ispMode) {
        gDevice.OpenDevice();
        ok = SetIspMode(true);
        gDevice.CloseDevice();
    }
    body();
    if (ispMode) {
        gDevice.OpenDevice();
        ok = SetIspMode(false) && ok;
        gDevice.CloseDevice();
    }
    return ok;
}

// Flash addresses travel as 24 bits, so a range past 16 MB would wrap round and erase or
// program the start of the flash instead.
constexpr uint64_t kFlashAddressSpace = 0x1000000;

bool RangeFits(CliSession& session, const FlashCommandOptions& flash, uint32_t imageLength) {
    if (!flash.assignRange) return true;
    const uint64_t start = uint64_t{flash.startKb} * 1024;
    const uint64_t end = start + std::max<uint64_t>(uint64_t{flash.sizeKb} * 1024, imageLength);
    if (end <= kFlashAddressSpace) return true;
    session.err << "quorvel-isp: --range " << flash.startKb << " " << flash.sizeKb
                << " reaches beyond the 16 MB that flash addresses can name\n";
    return false;
}

std::string ChipIdText() {
    std::string text;
    for (int i = 0; i < 3; ++i) text += "0x" + HexByte(gFlashId[i]) + ",  ";
    return text;
}

// Reads the flash identification so that pages have the flash's own size.
void ApplyPageSize() {
    gDevice.OpenDevice();
    if (FlashReadId()) gPageSize = PageSizeFor(gFlashId);
    gDevice.CloseDevice();
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

    ConsoleReporter report(session.out, flash.progressBar);
    const AutoResult result = RunAutoSequence(options, report);
    if (!result.success && !result.stopped && !result.failedStep.empty())
        session.err << "quorvel-isp: step '" << result.failedStep << "' failed\n";
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
    if (const int rc = session.ConnectDevice(); rc != 0) return rc;

    SetRange(flash.assignRange, flash.startKb, flash.sizeKb);
    ConsoleReporter report(session.out, flash.progressBar);
    bool ok = false;
    const bool modeOk = InIspMode(flash.ispMode, [&] {
        switch (op) {
            case SingleOperation::ChipId:
                gDevice.OpenDevice();
                ok = FlashReadId();
                gDevice.CloseDevice();
                session.out << ChipIdText() << "\n";
                break;
            case SingleOperation::Status: {
                gDevice.OpenDevice();
                const uint8_t status = FlashReadStatus();
                gDevice.CloseDevice();
                session.out << "0x" << HexByte(status) << "\n";
                ok = true;  // 0xFF is also what an unreadable status shows
                break;
            }
            case SingleOperation::WriteStatus:
                gDevice.OpenDevice();
                ok = FlashWriteStatus(statusValue);
                gDevice.CloseDevice();
                break;
            case SingleOperation::Erase:
                ok = EraseFlash(flash.assignRange ? EraseMode::AssignedSectors : EraseMode::WholeChip,
                                report);
                break;
            case SingleOperation::Blank:
                ok = RunBlankCheck(flash.assignRange, report);
                break;
            case SingleOperation::Program:
                ApplyPageSize();
                ok = RunProgram(flash.assignRange, report);
                break;
            case SingleOperation::Verify:
                ok = RunVerify(flash.assignRange, report);
                break;
            case SingleOperation::ReadFlash: {
                ok = RunReadBack(report);
                std::string error;
                // The file is written also after a failed read, as the window does.
                if (!SaveReadBackImage(argument, 0x20000, &error)) {
                    report.ProcessInfo("Read Flash save failed");
                    session.err << "quorvel-isp: " << error << "\n";
                    ok = false;
                }
                break;
            }
        }
    });
    if (!modeOk) session.err << "quorvel-isp: an ISP mode request failed\n";
    return ok && modeOk ? kExitOk : kExitFailed;
}
