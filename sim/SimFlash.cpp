#include "sim/SimFlash.h"

#include <algorithm>
#include <cmath>

#include "device/Clock.h"

namespace {
constexpr uint8_t kOpReadId = 0x9F;
constexpr uint8_t kOpReadStatus = 0x05;
constexpr uint8_t kOpWriteStatus = 0x01;
constexpr uint8_t kOpWriteEnable = 0x06;
constexpr uint8_t kOpWriteDisable = 0x04;
constexpr uint8_t kOpChipErase = 0xC7;
constexpr uint8_t kOpSectorErase = 0x20;
constexpr uint8_t kOpPageProgram = 0x02;
constexpr uint8_t kOpReadData = 0x03;

uint32_t CapacityFor(uint8_t code) {
    return code >= 0x10 && code <= 0x18 ? (1u << code) : SimFlash::kDefaultSize;
}
}  // namespace

SimFlash::SimFlash(Clock& clock) : clock_(clock) { Reset(); }

void SimFlash::Reset() {
    jedec_ = {0xC2, 0x20, 0x14};
    contents_.assign(kDefaultSize, 0xFF);
    status_ = 0;
    busyUntil_ = 0;
    stuckBusy_ = false;
    stuckAfterFirstWrite_ = false;
    ignoreWrites_ = false;
    corrupt_.clear();
    stats_ = {};
    lastRefusal_.clear();
    selected_ = false;
}

void SimFlash::PowerCycle() {
    selected_ = false;
    status_ &= static_cast<uint8_t>(~kStatusWriteEnable);
    busyUntil_ = 0;
}

uint32_t SimFlash::PageSize() const { return jedec_[0] == 0xC2 && jedec_[1] == 0x22 ? 32 : 256; }

void SimFlash::SetJedecId(uint8_t manufacturer, uint8_t type, uint8_t capacity) {
    jedec_ = {manufacturer, type, capacity};
    contents_.resize(CapacityFor(capacity), 0xFF);
}

bool SimFlash::Busy() const { return stuckBusy_ || clock_.NowMicros() < busyUntil_; }

uint8_t SimFlash::Status() const {
    return static_cast<uint8_t>(status_ | (Busy() ? kStatusBusy : 0));
}

void SimFlash::SetStatus(uint8_t status) {
    status_ = static_cast<uint8_t>(status & ~kStatusBusy);
}

void SimFlash::CorruptReadByteAt(uint32_t address, uint8_t xorMask) {
    corrupt_[address % Size()] ^= xorMask;
}

void SimFlash::StartBusy(uint64_t micros) {
    const auto scaled = static_cast<uint64_t>(std::llround(static_cast<double>(micros) * timingScale_));
    busyUntil_ = clock_.NowMicros() + scaled;
}

void SimFlash::StartArrayWrite(uint64_t micros) {
    StartBusy(micros);
    if (stuckAfterFirstWrite_) stuckBusy_ = true;
}

void SimFlash::Refuse(std::string why) {
    ++stats_.refused;
    lastRefusal_ = std::move(why);
}

uint32_t SimFlash::Address() const {
    return (uint32_t{addressBytes_[0]} << 16 | uint32_t{addressBytes_[1]} << 8 | addressBytes_[2]) %
           Size();
}

void SimFlash::Select() {
    selected_ = true;
    position_ = 0;
    ignoreCommand_ = false;
    pageLatchUsed_ = false;
}

uint8_t SimFlash::Exchange(uint8_t out) {
    if (!selected_) return 0xFF;
    const size_t position = position_++;
    if (position == 0) {
        opcode_ = out;
        // A busy flash listens only to read status.
        ignoreCommand_ = Busy() && out != kOpReadStatus;
        return 0xFF;
    }
    if (position <= 3) addressBytes_[position - 1] = out;
    if (opcode_ == kOpWriteStatus && position == 1) statusValue_ = out;
    if (opcode_ == kOpPageProgram && position >= 4 && !ignoreCommand_) {
        const uint32_t page = PageSize();
        if (!pageLatchUsed_) {
            pageLatch_.assign(page, 0xFF);
            pageLatchUsed_ = true;
        }
        const uint32_t offset = (Address() + static_cast<uint32_t>(position - 4)) % page;
        pageLatch_[offset] = out;
    }
    return ReadOut(position);
}

