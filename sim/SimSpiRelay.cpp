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
    kept_.assign(readCount, 0xFF);
    for (auto& b : kept_) b = flash_.Exchange(0x00);
    flash_.Deselect();
    Transferred();
    return true;
}

std::vector<uint8_t> SimSpiRelay::Fetch(uint32_t length) const {
    std::vector<uint8_t> out(length, 0xFF);
    for (uint32_t i = 0; i < length && i < kept_.size(); ++i) out[i] = kept_[i];
    return out;
}

uint8_t SimSpiRelay::Ready() {
    if (readyNeverSet_) return 0;
    if (notReadyLeft_ > 0) {
        --notReadyLeft_;
        return 0;
    }
    return 1;
}

void SimSpiRelay::Reset() {
    flash_.Deselect();
    kept_.clear();
    notReadyLeft_ = 0;
}
