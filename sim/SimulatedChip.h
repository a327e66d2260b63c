#pragma once
// The simulated chip: a model of the chip's firmware contract standing in for both
// drivers behind DevicePlatform, so the whole tool runs with no hardware.
//
// Driver side
// - Every IoControl is decoded with DecodeDriverRequest; a malformed call fails and is
//   counted (MalformedCalls), not logged. A handle understands only the encoding of the
//   driver whose class its path is listed under: property requests (kernel streaming)
//   while the identity is Normal, generic request blocks for the firmware-update
//   identities. The other encoding fails as a refusal, as the wrong driver would.
// - Replies carry exactly the bytes the firmware produced (the requested count for every
//   request it answers), and LastReturnedSize tells how many.
// - The audio driver's support query succeeds whenever the chip is present. The generic
//   descriptor probe (0x80, 6, wValue 0x0100) returns the 18-byte device descriptor with
//   the identity's VID and PID. Other standard requests fail.
// - Vendor requests must carry type vendor, recipient other (0x43 / 0xC3); a request of
//   the wrong direction or length fails, as a stall would.
// - Identity: Normal (default vid_7c3d&pid_6012, settable) is listed under the audio
//   driver's class, Update7C3D (vid_7c3d&pid_6000) and Update0B7E (vid_0b7e&pid_6000)
//   under the generic USB class. One path each, in the form
//   \\?\usb#vid_xxxx&pid_xxxx#PORT#{class} (lower case; PORT is "1-1" unless set).
//   Entering or leaving ISP mode keeps identity, path and handles. Changing the identity
//   re-enumerates: open handles stop working.
// - Unplug: the chip leaves the interface lists, open handles stop working for good and
//   nothing opens; the power loss resets registers, ISP mode, the I2C master and the
//   mailbox (flash, EEPROM and slaves keep their content). Plug brings it back.
//
// Chip side
// - 256 banks of 256 registers; register 0 selects the bank and reads back the selected
//   bank. Registers are plain read-write storage except those a function owns: bank 0
//   0x90 (mailbox, see SimMailbox.h) and bank 14 0x10..0x14 (I2C master, SimI2c.h).
//   Register numbers above 255 are refused. Power-on: all zero except bank 0 0xA4 = 0x01
//   (48 kHz), 0xA6 = 0x01 (connected, playing, PCM).
// - ISP mode: entered only by 0x43/0x84 with wValue 0x3F49, wIndex 0x7C1A and no data,
//   left only by 0x43/0x85 with 0x1B8D, 0x9A4E and no data; other words are refused.
//   The flash relay 0x80..0x83 (SimSpiRelay.h) refuses every request outside ISP mode.
// - The flash (SimFlash.h) measures busy times on the chip's clock.
//
// Faults of a run (also reachable from chip.txt as "fault" lines; N counts driver calls
// from 1 at the start of the run):
//   fault unplug-after N       the chip is unplugged once it has answered N requests
//   fault stall-request N      request N fails as a stall (the device refuses it)
//   fault wedged-after N       from request N on, every request times out after 1000 ms
//                              of the chip's clock
//   fault never-ready          the flash relay never reports ready
//   fault stuck-busy           the flash stays busy after its first erase or program
//   fault always-busy          the flash is busy from the start and never finishes
//   fault corrupt-read ADDR    reads of the flash byte at ADDR (hex) return it inverted
//   fault refuse-page-data N   the first page-program data request at or after request N
//                              fails as a stall, leaving the page command open
//   fault ignore-writes        erase and program commands are taken and change nothing
//   fault short-read N         request N (device to host) returns one byte less than
//                              asked, and the driver still reports success
// Fault lines are consumed by the load: a save never writes them back.
//
// Test aids: fault injection, a request log (every decoded request with its outcome; IN
// data is what was returned), a trace sink for every driver call, a latency spent on the
// clock per call, and a state that is saved to and loaded from a directory:
// DIR/flash.bin (the whole flash, raw) and DIR/chip.txt (identity, normal IDs, flash
// identification and protect bits, ISP mode, EEPROM). A save is all or nothing: see
// SimState.cpp.
//
// Not thread-safe: like the tool, it is used from one thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "device/DevicePlatform.h"
#include "device/DriverBlocks.h"
#include "sim/SimFlash.h"
#include "sim/SimI2c.h"
#include "sim/SimMailbox.h"
#include "sim/SimSpiRelay.h"

enum class SimIdentity { Normal, Update7C3D, Update0B7E };

