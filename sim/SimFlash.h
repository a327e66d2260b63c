#pragma once
// The serial NOR flash behind the chip's ISP relay, modelled at the SPI byte level.
//
// The relay drives it as a real bus would: chip select goes low (Select), bytes are
// exchanged one at a time (Exchange returns the byte the flash drives back), chip select
// goes high (Deselect), which is when a write-type command takes effect.
//
// Rules it enforces (those of the common 25-series parts):
// - Read identification 0x9F answers the three JEDEC bytes; read status 0x05 answers the
//   status byte for as long as the command runs; read data 0x03 + 24-bit address streams
//   the contents from that address on, wrapping at the end of the flash.
// - Write enable 0x06 sets the write-enable latch (status bit 1), write disable 0x04
//   clears it.
// - Write status 0x01, sector erase 0x20 (4 KB), chip erase 0xC7 and page program 0x02
//   are ignored without the latch; the latch is cleared after each of them that was
//   accepted or refused for protection.
// - Erase and program are ignored while any block-protect bit (status bits 2..4) is
//   set: this part model protects the whole array with any protect setting.
// - Page program only clears bits and wraps inside its page; of more than a page of
//   data only the last page's worth is kept, as the page latch would.
// - While an erase, program or status write runs, status bit 0 reads 1 until its busy
//   time has passed on the clock, and every command but read status is ignored (reads
//   then see 0xFF).
// - A command of the wrong length (e.g. a sector erase with two address bytes) is ignored.
// Busy times are the datasheet's typical values times a settable scale factor.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class Clock;

class SimFlash {
public:
    static constexpr uint8_t kStatusBusy = 0x01;
    static constexpr uint8_t kStatusWriteEnable = 0x02;
    static constexpr uint8_t kStatusProtectMask = 0x1C;
    // Bits a status write can change: the protect bits and bit 7 (status write disable,
    // stored but without a protect pin to act on).
    static constexpr uint8_t kStatusWritableMask = 0x9C;

    // Typical busy times in microseconds at scale 1.
    static constexpr uint64_t kPageProgramMicros = 800;
    static constexpr uint64_t kSectorEraseMicros = 45'000;
    static constexpr uint64_t kChipEraseMicros = 2'000'000;
    static constexpr uint64_t kStatusWriteMicros = 10'000;

    static constexpr uint32_t kSectorSize = 4096;
    static constexpr uint32_t kDefaultSize = 1u << 20;

    // Operations taken or refused, for tests and diagnostics.
    struct Counters {
        size_t pagePrograms = 0;
        size_t sectorErases = 0;
        size_t chipErases = 0;
        size_t statusWrites = 0;
        size_t refused = 0;  // write-type commands ignored (latch, protect, busy, length)
    };

    explicit SimFlash(Clock& clock);

    // The whole array; its size is the capacity given by the identification.
    std::vector<uint8_t>& Contents() { return contents_; }
    const std::vector<uint8_t>& Contents() const { return contents_; }
    uint32_t Size() const { return static_cast<uint32_t>(contents_.size()); }
    // 32 bytes for a part identified C2 22 xx, 256 for any other.
    uint32_t PageSize() const;

    // Sets the identification. The third byte gives the capacity as a power of two
    // (0x10..0x18, 64 KB to 16 MB; any other value means 1 MB); the array is resized,
    // keeping its first bytes and filling new ones with 0xFF.
    void SetJedecId(uint8_t manufacturer, uint8_t type, uint8_t capacity);
    std::array<uint8_t, 3> JedecId() const { return jedec_; }

    // The status byte as a read would see it now (busy bit included).
    uint8_t Status() const;
    // Sets the latch and protect bits directly (bit 0 is ignored; see SetStuckBusy).
    void SetStatus(uint8_t status);
    bool Busy() const;
    // A flash that never finishes: bit 0 stays set.
    void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
    // A flash that hangs in its first erase or page program: bit 0 stays set from then on.
    void SetStuckAfterFirstWrite(bool stuck) { stuckAfterFirstWrite_ = stuck; }
    // A flash whose array cannot be changed: erase and page program are taken (latch
    // cleared, busy for their time) and change nothing.
    void SetIgnoreWrites(bool ignore) { ignoreWrites_ = ignore; }
    void SetTimingScale(double scale) { timingScale_ = scale < 0 ? 0 : scale; }
    double TimingScale() const { return timingScale_; }

    // Every read of `address` returns the stored byte XOR `xorMask` (the array itself is
    // unchanged), as a weak cell or a bad connection would.
    void CorruptReadByteAt(uint32_t address, uint8_t xorMask);
    void ClearReadCorruption() { corrupt_.clear(); }

    const Counters& Stats() const { return stats_; }
    // Why the last write-type command was ignored (empty when none was).
    const std::string& LastRefusal() const { return lastRefusal_; }

    // Back to the erased factory state: 1 MB part C2 20 14, all 0xFF, status 0.
    void Reset();
    // Power loss: chip select high, latch cleared, a running operation ends at once.
    void PowerCycle();

    // The SPI bus.
    void Select();
    uint8_t Exchange(uint8_t out);
    void Deselect();
    bool Selected() const { return selected_; }

private:
    uint8_t ReadOut(size_t position);
    void Execute();
    bool TakeWriteCommand(const char* what, bool needsUnprotected);
    void StartBusy(uint64_t micros);
    // Busy after an erase or a page program that was taken.
    void StartArrayWrite(uint64_t micros);
    void Refuse(std::string why);
    uint32_t Address() const;

    Clock& clock_;
    std::vector<uint8_t> contents_;
    std::array<uint8_t, 3> jedec_{0xC2, 0x20, 0x14};
    uint8_t status_ = 0;  // without the busy bit
    uint64_t busyUntil_ = 0;
    bool stuckBusy_ = false;
    bool stuckAfterFirstWrite_ = false;
    bool ignoreWrites_ = false;
    double timingScale_ = 1.0;
    std::map<uint32_t, uint8_t> corrupt_;
    Counters stats_;
    std::string lastRefusal_;

    // The command in progress while chip select is low.
    bool selected_ = false;
    bool ignoreCommand_ = false;  // it began while the flash was busy
    size_t position_ = 0;         // bytes exchanged so far
    uint8_t opcode_ = 0;
    std::array<uint8_t, 3> addressBytes_{};
    uint8_t statusValue_ = 0;            // data byte of a status write
    std::vector<uint8_t> pageLatch_;     // page program data, by offset in the page
    bool pageLatchUsed_ = false;
};
