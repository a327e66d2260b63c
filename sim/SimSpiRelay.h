#pragma once
// The chip's ISP relay between the vendor requests 0x80..0x83 and the SPI flash.
//
// 0x80 (flash write): the data bytes are shifted out; wIndex 0 keeps chip select low so
//   the next 0x80 (or 0x81) request continues the same flash command, wIndex 1 ends it.
//   Any other wIndex is refused.
// 0x81 (command and read): the command bytes (at least one) are shifted out, then wValue
//   bytes are clocked in, and the command ends. wIndex must be 1.
// 0x83 (ready): one byte, 1 once the last relay transfer has finished, else 0. After
//   each 0x80/0x81 transfer the next `readyLatency` questions answer 0; ready can also
//   be forced never to come.
// 0x82 (fetch): the bytes of the last 0x81 read, but only once a 0x83 has answered 1
//   since that read: until then the bytes of the read before are still in the buffer
//   (zeros before the first). Bytes asked for beyond them read 0xFF. A fetch with no 0x81
//   since ISP mode was entered is refused.
// (The setup fields each request must carry are checked by SimulatedChip.)

#include <cstddef>
#include <cstdint>
#include <vector>

class SimFlash;

class SimSpiRelay {
public:
    explicit SimSpiRelay(SimFlash& flash) : flash_(flash), fetchable_(kBufferSize, 0x00) {}

    bool Write(uint16_t wIndex, const std::vector<uint8_t>& bytes);
    bool CommandAndRead(uint16_t readCount, uint16_t wIndex, const std::vector<uint8_t>& command);
    // False when there is nothing to fetch (no read since ISP mode was entered).
    bool Fetch(uint32_t length, std::vector<uint8_t>& out) const;
    uint8_t Ready();

    void SetReadyNeverSet(bool never) { readyNeverSet_ = never; }
    // Questions answered "not ready" after each transfer; 0 = ready at once.
    void SetReadyLatency(int questions) { readyLatency_ = questions < 0 ? 0 : questions; }
    // The bytes a fetch returns now.
    const std::vector<uint8_t>& Kept() const { return fetchable_; }

    // Ends an open flash command (ISP mode left or entered): chip select goes high, so a
    // write-type command in it takes effect.
    void Reset();
    // Power loss: the open command is abandoned, never executed.
    void PowerLoss();

private:
    static constexpr size_t kBufferSize = 255;  // the largest fetch
    void Transferred() { notReadyLeft_ = readyLatency_; }
    void Clear();

    SimFlash& flash_;
    std::vector<uint8_t> fetchable_;  // what a fetch returns
    std::vector<uint8_t> fresh_;      // the last read, until a ready answer releases it
    bool freshPending_ = false;
    bool readSinceEntry_ = false;
    bool readyNeverSet_ = false;
    int readyLatency_ = 0;
    int notReadyLeft_ = 0;
};