// One decoded request and its outcome.
struct SimRequest {
    ControlSetup setup;
    uint32_t length = 0;
    std::vector<uint8_t> data;  // OUT: the bytes sent; IN: the bytes returned (none on failure)
    bool ok = false;
    bool ksPath = false;        // came through the audio driver's encoding
    bool supportQuery = false;  // the audio driver's support query (no setup)
    uint64_t timeMicros = 0;    // the clock when the request arrived
};

class SimulatedChip : public DevicePlatform {
public:
    using TraceSink = std::function<void(uint32_t code, const uint8_t* in, size_t inSize,
                                         const uint8_t* out, size_t outSize, bool ok)>;
    using RequestFilter = std::function<bool(const SimRequest&)>;

    static constexpr uint16_t kEnterIspValue = 0x3F49;
    static constexpr uint16_t kEnterIspIndex = 0x7C1A;
    static constexpr uint16_t kLeaveIspValue = 0x1B8D;
    static constexpr uint16_t kLeaveIspIndex = 0x9A4E;

    explicit SimulatedChip(Clock& clock = CurrentClock());

    // Identity and presence.
    void SetIdentity(SimIdentity id);
    SimIdentity Identity() const { return identity_; }
    void SetNormalIds(uint16_t vid, uint16_t pid);
    uint16_t Vid() const;
    uint16_t Pid() const;
    // The interface class the identity is listed under.
    const Guid& InterfaceClass() const;
    std::string InterfacePath() const;
    // The bus port in the path, as the system would name it ("1-1", "1-2.3"), so chips of
    // a simulated bench have paths of their own. Not part of the saved state.
    void SetPort(std::string port) { port_ = std::move(port); }
    void Unplug();
    void Plug();
    bool Present() const { return present_; }

    // Registers as the host would read them (without counting a poll). SetRegister sets
    // stored values without side effects: register 0 selects the bank, bank 14's I2C
    // registers go to the master (SimI2c::Poke), bank 0's 0x90 holds what polls read.
    uint8_t Register(uint8_t bank, uint8_t reg) const;
    void SetRegister(uint8_t bank, uint8_t reg, uint8_t value);
    uint8_t SelectedBank() const { return bank_; }
    // What a register holds after power-on.
    static uint8_t PowerOnValue(uint8_t bank, uint8_t reg);
    bool InIspMode() const { return ispMode_; }

    // Functions.
    SimFlash& Flash() { return flash_; }
    const SimFlash& Flash() const { return flash_; }
    SimSpiRelay& Relay() { return relay_; }
    SimI2c& I2c() { return i2c_; }
    const SimI2c& I2c() const { return i2c_; }
    SimMailbox& Mailbox() { return mailbox_; }
    const SimMailbox& Mailbox() const { return mailbox_; }

    // Shortcuts to the functions' settings.
    SimI2cSlave& AddI2cSlave(uint8_t address8) { return i2c_.AddSlave(address8); }
    uint8_t I2cSlaveRegister(uint8_t address8, uint8_t reg) const;
    void SetI2cSlaveRegister(uint8_t address8, uint8_t reg, uint8_t value);
    void SetI2cDoneLatency(int polls) { i2c_.SetDoneLatency(polls); }
    SimEeprom& Eeprom() { return mailbox_.Eeprom(); }
    void SetMailboxLatency(int polls) { mailbox_.SetLatency(polls); }
    const std::vector<uint8_t>& HidKeys() const { return mailbox_.HidKeys(); }
    // Bank 0 registers 0xA4 (rate index), 0xA5 (format), 0xA6 (status bits).
    void SetAudioStatus(uint8_t rate, uint8_t format, uint8_t status);

    // Faults.
    // The next `count` requests that `filter` accepts (every one with -1) fail without
    // reaching the chip. The filter sees the request before it runs (OUT data filled).
    void FailRequestsMatching(RequestFilter filter, int count = -1);
    void ClearFaults() { faults_.clear(); }
    // After `requests` more driver calls the chip is unplugged.
    void UnplugAfter(size_t requests) { unplugAfter_ = requests; }
    // Driver call number `n` (counted from 1, see Calls) fails as a stall.
    void StallCall(size_t n) { stallCall_ = n; }
    // From driver call `n` on, every call times out after 1000 ms of the chip's clock.
    void WedgeFromCall(size_t n) { wedgedFrom_ = n; }
    // The first page-program data request at or after driver call `n` fails as a stall.
    void RefusePageDataFromCall(size_t n) { refusePageDataFrom_ = n; }
    // Driver call `n` returns one byte less than asked, reported as success.
    void ShortReadCall(size_t n) { shortReadCall_ = n; }
    // Driver calls so far.
    size_t Calls() const { return calls_; }
    // One fault line of chip.txt: the words after "fault". Parse is false when the line
    // names no known fault or its number is bad.
    struct FaultLine {
        std::string name;
        unsigned long long number = 0;
    };
    static bool ParseFaultLine(const std::string& words, FaultLine& fault);
    void ApplyFault(const FaultLine& fault);
    void SetReadyNeverSet(bool never) { relay_.SetReadyNeverSet(never); }
    void CorruptReadByteAt(uint32_t flashAddress, uint8_t xorMask) {
        flash_.CorruptReadByteAt(flashAddress, xorMask);
    }

