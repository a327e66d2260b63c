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

// A range worker and the addresses it works on: programming covers start up to end, a
// check the addresses up to checkEnd (the end it is given is inclusive).
struct RangeJob {
    bool (*worker)(uint32_t start, uint32_t end, IspReporter& report);
    bool checksBytes;
};
constexpr RangeJob kBlankJob{BlankCheckRange, true};
constexpr RangeJob kProgramJob{ProgramRange, false};
constexpr RangeJob kVerifyJob{VerifyRange, true};

// Runs a job on its addresses. A check has none at all only when the byte one past an
// empty image lies outside the flash or the range: then there is nothing to check.
bool RunJob(const RangeJob& job, const WorkRange& range, IspReporter& report) {
    if (!job.checksBytes) return job.worker(range.start, range.end, report);
    if (range.checkEnd <= range.start) return true;
    return job.worker(range.start, static_cast<uint32_t>(range.checkEnd - 1), report);
}

bool RunWorkerFrame(bool assignRange, const char* startText, const char* successText,
                    const RangeJob& job, IspReporter& report) {
    report.ProcessInfo(startText);
    const WorkRange range = CurrentWorkRange(assignRange);
    gDevice.OpenDevice();
    const bool ok = RunJob(job, range, report);
    if (ok) report.ProcessInfo(successText);
    gDevice.CloseDevice();
    return ok;
}

}  // namespace

WorkRange CurrentWorkRange(bool assignRange) {
    WorkRange range;
    range.start = assignRange ? gRangeStart : 0;
    range.end = range.start + gImageLength;
    uint64_t limit = FlashCapacityFor(gFlashId);
    if (assignRange) limit = std::min(limit, uint64_t{gRangeStart} + gRangeSize);
    const uint64_t imageEnd = uint64_t{range.start} + gImageLength;
    // The byte one past the image where it may be looked at; the image's own bytes always.
    range.checkEnd = imageEnd < limit ? imageEnd + 1 : imageEnd;
    return range;
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
    return RunWorkerFrame(assignRange, "Start Blanking Check", "Blanking Success", kBlankJob,
                          report);
}

bool RunProgram(bool assignRange, IspReporter& report) {
    return RunWorkerFrame(assignRange, "Start Programming...", "Programming Success", kProgramJob,
                          report);
}

