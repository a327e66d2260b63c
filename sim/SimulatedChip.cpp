#include "sim/SimulatedChip.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace {
constexpr uint8_t kVendorOut = 0x43;

constexpr uint8_t kReqWriteRegister = 0x90;
constexpr uint8_t kReqReadRegister = 0x91;
constexpr uint8_t kReqEnterIsp = 0x84;
constexpr uint8_t kReqLeaveIsp = 0x85;
constexpr uint8_t kReqFlashWrite = 0x80;
constexpr uint8_t kReqFlashCommandRead = 0x81;
constexpr uint8_t kReqFlashFetch = 0x82;
constexpr uint8_t kReqFlashReady = 0x83;

constexpr uint8_t kMailboxBank = 0;
constexpr uint8_t kI2cBank = 14;
}  // namespace

SimulatedChip::SimulatedChip(Clock& clock)
    : clock_(clock), banks_(256), flash_(clock), relay_(flash_) {
    PowerOn();
}

uint8_t SimulatedChip::PowerOnValue(uint8_t bank, uint8_t reg) {
    // 48 kHz; connected, playing, PCM.
    return bank == 0 && (reg == 0xA4 || reg == 0xA6) ? 0x01 : 0x00;
}

void SimulatedChip::PowerOn() {
    for (int b = 0; b < 256; ++b)
        for (int r = 0; r < 256; ++r) banks_[b][r] = PowerOnValue(uint8_t(b), uint8_t(r));
    bank_ = 0;
    ispMode_ = false;
    relay_.PowerLoss();
    i2c_.Reset();
    mailbox_.Reset();
}

void SimulatedChip::ResetToDefaults() {
    identity_ = SimIdentity::Normal;
    normalVid_ = 0x7c3d;
    normalPid_ = 0x6012;
    flash_.Reset();
    mailbox_.Eeprom() = SimEeprom{};
    faults_.clear();
    unplugAfter_.reset();
    stallCall_.reset();
    wedgedFrom_.reset();
    refusePageDataFrom_.reset();
    shortReadCall_.reset();
    relay_.SetReadyNeverSet(false);
    calls_ = 0;
    DropHandles();
    PowerOn();
}

// --- identity and presence -------------------------------------------------------------

void SimulatedChip::SetIdentity(SimIdentity id) {
    if (id == identity_) return;
    identity_ = id;
    DropHandles();
}

void SimulatedChip::SetNormalIds(uint16_t vid, uint16_t pid) {
    if (vid == normalVid_ && pid == normalPid_) return;
    normalVid_ = vid;
    normalPid_ = pid;
    if (identity_ == SimIdentity::Normal) DropHandles();
}

uint16_t SimulatedChip::Vid() const {
    switch (identity_) {
        case SimIdentity::Normal: return normalVid_;
        case SimIdentity::Update7C3D: return 0x7c3d;
        case SimIdentity::Update0B7E: return 0x0b7e;
    }
    return 0;
}

uint16_t SimulatedChip::Pid() const {
    return identity_ == SimIdentity::Normal ? normalPid_ : 0x6000;
}

const Guid& SimulatedChip::InterfaceClass() const {
    return identity_ == SimIdentity::Normal ? kAudioDriverInterfaceClass
                                            : kUsbDeviceInterfaceClass;
}

std::string SimulatedChip::InterfacePath() const {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", Vid(), Pid());
    return std::string("\\\\?\\usb#") + ids + "#" + port_ + "#" + InterfaceClass().Text();
}

void SimulatedChip::DropHandles() {
    // The handles stay allocated to their owners but no longer reach the chip.
    handles_.clear();
}

void SimulatedChip::Unplug() {
    if (!present_) return;
    present_ = false;
    DropHandles();
    PowerOn();
}

void SimulatedChip::Plug() { present_ = true; }

// --- registers -------------------------------------------------------------------------

uint8_t SimulatedChip::Register(uint8_t bank, uint8_t reg) const {
    if (reg == 0) return bank_;
    if (bank == kI2cBank && SimI2c::Owns(reg)) return i2c_.Peek(reg);
    return banks_[bank][reg];
}

void SimulatedChip::SetRegister(uint8_t bank, uint8_t reg, uint8_t value) {
    if (reg == 0) {
        bank_ = value;
        return;
    }
    if (bank == kI2cBank && SimI2c::Owns(reg)) {
        i2c_.Poke(reg, value);
        return;
    }
    banks_[bank][reg] = value;
}

