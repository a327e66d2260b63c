#include "sim/SimSpiRelay.h"

#include "sim/SimFlash.h"

bool SimSpiRelay::Write(uint16_t wIndex, const std::vector<uint8_t>& bytes) {
    if (wIndex > 1) return false;
    if (!flash_.Selected()) flash_.Select();
    for (uint8_t b : bytes) flash_.Exchange(b);
    if (wIndex == 1) flash_.Deselect();
    Transferred();
    return true;
}

bool SimSpiRelay::CommandAndRead(uint16_t readCount, uint16_t wIndex,
                                 const std::vector<uint8_t>& command) {
    if (wIndex != 1 || command.empty()) return false;
    if (!flash_.Selected()) flash_.Select();
    for (uint8_t b : command) flash_.Exchange(b);
    fresh_.assign(readCount, 0xFF);
    for (auto& b : fresh_) b = flash_.Exchange(0x00);
    flash_.Deselect();
    freshPending_ = true;
    readSinceEntry_ = true;
    Transferred();
    return true;
}

bool SimSpiRelay::Fetch(uint32_t length, std::vector<uint8_t>& out) const {
    if (!readSinceEntry_) return false;
    out.assign(length, 0xFF);
    for (uint32_t i = 0; i < length && i < fetchable_.size(); ++i) out[i] = fetchable_[i];
    return true;
}

uint8_t SimSpiRelay::Ready() {
    if (readyNeverSet_) return 0;
    if (notReadyLeft_ > 0) {
        --notReadyLeft_;
        return 0;
    }
    if (freshPending_) {
        fetchable_ = fresh_;
        freshPending_ = false;
    }
    return 1;
}

void SimSpiRelay::Clear() {
    freshPending_ = false;
    readSinceEntry_ = false;
    notReadyLeft_ = 0;
}

void SimSpiRelay::Reset() {
    flash_.Deselect();
    Clear();
}

void SimSpiRelay::PowerLoss() {
    flash_.PowerCycle();
    fetchable_.assign(kBufferSize, 0x00);
    Clear();
}
