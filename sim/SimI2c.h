#pragma once
// The chip's I2C master (bank 14, registers 0x10..0x14) and the slaves on its bus.
//
// Registers as the master's firmware presents them:
// - 0x10 write: bit 6 start (or repeated start), bit 5 stop, otherwise bit 4 chooses
//   whether the next received byte is acknowledged (0x80) or not (0x90).
//   0x10 read: bit 0 "byte transfer done", bit 3 "last byte sent not acknowledged".
//   Done shows after `doneLatency` reads of 0x10 that follow the start of a transfer
//   (0 = at the first read; -1 = never). The acknowledge bit and the received byte of a
//   transfer are valid only once a read of 0x10 has shown it done: until then bit 3 and
//   0x13 still read as after the transfer before.
// - 0x11: control; the master works only while bit 2 is set (the set-up writes 0x04).
//   A disabled master leaves the bus alone and reads 0x09 (done, not acknowledged).
// - 0x12: byte to transmit; written after the transmit command (0x01 to 0x14) it goes out.
// - 0x13: the byte received by the last receive command (0xFF when no slave sent one).
// - 0x14: 0x01 arms a transmit, 0x03 receives a byte at once.
// Slaves answer in the 8-bit address form: the byte after a start carries the address
// in bits 7..1 and the direction in bit 0. An absent address is not acknowledged. In a
// write, the first byte after the address sets the slave's register pointer and later
// bytes are stored from it, advancing; a read returns bytes from the pointer, advancing
// (wrapping at 256). A slave stops sending after the master's non-acknowledge.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

struct SimI2cSlave {
    std::array<uint8_t, 256> registers{};
    uint8_t pointer = 0;
    bool ackRead = true;          // false: the read address is not acknowledged
    int nackWriteByteAt = -1;     // index (after the address) of a write byte refused
};

struct SimI2cEvent {
    enum class Kind { Start, Stop, Sent, Received };
    Kind kind = Kind::Start;
    uint8_t byte = 0;
    bool ack = false;  // Sent: the slave acknowledged; Received: the master did

    friend bool operator==(const SimI2cEvent&, const SimI2cEvent&) = default;
};

class SimI2c {
public:
    static constexpr uint8_t kRegControl = 0x10;
    static constexpr uint8_t kRegSetup = 0x11;
    static constexpr uint8_t kRegTransmit = 0x12;
    static constexpr uint8_t kRegReceive = 0x13;
    static constexpr uint8_t kRegCommand = 0x14;

    SimI2c();  // slaves at 0x20 and 0x60

    SimI2cSlave& AddSlave(uint8_t address8);
    void RemoveSlave(uint8_t address8);
    SimI2cSlave* Slave(uint8_t address8);
    const SimI2cSlave* Slave(uint8_t address8) const;
    void SetDoneLatency(int polls) { doneLatency_ = polls; }

    static bool Owns(uint8_t reg) { return reg >= kRegControl && reg <= kRegCommand; }
    void Write(uint8_t reg, uint8_t value);
    // A read by the host; a read of 0x10 counts as a status poll.
    uint8_t Read(uint8_t reg);
    // The value a read would give, without counting a poll.
    uint8_t Peek(uint8_t reg) const;
    // Sets a stored register (0x11, 0x12, 0x13) without any bus action; the status and
    // command registers have no stored value and are left alone.
    void Poke(uint8_t reg, uint8_t value);

    // What went over the bus, in order.
    const std::vector<SimI2cEvent>& Bus() const { return bus_; }
    const std::map<uint8_t, SimI2cSlave>& Slaves() const { return slaves_; }
    void ClearBus() { bus_.clear(); }

    // Power-on state of the master (slaves and their registers are kept).
    void Reset();

private:
    enum class State { Idle, AwaitAddress, Writing, Reading, NoSlave };
    bool Enabled() const { return (setup_ & 0x04) != 0; }
    void Transmit(uint8_t byte);
    void Receive();
    void BeginTransfer() { pollsUntilDone_ = doneLatency_; }
    // The finished transfer's acknowledge and byte become what the registers show.
    void Release() {
        shownNack_ = nack_;
        shownReceived_ = received_;
    }
    bool Done() const { return pollsUntilDone_ == 0; }

    std::map<uint8_t, SimI2cSlave> slaves_;
    std::vector<SimI2cEvent> bus_;
    State state_ = State::Idle;
    uint8_t current_ = 0;       // address of the addressed slave
    size_t writeIndex_ = 0;     // bytes after the address in this write
    bool transmitArmed_ = false;
    bool nackNextReceive_ = false;
    bool nack_ = false;
    uint8_t setup_ = 0;
    uint8_t transmit_ = 0;
    uint8_t received_ = 0xFF;
    bool shownNack_ = false;
    uint8_t shownReceived_ = 0xFF;
    int doneLatency_ = 0;
    int pollsUntilDone_ = 0;  // -1: never
};
