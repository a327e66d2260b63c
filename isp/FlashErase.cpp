#include "isp/FlashErase.h"

#include <string>

#include "chip/SpiFlash.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "isp/IspState.h"

namespace {

constexpr int kEraseBusyReads = 1000;
constexpr uint32_t kSectorSize = 0x1000;

// Polls the busy bit; `label` gives the progress text for the i-th status read.
template <typename Label>
bool PollBusyBit(IspReporter& report, Label label) {
    for (int i = 0; i < kEraseBusyReads; ++i) {
        const uint8_t status = FlashReadStatus();
        report.ProcessInfo(label(i));
        report.StatusRegister("Status Register: 0x" + HexByte(status));
        report.ProcessMessages();
        if ((status & 0x01) == 0) return true;
        if (gDevice.LinkLost()) return false;  // the busy bit can no longer be read
        CurrentClock().Sleep(10);
    }
    return false;
}

bool EraseWholeChip(IspReporter& report) {
    const std::string text = "Flash Erase All ";
    report.ProcessInfo(text);
    report.Progress(IspStage::Erase, 0, 0);
    FlashWriteEnable();
    FlashEraseChip();
    CurrentClock().Sleep(10);
    // One more full stop every 20 reads, starting over after nine.
    return PollBusyBit(report, [&](int i) { return text + std::string((i / 20) % 10, '.'); });
}

bool EraseSectors(IspReporter& report) {
    report.ProcessInfo("Flash Sector Erase");
    bool lastWaitOk = true;
    const uint64_t end = uint64_t{gRangeStart} + gRangeSize;
    const uint64_t total = (gRangeSize + kSectorSize - 1) / kSectorSize;
    uint64_t done = 0;
    for (uint64_t a = gRangeStart; a < end; a += kSectorSize) {
        if (gStopRequest) break;
        report.Progress(IspStage::Erase, done, total);
        const auto address = static_cast<uint32_t>(a);
        FlashWriteEnable();
        FlashEraseSector(address);
        CurrentClock().Sleep(10);
        const std::string text = "Flash Sector Erase: 0x " + HexDigits6(address);
        lastWaitOk = PollBusyBit(report, [&](int) { return text; });
        ++done;
    }
    report.Progress(IspStage::Erase, done, total);
    // A stop before the last sector leaves the range partly erased: not a success.
    return lastWaitOk && done == total;
}

}  // namespace

bool WaitWhileBusy(int maxReads, uint8_t* lastStatus) {
    for (int i = 0; i < maxReads; ++i) {
        const uint8_t status = FlashReadStatus();
        if (lastStatus != nullptr) *lastStatus = status;
        if ((status & 0x01) == 0) return true;
        if (gDevice.LinkLost()) return false;
        CurrentClock().Sleep(10);
    }
    return false;
}

bool EraseFlash(EraseMode mode, IspReporter& report) {
    gDevice.OpenDevice();
    const bool ok = mode == EraseMode::WholeChip ? EraseWholeChip(report) : EraseSectors(report);
    gDevice.CloseDevice();
    if (!ok && !gStopRequest) {
        report.ProcessInfo("Erase Flash Fail");
        gIspFail = true;
    }
    return ok;
}
