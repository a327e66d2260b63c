#include "isp/RangeWorkers.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string>

#include "chip/SpiFlash.h"
#include "device/Clock.h"
#include "device/QuorvelUsb.h"
#include "files/FlashImage.h"
#include "isp/IspState.h"

namespace {

constexpr uint16_t kBlockSize = 64;
constexpr int kAttemptsPerBlock = 3;
constexpr int kIdleReads = 101;
constexpr int kReadyPolls = 10;

using Block = std::array<uint8_t, kBlockSize>;

// Outcome of one look at a block: the first offending address, or none.
struct Attempt {
    bool readOk = false;
    bool passed = false;
    uint32_t badAddress = 0;
};

struct BlockCheck {
    IspStage stage;
    const char* progressText;  // followed by the block address
    const char* failureText;   // followed by the failing address
    std::function<Attempt(uint32_t block)> look;
};

// Reads the block at `b` and compares the bytes up to `end` with `expected`.
Attempt CompareBlock(uint32_t b, uint32_t end, uint8_t (*expected)(uint32_t)) {
    // A fresh zeroed buffer for every read, so a short read can never pass as erased data.
    Block buffer{};
    Attempt attempt;
    attempt.badAddress = b;  // a block that cannot be read fails at its own address
    attempt.readOk = FlashReadBlock(b, kBlockSize, buffer.data());
    if (!attempt.readOk) return attempt;
    for (uint32_t j = 0; j < kBlockSize && uint64_t{b} + j <= end; ++j) {
        if (buffer[j] != expected(b + j)) {
            attempt.badAddress = b + j;
            return attempt;
        }
    }
    attempt.passed = true;
    return attempt;
}

// Walks the blocks from start through end; a block may fail twice and pass on the third
// look before the check gives up.
bool CheckRange(const BlockCheck& check, uint32_t start, uint32_t end, IspReporter& report) {
    // Reads past the flash's capacity wrap round to its start, so nothing there is looked
    // at; a range that lies wholly past it fails at its start.
    const uint32_t capacity = FlashCapacityFor(gFlashId);
    if (start >= capacity) {
        report.ProcessInfo(check.failureText + HexDigits6(start));
        return false;
    }
    end = std::min(end, capacity - 1);
    const uint64_t total = uint64_t{end} - start + 1;
    int failures = 0;
    for (uint64_t b = start; b <= end;) {
        if (gStopRequest) return false;
        const auto block = static_cast<uint32_t>(b);
        const Attempt attempt = check.look(block);
        if (attempt.readOk) {
            report.ProcessAddress(check.progressText + HexDigits6(block));
            report.ProcessMessages();
        }
        if (attempt.passed) {
            failures = 0;
            b += kBlockSize;
            report.Progress(check.stage, std::min(b - start, total), total);
            continue;
        }
        if (++failures == kAttemptsPerBlock) {
            report.ProcessInfo(check.failureText + HexDigits6(attempt.badAddress));
            return false;
        }
    }
    return true;
}

// Waits for the flash to finish its last write: up to 101 status reads, 1 ms apart.
bool WaitForIdle() {
    for (int i = 0; i < kIdleReads; ++i) {
        if ((FlashReadStatus() & 0x01) == 0) return true;
        if (gDevice.LinkLost()) return false;
        if (i + 1 < kIdleReads) CurrentClock().Sleep(1);
    }
    return false;
}

}  // namespace

uint8_t ImageByteFor(uint32_t address) {
    if (address < gRangeStart) return 0xFF;
    const uint32_t offset = address - gRangeStart;
    return offset < kFlashImageSize ? gFlashImage[offset] : 0xFF;
}

bool BlankCheckRange(uint32_t start, uint32_t end, IspReporter& report) {
    const BlockCheck check{IspStage::BlankCheck, "Blanking Addr: 0x", "Blanking Fail at 0x",
                           [end](uint32_t b) {
                               return CompareBlock(b, end, [](uint32_t) { return uint8_t{0xFF}; });
                           }};
    return CheckRange(check, start, end, report);
}

bool VerifyRange(uint32_t start, uint32_t end, IspReporter& report) {
    const BlockCheck check{IspStage::Verify, "Verifying Addr: 0x", "Verifying Fail at 0x",
                           [end](uint32_t b) { return CompareBlock(b, end, ImageByteFor); }};
    return CheckRange(check, start, end, report);
}

bool ProgramRange(uint32_t start, uint32_t end, IspReporter& report) {
    const uint32_t pageSize = gPageSize == 0 ? 256 : gPageSize;
    const uint64_t total = end > start ? uint64_t{end} - start : 0;
    const uint32_t capacity = FlashCapacityFor(gFlashId);
    std::array<uint8_t, 256> page{};
    for (uint64_t a = start; a < end; a += pageSize) {
        if (gStopRequest) return false;
        const auto address = static_cast<uint32_t>(a);
        // Past the capacity the address would wrap round and overwrite the start of the
        // flash (its boot code).
        if (a >= capacity) {
            report.ProcessInfo("Programming Fail at " + HexAddress(address));
            return false;
        }
        for (uint32_t k = 0; k < pageSize; ++k) page[k] = ImageByteFor(address + k);
        report.Progress(IspStage::Program, a - start, total);
        if (std::all_of(page.begin(), page.begin() + pageSize, [](uint8_t v) { return v == 0xFF; }))
            continue;
        const bool idle = WaitForIdle();
        FlashWriteEnable();
        report.ProcessAddress(HexAddress(address));
        report.ProcessMessages();
        // A page that could not be started or whose program request was refused would
        // otherwise pass silently whenever Verify is off.
        if (!idle || !FlashProgramPage(address, static_cast<uint16_t>(pageSize), page.data())) {
            report.ProcessInfo("Programming Fail at " + HexAddress(address));
            return false;
        }
        for (int i = 0; i < kReadyPolls; ++i) {
            CurrentClock().Sleep(1);
            if (SpiReady()) break;
        }
    }
    report.Progress(IspStage::Program, total, total);
    return true;
}

bool ReadBackFlash(uint32_t start, uint32_t end, IspReporter& report) {
    const uint64_t last = std::min<uint64_t>(end, kFlashImageSize - 1);
    std::fill(gReadBackImage.begin() + start, gReadBackImage.begin() + last + 1, uint8_t{0x5A});
    // Each block is kept from its first read and read again: two copies that differ mean
    // the read is not to be trusted.
    const auto readTwice = [](uint32_t b) {
        Block first{};
        Attempt attempt;
        attempt.badAddress = b;
        attempt.readOk = FlashReadBlock(b, kBlockSize, first.data());
        if (!attempt.readOk) return attempt;
        const size_t keep = b < kFlashImageSize ? std::min<uint64_t>(kBlockSize, kFlashImageSize - b) : 0;
        std::copy_n(first.begin(), keep, gReadBackImage.begin() + b);
        Block second{};
        FlashReadBlock(b, kBlockSize, second.data());
        const auto diff = std::mismatch(first.begin(), first.end(), second.begin());
        attempt.passed = diff.first == first.end();
        if (!attempt.passed) attempt.badAddress = b + uint32_t(diff.first - first.begin());
        return attempt;
    };
    const BlockCheck check{IspStage::ReadBack, "Verifying Addr: 0x", "Verifying Fail at 0x",
                           readTwice};
    return CheckRange(check, start, end, report);
}