void SimulatedChip::SetAudioStatus(uint8_t rate, uint8_t format, uint8_t status) {
    banks_[0][0xA4] = rate;
    banks_[0][0xA5] = format;
    banks_[0][0xA6] = status;
}

uint8_t SimulatedChip::I2cSlaveRegister(uint8_t address8, uint8_t reg) const {
    const SimI2cSlave* slave = i2c_.Slave(address8);
    return slave != nullptr ? slave->registers[reg] : 0xFF;
}

void SimulatedChip::SetI2cSlaveRegister(uint8_t address8, uint8_t reg, uint8_t value) {
    i2c_.AddSlave(address8).registers[reg] = value;
}

bool SimulatedChip::ReadVendorRegister(uint16_t reg, uint8_t& value) {
    if (reg > 0xFF) return false;
    const auto r = static_cast<uint8_t>(reg);
    if (r == 0) {
        value = bank_;
    } else if (bank_ == kMailboxBank && r == SimMailbox::kRegCommand) {
        value = mailbox_.ReadCommand(banks_[kMailboxBank]);
    } else if (bank_ == kI2cBank && SimI2c::Owns(r)) {
        value = i2c_.Read(r);
    } else {
        value = banks_[bank_][r];
    }
    return true;
}

bool SimulatedChip::WriteVendorRegister(uint16_t reg, uint8_t value) {
    if (reg > 0xFF) return false;
    const auto r = static_cast<uint8_t>(reg);
    if (r == 0) {
        bank_ = value;
    } else if (bank_ == kMailboxBank && r == SimMailbox::kRegCommand) {
        mailbox_.WriteCommand(value, banks_[kMailboxBank]);
    } else if (bank_ == kI2cBank && SimI2c::Owns(r)) {
        i2c_.Write(r, value);
    } else {
        banks_[bank_][r] = value;
    }
    return true;
}

// --- faults ----------------------------------------------------------------------------

void SimulatedChip::FailRequestsMatching(RequestFilter filter, int count) {
    if (count == 0 || !filter) return;
    faults_.push_back({std::move(filter), count});
}

bool SimulatedChip::SpeaksEncodingOf(uint32_t code) const {
    // A handle speaks the encoding of the driver that serves the class its path is
    // listed under: the audio driver's property requests on the normal device, the
    // generic driver's request blocks on the firmware-update devices.
    const bool ks = code == kIoctlKsProperty;
    return ks == (identity_ == SimIdentity::Normal);
}

bool SimulatedChip::TakeCallFault(const SimRequest& request) {
    if (wedgedFrom_ && calls_ >= *wedgedFrom_) {
        clock_.Sleep(1000);  // what the driver waits before it gives up
        lastFailure_ = IoFailure::TimedOut;
        return true;
    }
    if (stallCall_ && calls_ == *stallCall_) {
        lastFailure_ = IoFailure::Refused;
        return true;
    }
    // A data request that continues an open flash command is a page program's data.
    const bool pageData = request.setup.bmRequestType == kVendorOut &&
                          request.setup.bRequest == kReqFlashWrite && request.setup.wIndex == 1 &&
                          flash_.Selected();
    if (refusePageDataFrom_ && calls_ >= *refusePageDataFrom_ && pageData) {
        refusePageDataFrom_.reset();
        lastFailure_ = IoFailure::Refused;
        return true;
    }
    return false;
}

bool SimulatedChip::ParseFaultLine(const std::string& words, FaultLine& fault) {
    std::istringstream in(words);
    std::string number, extra;
    fault = {};
    in >> fault.name >> number;
    if (in >> extra) return false;
    const std::string& name = fault.name;
    const bool counted = name == "unplug-after" || name == "stall-request" ||
                         name == "wedged-after" || name == "refuse-page-data" ||
                         name == "short-read";
    const bool addressed = name == "corrupt-read";
    const bool plain = name == "never-ready" || name == "stuck-busy" || name == "ignore-writes" ||
                       name == "always-busy";
    if (plain) return number.empty();
    if (!counted && !addressed) return false;
    if (number.empty() || !std::isxdigit(static_cast<unsigned char>(number[0]))) return false;
    size_t used = 0;
    try {
        fault.number = std::stoull(number, &used, addressed ? 16 : 10);
    } catch (const std::exception&) {
        return false;
    }
    if (used != number.size()) return false;
    // Requests count from 1; unplugging after 0 answers is a chip that never answers.
    return addressed || name == "unplug-after" || fault.number > 0;
}