    // Log.
    const std::vector<SimRequest>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // Off for long runs (benchmarks, the demo) where the log would only grow.
    void SetLogEnabled(bool enabled) { logEnabled_ = enabled; }
    size_t MalformedCalls() const { return malformed_; }
    void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }
    // Virtual microseconds spent on the clock by every driver call (default 0).
    void SetRequestLatencyMicros(uint64_t us) { latencyMicros_ = us; }

    // State.
    bool SaveState(const std::string& dir, std::string* error = nullptr) const;
    // Missing directory or files mean defaults; a directory with only flash.bin is
    // valid. On an error nothing changes.
    bool LoadState(const std::string& dir, std::string* error = nullptr);
    // Factory state of everything the saved state holds, and power-on of the rest.
    void ResetToDefaults();

    // DevicePlatform.
    bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    void Close(DeviceHandle handle) override;
    IoFailure LastIoFailure() const override { return lastFailure_; }
    size_t LastReturnedSize() const override { return lastReturned_; }
    // The chip as seen on the bus rather than through a driver: one control request,
    // `data` being the data stage (filled for a device-to-host request). No driver
    // encoding applies; faults, latency, the log and the returned size do. For a test bed
    // that puts the chip on an emulated USB bus.
    bool ServeBusRequest(const ControlSetup& setup, std::vector<uint8_t>& data);
    size_t OpenHandles() const { return handles_.size(); }

private:
    struct Fault {
        RequestFilter filter;
        int count;
    };

    void PowerOn();
    void DropHandles();
    bool TakeFault(const SimRequest& request);
    bool SpeaksEncodingOf(uint32_t code) const;
    void BeginCall(size_t outputSize);
    SimRequest Logged(const DriverRequest& decoded, bool ksPath) const;
    void LogRefused(const DriverRequest& decoded, bool ksPath);
    // Runs a decoded request that reached the chip; `output` receives a reply.
    bool Serve(const DriverRequest& decoded, bool ksPath, uint8_t* output);
    // The run's numbered faults for the current call; sets lastFailure_ when one fires.
    bool TakeCallFault(const SimRequest& request);
    bool Execute(const DriverRequest& request, std::vector<uint8_t>& reply);
    bool ExecuteVendor(const DriverRequest& request, std::vector<uint8_t>& reply);
    bool ExecuteRelay(const DriverRequest& request, std::vector<uint8_t>& reply);
    bool ReadVendorRegister(uint16_t reg, uint8_t& value);
    bool WriteVendorRegister(uint16_t reg, uint8_t value);
    std::vector<uint8_t> DeviceDescriptor(uint32_t length) const;

    Clock& clock_;
    SimIdentity identity_ = SimIdentity::Normal;
    std::string port_ = "1-1";
    uint16_t normalVid_ = 0x7c3d;
    uint16_t normalPid_ = 0x6012;
    bool present_ = true;
    std::set<DeviceHandle> handles_;
    DeviceHandle nextHandle_ = 1;

    std::vector<std::array<uint8_t, 256>> banks_;
    uint8_t bank_ = 0;
    bool ispMode_ = false;
    SimFlash flash_;
    SimSpiRelay relay_;
    SimI2c i2c_;
    SimMailbox mailbox_;

    std::vector<Fault> faults_;
    std::optional<size_t> unplugAfter_;
    std::optional<size_t> stallCall_;
    std::optional<size_t> wedgedFrom_;
    std::optional<size_t> refusePageDataFrom_;
    std::optional<size_t> shortReadCall_;
    size_t calls_ = 0;
    size_t lastReturned_ = 0;
    IoFailure lastFailure_ = IoFailure::Refused;
    std::vector<SimRequest> log_;
    bool logEnabled_ = true;
    size_t malformed_ = 0;
    TraceSink trace_;
    uint64_t latencyMicros_ = 0;
};
