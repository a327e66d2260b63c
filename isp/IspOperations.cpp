#include "isp/IspOperations.h"

#include <algorithm>

#include "chip/SpiFlash.h"
#include "device/QuorvelUsb.h"
#include "files/FlashImage.h"
#include "files/ReplaceFile.h"
#include "isp/FlashErase.h"
#include "isp/IspState.h"
#include "isp/RangeWorkers.h"

namespace {

using Worker = bool (*)(uint32_t, uint32_t, IspReporter&);

bool RunWorkerFrame(bool assignRange, const char* startText, const char* successText,
                    Worker worker, IspReporter& report) {
    report.ProcessInfo(startText);
    const WorkRange range = CurrentWorkRange(assignRange);
    gDevice.OpenDevice();
    const bool ok = worker(range.start, range.end, report);
    if (ok) report.ProcessInfo(successText);
    gDevice.CloseDevice();
    return ok;
}

}  // namespace

WorkRange CurrentWorkRange(bool assignRange) {
    if (!assignRange) return {0, gImageLength};
    return {gRangeStart, gRangeStart + gImageLength};
}

void SetRange(bool assignRange, uint32_t startKb, uint32_t sizeKb) {
    if (!assignRange) {
        gRangeStart = 0;
        gRangeSize = 0x8000;
        return;
    }
    gRangeStart = startKb * 1024;
    gRangeSize = sizeKb * 1024;
}

uint16_t PageSizeFor(const uint8_t id[3]) { return id[0] == 0xC2 && id[1] == 0x22 ? 32 : 256; }

bool RunBlankCheck(bool assignRange, IspReporter& report) {
    return RunWorkerFrame(assignRange, "Start Blanking Check", "Blanking Success", BlankCheckRange,
                          report);
}

bool RunProgram(bool assignRange, IspReporter& report) {
    return RunWorkerFrame(assignRange, "Start Programming...", "Programming Success", ProgramRange,
                          report);
}

bool RunVerify(bool assignRange, IspReporter& report) {
    return RunWorkerFrame(assignRange, "Start Verifying Check", "Verifying Success", VerifyRange,
                          report);
}

bool RunReadBack(IspReporter& report) {
    report.ProcessInfo("Read Flash data back");
    gDevice.OpenDevice();
    const bool ok = ReadBackFlash(0, 0x20000, report);
    if (ok) report.ProcessInfo("Read Flash content Success");
    gDevice.CloseDevice();
    return ok;
}

bool SaveReadBackImage(const std::string& path, uint32_t length, std::string* error) {
    std::string reason;
    const bool ok = WriteFileReplacing(path, gReadBackImage.data(),
                                       std::min<uint32_t>(length, kFlashImageSize), reason);
    if (!ok && error) *error = reason;
    return ok;
}

namespace {

// Records the first failure of an Auto run.
struct StepLog {
    AutoResult result;
    void Fail(const char* step) {
        if (result.failedStep.empty()) result.failedStep = step;
    }
};

// One of the three range steps: skipped after a failure or a stop; a failure sets gIspFail.
void RunRangeStep(bool enabled, const char* step, const char* startText, const char* successText,
                  Worker worker, const WorkRange& range, IspReporter& report, StepLog& log) {
    if (!enabled || gIspFail || gStopRequest) return;
    report.ProcessInfo(startText);
    const bool ok = worker(range.start, range.end, report);
    if (gStopRequest) return;  // stopped, not failed
    gIspFail = !ok;
    if (ok) {
        report.ProcessInfo(successText);
    } else {
        log.Fail(step);
    }
}

}  // namespace

AutoResult RunAutoSequence(const AutoOptions& options, IspReporter& report) {
    StepLog log;
    gIspFail = false;
    gStopRequest = false;

    SetRange(options.assignRange, options.startKb, options.sizeKb);
    const WorkRange range = CurrentWorkRange(options.assignRange);

    report.ProcessInfo("Enter ISP Mode");
    report.ProcessMessages();
    gDevice.OpenDevice();
    if (options.ispMode && !SetIspMode(true)) log.Fail("isp-mode");
    if (!FlashReadId()) log.Fail("flash-id");
    gPageSize = PageSizeFor(gFlashId);

    if (options.erase && !gStopRequest) {
        report.ProcessInfo("Clear Status register");
        FlashWriteEnable();
        FlashWriteStatus(0x00);
        WaitWhileBusy();
        // The erase opens and closes the device itself.
        if (!EraseFlash(options.assignRange ? EraseMode::AssignedSectors : EraseMode::WholeChip,
                        report) &&
            !gStopRequest) {
            log.Fail("erase");
        }
    }

    gDevice.OpenDevice();
    RunRangeStep(options.blank, "blank", "Start Blanking Check", "Blanking Success",
                 BlankCheckRange, range, report, log);
    RunRangeStep(options.program, "program", "Start Programming", "Programming Success",
                 ProgramRange, range, report, log);
    RunRangeStep(options.verify, "verify", "Start Verifying Check", "Verifying Success",
                 VerifyRange, range, report, log);

    // Protection and leaving ISP mode run whatever happened before, so the chip is never
    // left writable or stuck in ISP mode.
    if (options.protect) {
        FlashWriteEnable();
        const bool written = FlashWriteStatus(0xFF);
        if (!WaitWhileBusy() || !written) log.Fail("protect");
    }
    if (options.ispMode && !SetIspMode(false)) log.Fail("isp-mode");
    gDevice.CloseDevice();

    log.result.stopped = gStopRequest;
    if (log.result.stopped) report.ProcessInfo("Stopped");
    log.result.success = !log.result.stopped && log.result.failedStep.empty() && !gIspFail;
    return log.result;
}