bool RunVerify(bool assignRange, IspReporter& report) {
    return RunWorkerFrame(assignRange, "Start Verifying Check", "Verifying Success", kVerifyJob,
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

constexpr uint8_t kProtectBits = 0x1C;
constexpr int kStatusWriteAttempts = 3;

// Records the failures of an Auto run.
struct StepLog {
    AutoResult result;
    void Fail(const char* step) {
        if (result.failedStep.empty()) result.failedStep = step;
        result.failedSteps.emplace_back(step);
    }
};

// One of the three range steps: skipped after a failure or a stop; a failure sets gIspFail.
void RunRangeStep(bool enabled, const char* step, const char* startText, const char* successText,
                  const RangeJob& job, const WorkRange& range, IspReporter& report,
                  StepLog& log) {
    if (!enabled || gIspFail || gStopRequest) return;
    report.ProcessInfo(startText);
    const bool ok = RunJob(job, range, report);
    if (gStopRequest) return;  // stopped, not failed
    gIspFail = !ok;
    if (ok) {
        report.ProcessInfo(successText);
    } else {
        log.Fail(step);
    }
}

// Stops the device work of a run before anything is erased: the run goes on to protect
// the flash and leave ISP mode.
void Refuse(const char* step, const char* text, IspReporter& report, StepLog& log) {
    report.ProcessInfo(text);
    log.Fail(step);
    gIspFail = true;
}

// Clears the protection, then erases; the erase opens and closes the device itself.
void UnprotectAndErase(const AutoOptions& options, IspReporter& report, StepLog& log) {
    report.ProcessInfo("Clear Status register");
    if (!WriteStatusChecked(0x00)) {
        // A protected flash ignores erase and program: going on would report a run that
        // changed nothing.
        Refuse("unprotect", "Flash Unprotect Fail", report, log);
        return;
    }
    const EraseMode mode = options.assignRange ? EraseMode::AssignedSectors : EraseMode::WholeChip;
    if (!EraseFlash(mode, report) && !gStopRequest) log.Fail("erase");
}

// Protection and leaving ISP mode, whatever happened before, so the chip is never left
// writable or stuck in ISP mode. On a lost link each request is still tried once.
void CleanUp(const AutoOptions& options, IspReporter& report, StepLog& log) {
    LinkCleanupScope cleanup(gDevice);
    if (options.protect && !WriteStatusChecked(0xFF)) {
        report.ProcessInfo("Flash Protect Fail");
        log.Fail("protect");
    }
    if (options.ispMode && !SetIspMode(false)) log.Fail("leave-isp-mode");
}

}  // namespace

bool WriteStatusChecked(uint8_t value, uint8_t* finalStatus) {
    uint8_t status = 0xFF;
    bool ok = false;
    for (int attempt = 0; attempt < kStatusWriteAttempts && !ok; ++attempt) {
        FlashWriteEnable();
        FlashWriteStatus(value);
        // A write that did not take (the flash was busy, the latch was lost) is tried
        // again; a flash that never finishes, or a device that no longer answers, is not.
        if (!WaitWhileBusy(1000, &status) || gDevice.LinkLost()) break;
        ok = (status & kProtectBits) == (value & kProtectBits);
    }
    if (finalStatus != nullptr) *finalStatus = status;
    return ok;
}

bool RangeFitsFlash(const AutoOptions& options, uint32_t imageLength) {
    const uint64_t capacity = FlashCapacityFor(gFlashId);
    const uint64_t start = options.assignRange ? uint64_t{options.startKb} * 1024 : 0;
    if (start + imageLength > capacity) return false;
    return !options.assignRange || start + uint64_t{options.sizeKb} * 1024 <= capacity;
}

AutoResult RunAutoSequence(const AutoOptions& options, IspReporter& report) {
    StepLog log;
    gIspFail = false;
    const size_t lossesBefore = gDevice.LinkLosses();

    SetRange(options.assignRange, options.startKb, options.sizeKb);

    report.ProcessInfo("Enter ISP Mode");
    report.ProcessMessages();
    gDevice.OpenDevice();
    if (options.ispMode && !SetIspMode(true)) log.Fail("isp-mode");
    const bool identified = FlashReadId();
    gPageSize = PageSizeFor(gFlashId);
    // Without the identification neither the page size nor the capacity is known.
    if (!identified) {
        Refuse("flash-id", "Flash ID Read Fail", report, log);
    } else if (!RangeFitsFlash(options, gImageLength)) {
        // Past the capacity addresses wrap round to the start of the flash.
        Refuse("range", "Range beyond flash size", report, log);
    }
    const WorkRange range = CurrentWorkRange(options.assignRange);

    if (options.erase && !gIspFail && !gStopRequest) UnprotectAndErase(options, report, log);

    if (!gDevice.HasHandle()) gDevice.OpenDevice();
    RunRangeStep(options.blank, "blank", "Start Blanking Check", "Blanking Success",
                 kBlankJob, range, report, log);
    RunRangeStep(options.program, "program", "Start Programming", "Programming Success",
                 kProgramJob, range, report, log);
    RunRangeStep(options.verify, "verify", "Start Verifying Check", "Verifying Success",
                 kVerifyJob, range, report, log);

    CleanUp(options, report, log);
    log.result.linkLost = gDevice.LinkLosses() != lossesBefore;
    log.result.linkGone = log.result.linkLost && gDevice.LastLossWasGone();
    gDevice.CloseDevice();

    log.result.stopped = gStopRequest;
    if (log.result.stopped) report.ProcessInfo("Stopped");
    log.result.success = !log.result.stopped && log.result.failedSteps.empty() && !gIspFail;
    return log.result;
}