void SimulatedChip::ApplyFault(const FaultLine& fault) {
    const auto n = static_cast<size_t>(fault.number);
    if (fault.name == "unplug-after") UnplugAfter(n);
    else if (fault.name == "stall-request") StallCall(n);
    else if (fault.name == "wedged-after") WedgeFromCall(n);
    else if (fault.name == "refuse-page-data") RefusePageDataFromCall(n);
    else if (fault.name == "short-read") ShortReadCall(n);
    else if (fault.name == "corrupt-read") CorruptReadByteAt(static_cast<uint32_t>(n), 0xFF);
    else if (fault.name == "never-ready") SetReadyNeverSet(true);
    else if (fault.name == "stuck-busy") flash_.SetStuckAfterFirstWrite(true);
    else if (fault.name == "always-busy") flash_.SetStuckBusy(true);
    else if (fault.name == "ignore-writes") flash_.SetIgnoreWrites(true);
}

bool SimulatedChip::TakeFault(const SimRequest& request) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (!it->filter(request)) continue;
        if (it->count > 0 && --it->count == 0) faults_.erase(it);
        return true;
    }
    return false;
}

// --- requests --------------------------------------------------------------------------

std::vector<uint8_t> SimulatedChip::DeviceDescriptor(uint32_t length) const {
    const uint16_t vid = Vid();
    const uint16_t pid = Pid();
    const std::vector<uint8_t> full = {
        18, 1,                // bLength, bDescriptorType: device
        0x00, 0x02,           // bcdUSB 2.00
        0x00, 0x00, 0x00,     // class, subclass, protocol: per interface
        64,                   // bMaxPacketSize0
        static_cast<uint8_t>(vid), static_cast<uint8_t>(vid >> 8),
        static_cast<uint8_t>(pid), static_cast<uint8_t>(pid >> 8),
        0x00, 0x01,           // bcdDevice 1.00
        1, 2, 3,              // manufacturer, product, serial number strings
        1};                   // bNumConfigurations
    std::vector<uint8_t> reply(length, 0);
    std::copy_n(full.begin(), std::min<size_t>(length, full.size()), reply.begin());
    return reply;
}

bool SimulatedChip::Execute(const DriverRequest& request, std::vector<uint8_t>& reply) {
    if (request.kind == DriverRequest::Kind::SupportQuery) return true;
    const ControlSetup& s = request.setup;
    if (s.bmRequestType == 0x80 && s.bRequest == 6 && s.wValue == 0x0100) {
        reply = DeviceDescriptor(request.length);
        return true;
    }
    if ((s.bmRequestType & 0x7F) != kVendorOut) return false;
    return ExecuteVendor(request, reply);
}

bool SimulatedChip::ExecuteVendor(const DriverRequest& request, std::vector<uint8_t>& reply) {
    const ControlSetup& s = request.setup;
    const bool in = s.DeviceToHost();
    switch (s.bRequest) {
        case kReqWriteRegister:
            if (in || request.length != 1 || s.wValue != 0) return false;
            return WriteVendorRegister(s.wIndex, request.data[0]);
        case kReqReadRegister: {
            if (!in || request.length != 1 || s.wValue != 0) return false;
            uint8_t value = 0;
            if (!ReadVendorRegister(s.wIndex, value)) return false;
            reply.assign(1, value);
            return true;
        }
        case kReqEnterIsp:
        case kReqLeaveIsp: {
            const bool enter = s.bRequest == kReqEnterIsp;
            const uint16_t value = enter ? kEnterIspValue : kLeaveIspValue;
            const uint16_t index = enter ? kEnterIspIndex : kLeaveIspIndex;
            if (in || request.length != 0 || s.wValue != value || s.wIndex != index) return false;
            relay_.Reset();
            ispMode_ = enter;
            return true;
        }
        case kReqFlashWrite:
        case kReqFlashCommandRead:
        case kReqFlashFetch:
        case kReqFlashReady:
            return ispMode_ && ExecuteRelay(request, reply);
        default:
            return false;
    }
}

bool SimulatedChip::ExecuteRelay(const DriverRequest& request, std::vector<uint8_t>& reply) {
    const ControlSetup& s = request.setup;
    const bool in = s.DeviceToHost();
    // Setup fields the firmware checks: 0x80 carries wValue 0, 0x82 and 0x83 carry
    // wValue 0 and wIndex 0; anything else stalls.
    switch (s.bRequest) {
        case kReqFlashWrite:
            return !in && s.wValue == 0 && relay_.Write(s.wIndex, request.data);
        case kReqFlashCommandRead:
            return !in && relay_.CommandAndRead(s.wValue, s.wIndex, request.data);
        case kReqFlashFetch:
            return in && s.wValue == 0 && s.wIndex == 0 && relay_.Fetch(request.length, reply);
        case kReqFlashReady:
            if (!in || request.length != 1 || s.wValue != 0 || s.wIndex != 0) return false;
            reply.assign(1, relay_.Ready());
            return true;
        default:
            return false;
    }
}

