#pragma once
// The two driver encodings of a USB control request, and the decoder that turns a driver
// call back into the request it carries.
//
// Generic driver: a 24-byte request block as input, the data stage as the call's buffer,
// and one of two I/O control codes chosen by the direction bit.
// Audio driver: one kernel-streaming property request (get = device to host, set = host
// to device) whose block carries the request fields and a copy of the data.
//
// Every stand-in for the drivers (the simulated chip, the libusb backend) decodes with
// DecodeDriverRequest, so the byte layouts are exercised on every path.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

inline constexpr uint32_t kIoctlGenericRead = 0x22242E;   // device to host
inline constexpr uint32_t kIoctlGenericWrite = 0x222429;  // host to device
inline constexpr uint32_t kIoctlKsProperty = 0x2F0003;

inline constexpr size_t kGenericRequestBlockSize = 24;
inline constexpr size_t kKsDataOffset = 40;
inline constexpr uint32_t kKsVendorRequestProperty = 7;
inline constexpr uint32_t kKsPropertyGet = 1;
inline constexpr uint32_t kKsPropertySet = 2;
inline constexpr uint32_t kKsPropertyBasicSupport = 0x100;
inline constexpr size_t kKsSupportQuerySize = 24;

// Setup fields of one control request.
struct ControlSetup {
    uint8_t bmRequestType = 0;
    uint8_t bRequest = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;

    bool DeviceToHost() const { return (bmRequestType & 0x80) != 0; }
};

// The generic driver's I/O control code for a request type: bit 7 picks the direction.
uint32_t GenericIoctlCode(uint8_t bmRequestType);

// The 24-byte generic block; wLength is 0 for every ControlTransfer, 18 for the probe.
std::vector<uint8_t> MakeGenericRequestBlock(const ControlSetup& setup, uint16_t wLength = 0);

// Size of the kernel-streaming block for a data stage of `length` bytes.
size_t KsRequestBlockSize(uint32_t length);

// The zero-filled kernel-streaming block with `length` bytes of `data` copied to offset 40.
std::vector<uint8_t> MakeKsRequestBlock(const ControlSetup& setup, const uint8_t* data,
                                        uint32_t length);

// The 24-byte set-support query that probes the audio driver.
std::vector<uint8_t> MakeKsSupportQuery();

// The generic probe: a get-descriptor request for the 18-byte device descriptor.
inline constexpr ControlSetup kDescriptorProbeSetup{0x80, 6, 0x0100, 1};
inline constexpr uint16_t kDeviceDescriptorSize = 18;

// What a driver call carries, once decoded.
struct DriverRequest {
    enum class Kind {
        Control,       // a control request with a data stage of `length` bytes
        SupportQuery,  // the audio driver's property-support query (no data)
    };
    Kind kind = Kind::Control;
    ControlSetup setup;
    // wLength of the setup stage: the size of the data stage.
    uint32_t length = 0;
    // Host-to-device requests: the bytes to send (`length` of them).
    std::vector<uint8_t> data;
};

// Decodes one driver call. `output` is the caller's buffer (its bytes are the data stage of
// a host-to-device generic request). Returns nothing for a malformed call: an unknown
// code, a block of the wrong size, a length field that disagrees with the buffer, a code
// that disagrees with the direction bit, or a property request that is not ours.
std::optional<DriverRequest> DecodeDriverRequest(uint32_t code, const uint8_t* input,
                                                 size_t inputSize, const uint8_t* output,
                                                 size_t outputSize);
