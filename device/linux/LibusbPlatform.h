#pragma once
// Real USB devices on Linux through libusb-1.0, standing in for both of the tool's drivers.
//
// - ListInterfaces: the audio driver's class lists the devices with an audio-class
//   interface in their configuration; the standard USB device class lists every device.
//   Each call enumerates the bus afresh, so plugging and unplugging are seen at once
//   without relying on a hot-plug daemon.
// - Open: finds the device of a path again by its bus location (and checks its IDs) and
//   opens it; no interface is claimed, since the chip's vendor requests go to endpoint 0
//   with the "other" recipient, which the kernel allows while another driver (the audio
//   driver) holds the interfaces.
// - IoControl: decodes the driver block back into a control request and sends it as one
//   control transfer with a time-out of 1000 ms, so a wedged or unplugged device cannot
//   hang the caller.
//
// Nothing here prints or shows anything; the last open error tells the caller why a
// device that is present could not be opened (typically missing access rights).

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/DevicePlatform.h"

struct libusb_context;
struct libusb_device_handle;

class LibusbPlatform final : public DevicePlatform {
public:
    // libusb error codes that callers tell apart (same values as LIBUSB_ERROR_*).
    static constexpr int kSuccess = 0;
    static constexpr int kErrorAccess = -3;     // the device node may not be opened
    static constexpr int kErrorNoDevice = -4;   // gone between listing and opening
    static constexpr int kErrorNotFound = -5;   // no such device / not one of our paths

    // Time-out of every control transfer.
    static constexpr unsigned kTransferTimeoutMs = 1000;

    LibusbPlatform() = default;
    LibusbPlatform(const LibusbPlatform&) = delete;
    LibusbPlatform& operator=(const LibusbPlatform&) = delete;
    ~LibusbPlatform() override;

    bool ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) override;
    DeviceHandle Open(const std::string& path) override;
    bool IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input, size_t inputSize,
                   uint8_t* output, size_t outputSize) override;
    void Close(DeviceHandle handle) override;

    // The libusb error code of the last Open: kSuccess after a successful one,
    // kErrorAccess when a matching device is present but its node may not be opened,
    // kErrorNotFound when the path names no present device, another negative libusb code
    // otherwise.
    int LastOpenError() const { return lastOpenError_; }
    bool LastOpenDenied() const override { return lastOpenError_ == kErrorAccess; }
    // A time-out is a time-out, a vanished device is gone; anything else (a stall, an
    // I/O error, a malformed block) counts as a refusal.
    IoFailure LastIoFailure() const override { return lastIoFailure_; }
    size_t LastReturnedSize() const override { return lastReturned_; }
    // libusb's name for an error code, e.g. "LIBUSB_ERROR_ACCESS".
    static std::string ErrorName(int error);

private:
    struct OpenDevice {
        libusb_context* context;  // each open device keeps the context it was found in
        libusb_device_handle* handle;
    };

    bool ControlRequest(const OpenDevice& device, uint8_t bmRequestType, uint8_t bRequest,
                        uint16_t wValue, uint16_t wIndex, uint8_t* data, uint16_t length);

    std::map<DeviceHandle, OpenDevice> open_;
    DeviceHandle nextHandle_ = 1;
    int lastOpenError_ = kSuccess;
    IoFailure lastIoFailure_ = IoFailure::Refused;
    size_t lastReturned_ = 0;
};
