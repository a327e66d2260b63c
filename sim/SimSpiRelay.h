#pragma once
// The chip's ISP relay between the vendor requests 0x80..0x83 and the SPI flash.
//
// 0x80 (flash write): the data bytes are shifted out; wIndex 0 keeps chip select low so
//   the next 0x80 (or 0x81) request continues the same flash command, wIndex 1 ends it.
//   Any other wIndex is refused.
// 0x81 (command and read): the command bytes (at least one) are shifted out, then wValue
//   bytes are clocked in and kept, and the command ends. wIndex must be 1.
// 0x82 (fetch): returns the kept bytes; bytes asked for beyond them read 0xFF.
// 0x83 (ready): one byte, 1 once the last relay transfer has finished, else 0. After
//   each 0x80/0x81 transfer the next `readyLatency` questions answer 0; ready can also
//   be forced never to come.

#include <cstdint>
#include <vector>

class SimFlash;

class SimSpiRelay {
public:
    explicit SimSpiRelay(SimFlash& flash) : flash_(flash) {}

    bool Write(uint16_t wIndex, const std::vector<uint8_t>& bytes);
    bool CommandAndRead(uint16_t readCount, uint16_t wIndex, const std::vector<uint8_t>& command);
    std::vector<uint8_t> Fetch(uint32_t length) const;
    uint8_t Ready();

    void SetReadyNeverSet(bool never) { readyNeverSet_ = never; }
    // Questions answered "not ready" after each transfer; 0 = ready at once.
    void SetReadyLatency(int questions) { readyLatency_ = questions < 0 ? 0 : questions; }
    const std::vector<uint8_t>& Kept() const { return kept_; }

    // Ends an open flash command (ISP mode left or entered, power loss).
    void Reset();

private:
    void Transferred() { notReadyLeft_ = readyLatency_; }

    SimFlash& flash_;
    std::vector<uint8_t> kept_;
    bool readyNeverSet_ = false;
    int readyLatency_ = 0;
    int notReadyLeft_ = 0;
};