uint8_t SimFlash::ReadOut(size_t position) {
    if (ignoreCommand_) return 0xFF;
    switch (opcode_) {
        case kOpReadId:
            return position <= 3 ? jedec_[position - 1] : 0xFF;
        case kOpReadStatus:
            return Status();
        case kOpReadData: {
            if (position < 4) return 0xFF;
            const uint32_t address = static_cast<uint32_t>((Address() + (position - 4)) % Size());
            const auto bad = corrupt_.find(address);
            return contents_[address] ^ (bad != corrupt_.end() ? bad->second : 0);
        }
        default:
            return 0xFF;
    }
}

void SimFlash::Deselect() {
    if (!selected_) return;
    selected_ = false;
    if (position_ == 0) return;
    Execute();
}

bool SimFlash::TakeWriteCommand(const char* what, bool needsUnprotected) {
    if ((status_ & kStatusWriteEnable) == 0) {
        Refuse(std::string(what) + " ignored: write enable latch not set");
        return false;
    }
    status_ &= static_cast<uint8_t>(~kStatusWriteEnable);
    if (needsUnprotected && (status_ & kStatusProtectMask) != 0) {
        Refuse(std::string(what) + " ignored: block protect bits set");
        return false;
    }
    return true;
}

void SimFlash::Execute() {
    const bool writeType = opcode_ == kOpWriteStatus || opcode_ == kOpChipErase ||
                           opcode_ == kOpSectorErase || opcode_ == kOpPageProgram;
    if (ignoreCommand_) {
        if (writeType) Refuse("command ignored: flash busy");
        return;
    }
    switch (opcode_) {
        case kOpWriteEnable:
            if (position_ == 1) status_ |= kStatusWriteEnable;
            return;
        case kOpWriteDisable:
            if (position_ == 1) status_ &= static_cast<uint8_t>(~kStatusWriteEnable);
            return;
        case kOpWriteStatus:
            if (position_ != 2) return Refuse("status write ignored: wrong length");
            if (!TakeWriteCommand("status write", false)) return;
            status_ = static_cast<uint8_t>((status_ & ~kStatusWritableMask) |
                                           (statusValue_ & kStatusWritableMask));
            ++stats_.statusWrites;
            StartBusy(kStatusWriteMicros);
            return;
        case kOpChipErase:
            if (position_ != 1) return Refuse("chip erase ignored: wrong length");
            if (!TakeWriteCommand("chip erase", true)) return;
            if (!ignoreWrites_) std::fill(contents_.begin(), contents_.end(), 0xFF);
            ++stats_.chipErases;
            StartArrayWrite(kChipEraseMicros);
            return;
        case kOpSectorErase: {
            if (position_ != 4) return Refuse("sector erase ignored: wrong length");
            if (!TakeWriteCommand("sector erase", true)) return;
            const uint32_t base = Address() & ~(kSectorSize - 1);
            if (!ignoreWrites_)
                std::fill_n(contents_.begin() + base, std::min(kSectorSize, Size() - base), 0xFF);
            ++stats_.sectorErases;
            StartArrayWrite(kSectorEraseMicros);
            return;
        }
        case kOpPageProgram: {
            if (position_ < 5) return Refuse("page program ignored: no data");
            if (!TakeWriteCommand("page program", true)) return;
            const uint32_t page = PageSize();
            const uint32_t base = Address() & ~(page - 1);
            if (!ignoreWrites_)
                for (uint32_t i = 0; i < page; ++i) contents_[base + i] &= pageLatch_[i];
            ++stats_.pagePrograms;
            StartArrayWrite(kPageProgramMicros);
            return;
        }
        default:
            return;  // reads and unknown commands leave nothing behind
    }
}
