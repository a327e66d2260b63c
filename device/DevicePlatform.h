#pragma once
// The seam between the device link and the operating system's USB stack.
//
// QuorvelUsb builds the driver blocks byte for byte and hands them to one of these
// backends: the Windows one (SetupAPI + DeviceIoControl), the libusb one on Linux, the
// simulated chip, or a test's recording fake. Each hook's contract is written next to it;
// no hook shows anything to the user or throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/Guid.h"

// An open device, as the backend knows it. kNoDeviceHandle means "none".
using DeviceHandle = std::uintptr_t;
inline constexpr DeviceHandle kNoDeviceHandle = 0;

// Why the last IoControl call failed.
enum class IoFailure {
    Refused,   // the device answered and refused the request (a stall), or the block was bad
    TimedOut,  // the device did not answer within the backend's time-out
    Gone,      // the device is no longer there (unplugged, re-enumerated, handle dropped)
};

class DevicePlatform {
public:
    virtual ~DevicePlatform() = default;

    // Fills `paths` with the device paths of the present interfaces of `interfaceClass`,
    // in the system's order. Returns false when no list could be obtained (then `paths`
    // is left empty). Called afresh for every search, so plugging is seen at once.
    virtual bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) = 0;

    // Opens a device path for reading and writing. Returns kNoDeviceHandle on failure.
    virtual DeviceHandle Open(const std::string& path) = 0;

    // One synchronous device I/O control call. `input` holds `inputSize` bytes; `output`
    // is the caller's data buffer of `outputSize` bytes (read by the driver for
    // host-to-device requests, written for device-to-host ones; may be null when the size
    // is 0). Returns true when the driver completed the call. Must not block for ever:
    // backends bound every call with a time-out (the libusb one with its own; the Windows
    // one, whose calls are synchronous, with the drivers').
    virtual bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                           size_t inputSize, uint8_t* output, size_t outputSize) = 0;

    // Why the last IoControl that returned false failed. Backends that cannot tell report
    // a refusal, which never marks a link as lost.
    virtual IoFailure LastIoFailure() const { return IoFailure::Refused; }

    // How many bytes the last successful IoControl wrote into `output` (for a
    // device-to-host request). Backends that cannot tell report the whole buffer.
    virtual size_t LastReturnedSize() const { return SIZE_MAX; }

    // Releases a handle returned by Open.
    virtual void Close(DeviceHandle handle) = 0;

    // Whether the last failed Open found the device but was denied access to it (so the
    // user can be told to fix the permissions rather than to check the cable).
    virtual bool LastOpenDenied() const { return false; }
};

// A platform with no devices at all: every list is empty and nothing opens.
class NullDevicePlatform final : public DevicePlatform {
public:
    bool ListInterfaces(const Guid&, std::vector<std::string>& paths) override {
        paths.clear();
        return true;
    }
    DeviceHandle Open(const std::string&) override { return kNoDeviceHandle; }
    bool IoControl(DeviceHandle, uint32_t, const uint8_t*, size_t, uint8_t*, size_t) override {
        return false;
    }
    void Close(DeviceHandle) override {}
};
