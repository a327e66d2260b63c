#pragma once
// Emulated USB devices for libusb: a umockdev test bed with the sysfs entries and
// descriptors of each device, and an ioctl handler on its usbfs node that hands every
// control URB to the device's responder and completes it, the way a kernel host
// controller would. The program must run under umockdev-wrapper.
//
// umockdev runs the ioctl handler on a thread of its own while the calling thread waits
// inside libusb; the devices' state is guarded so that tests read it safely afterwards.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/DriverBlocks.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

struct UsbDeviceSpec {
    std::string sysfsName;  // "usb1" for a root hub, else "<bus>-<port path>", e.g. "1-2.3"
    uint8_t bus = 1;
    uint8_t address = 1;
    std::vector<uint8_t> descriptors;  // device descriptor, then the configuration
};

// One control request as it reached the device.
struct BusRequest {
    std::array<uint8_t, 8> setup{};  // bmRequestType, bRequest, wValue, wIndex, wLength
    std::vector<uint8_t> data;       // host-to-device data stage (empty for device to host)

    friend bool operator==(const BusRequest&, const BusRequest&) = default;
};

// The setup packet of a request, as the wire carries it.
std::array<uint8_t, 8> SetupPacket(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                   uint16_t wIndex, uint16_t wLength);

class EmulatedUsbDevice {
public:
    // Answers one control request. Device to host: fill `data` (sized wLength; shrinking
    // it makes a short read). Host to device: `data` holds the data stage. Returning false
    // stalls the request.
    using Responder = std::function<bool(const ControlSetup& setup, std::vector<uint8_t>& data)>;

    enum class Fault {
        None,
        Gone,   // the submit fails with ENODEV, as for a device unplugged
        Stall,  // the device stalls the request (EPIPE at completion)
    };

    // Picks the request a fault starts with, from its setup packet.
    using Trigger = std::function<bool(const std::array<uint8_t, 8>& setup)>;

    void SetResponder(Responder responder);
    // `count` control requests (-1: all) fail this way, starting with the first one that
    // `from` accepts (no trigger: the next one).
    void InjectFault(Fault fault, Trigger from = {}, int count = -1);

    std::vector<BusRequest> Requests() const;
    void ClearRequests();
    size_t InterfaceClaims() const;

    const UsbDeviceSpec& Description() const { return spec_; }
    std::string Node() const;     // "/dev/bus/usb/BBB/DDD"
    std::string SysPath() const;  // "/sys/devices/..."

private:
    friend class UsbTestBed;
    explicit EmulatedUsbDevice(UsbDeviceSpec usb, std::string sysPath);
    // On umockdev's thread.
    bool HandleIoctl(UMockdevIoctlClient* client);
    void SubmitUrb(UMockdevIoctlClient* client);
    void ReapUrb(UMockdevIoctlClient* client);
    // Whether the request with this setup is hit by the injected fault (mutex held).
    bool TakeFault(const std::array<uint8_t, 8>& setup);

    UsbDeviceSpec spec_;
    std::string sysPath_;
    mutable std::mutex mutex_;
    Responder responder_;
    Fault fault_ = Fault::None;
    Trigger faultFrom_;
    int faultCount_ = 0;
    std::vector<BusRequest> requests_;
    size_t claims_ = 0;
    std::deque<UMockdevIoctlData*> completed_;  // URBs waiting to be reaped
};

class UsbTestBed {
public:
    UsbTestBed();
    ~UsbTestBed();
    UsbTestBed(const UsbTestBed&) = delete;
    UsbTestBed& operator=(const UsbTestBed&) = delete;

    // Adds a device under the sysfs parent made from its name (a hub device of that name
    // must be added first for its ports to count).
    EmulatedUsbDevice& Add(UsbDeviceSpec usb);
    // Takes the device off the bus: its sysfs entry goes, and requests on a handle still
    // open fail as they do for an unplugged device.
    void Unplug(EmulatedUsbDevice& device);
    // Makes the device node refuse to be opened for writing (permissions 0444).
    void DenyAccess(const EmulatedUsbDevice& device);

    std::string RootDir() const;

private:
    static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    EmulatedUsbDevice* DeviceForNode(const std::string& node);

    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::mutex devicesMutex_;
    std::vector<std::unique_ptr<EmulatedUsbDevice>> devices_;
};

// Drops the calling thread's power to override file permissions for as long as it lives,
// so that a test running as root sees permission checks as a user does. Does nothing for
// an ordinary user. Active() is false when the capability could not be dropped.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride();
    ~WithoutPermissionOverride();
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;
    bool Active() const { return active_; }

private:
    bool active_ = false;
    bool changed_ = false;
    uint32_t savedEffective_[2] = {0, 0};
};