// --- DevicePlatform --------------------------------------------------------------------

bool SimulatedChip::ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) {
    paths.clear();
    if (present_ && interfaceClass == InterfaceClass()) paths.push_back(InterfacePath());
    return true;
}

DeviceHandle SimulatedChip::Open(const std::string& path) {
    if (!present_ || path != InterfacePath()) return kNoDeviceHandle;
    const DeviceHandle handle = nextHandle_++;
    handles_.insert(handle);
    return handle;
}

void SimulatedChip::Close(DeviceHandle handle) { handles_.erase(handle); }

bool SimulatedChip::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                              size_t inputSize, uint8_t* output, size_t outputSize) {
    BeginCall(outputSize);
    bool ok = false;
    const auto decoded = DecodeDriverRequest(code, input, inputSize, output, outputSize);
    if (!decoded) {
        ++malformed_;
    } else if (!present_ || handles_.count(handle) == 0) {
        lastFailure_ = IoFailure::Gone;
        LogRefused(*decoded, code == kIoctlKsProperty);
    } else if (!SpeaksEncodingOf(code)) {
        // The other driver's block: not understood.
        LogRefused(*decoded, code == kIoctlKsProperty);
    } else {
        ok = Serve(*decoded, code == kIoctlKsProperty, output);
    }
    if (trace_) trace_(code, input, inputSize, output, outputSize, ok);
    return ok;
}

bool SimulatedChip::ServeBusRequest(const ControlSetup& setup, std::vector<uint8_t>& data) {
    BeginCall(data.size());
    DriverRequest request;
    request.setup = setup;
    request.length = static_cast<uint32_t>(data.size());
    if (!setup.DeviceToHost()) request.data = data;
    if (!present_) {
        lastFailure_ = IoFailure::Gone;
        LogRefused(request, false);
        return false;
    }
    return Serve(request, false, data.empty() ? nullptr : data.data());
}

void SimulatedChip::BeginCall(size_t outputSize) {
    clock_.Spend(latencyMicros_);
    ++calls_;
    lastFailure_ = IoFailure::Refused;
    lastReturned_ = outputSize;
    if (unplugAfter_) {
        if (*unplugAfter_ == 0) {
            unplugAfter_.reset();
            Unplug();
        } else {
            --*unplugAfter_;
        }
    }
}

SimRequest SimulatedChip::Logged(const DriverRequest& decoded, bool ksPath) const {
    SimRequest request;
    request.setup = decoded.setup;
    request.length = decoded.length;
    request.data = decoded.data;
    request.ksPath = ksPath;
    request.supportQuery = decoded.kind == DriverRequest::Kind::SupportQuery;
    request.timeMicros = clock_.NowMicros();
    return request;
}

void SimulatedChip::LogRefused(const DriverRequest& decoded, bool ksPath) {
    SimRequest request = Logged(decoded, ksPath);
    if (decoded.kind == DriverRequest::Kind::Control && decoded.setup.DeviceToHost())
        request.data.clear();
    if (logEnabled_) log_.push_back(std::move(request));
}

bool SimulatedChip::Serve(const DriverRequest& decoded, bool ksPath, uint8_t* output) {
    SimRequest request = Logged(decoded, ksPath);
    std::vector<uint8_t> reply;
    bool ok = false;
    if (!TakeCallFault(request) && !TakeFault(request)) ok = Execute(decoded, reply);
    const bool deviceToHost =
        decoded.kind == DriverRequest::Kind::Control && decoded.setup.DeviceToHost();
    if (deviceToHost) {
        if (ok) {
            reply.resize(std::min<size_t>(reply.size(), decoded.length));
            if (shortReadCall_ && calls_ == *shortReadCall_ && !reply.empty()) reply.pop_back();
            std::copy(reply.begin(), reply.end(), output);
            lastReturned_ = reply.size();
        }
        request.data = ok ? reply : std::vector<uint8_t>{};
    }
    request.ok = ok;
    if (logEnabled_) log_.push_back(std::move(request));
    return ok;
}
