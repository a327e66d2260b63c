#include "chip/Registers.h"

#include "device/QuorvelUsb.h"

namespace {
constexpr uint8_t kVendorIn = 0xC3;   // device to host, vendor, other
constexpr uint8_t kVendorOut = 0x43;  // host to device, vendor, other
constexpr uint8_t kReqWriteRegister = 0x90;
constexpr uint8_t kReqReadRegister = 0x91;
}  // namespace

bool ReadRegister(int reg, uint8_t* out) {
    // Read into a byte of our own so a failed request never touches the caller's value.
    // It starts as the caller's byte, which is what the request carries out.
    uint8_t value = out != nullptr ? *out : 0;
    if (!gDevice.ControlTransfer(kVendorIn, kReqReadRegister, 0, static_cast<uint16_t>(reg),
                                 &value, 1)) {
        return false;
    }
    if (out != nullptr) *out = value;
    return true;
}

bool WriteRegister(int reg, uint8_t value) {
    return gDevice.ControlTransfer(kVendorOut, kReqWriteRegister, 0, static_cast<uint16_t>(reg),
                                   &value, 1);
}

bool SelectBank(uint8_t bank) { return WriteRegister(0, bank); }
