#include "UsbTestBed.h"

// The usbdevfs ioctl numbers only compile as case labels with the ioctl macros in scope.
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <umockdev.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        s += two;
    }
    return s;
}

// sysfs path of a device: root hubs sit under /devices, every other device under the hub
// whose name is its own minus the last port ("1-2.3" under "1-2", "1-2" under "usb1").
std::string SysPathFor(const std::string& name, uint8_t bus) {
    if (name.rfind("usb", 0) == 0) return "/sys/devices/" + name;
    const size_t dot = name.rfind('.');
    const std::string parent = dot == std::string::npos ? "usb" + std::to_string(bus)
                                                        : name.substr(0, dot);
    return SysPathFor(parent, bus) + "/" + name;
}

std::string Record(const UsbDeviceSpec& usb, const std::string& sysPath,
                   const std::string& node) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers,
                  "E: BUSNUM=%03u\nE: DEVNUM=%03u\nA: busnum=%u\\n\nA: devnum=%u\\n\n",
                  usb.bus, usb.address, usb.bus, usb.address);
    return "P: " + sysPath.substr(4) + "\n" +  // without the leading "/sys"
           "N: " + node.substr(5) + "\n" +     // without the leading "/dev/"
           "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" + "E: DEVNAME=" + node + "\n" + numbers +
           "A: speed=480\\n\nA: bConfigurationValue=1\\n\n" +
           "H: descriptors=" + Hex(usb.descriptors) + "\n";
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::array<uint8_t, 8> SetupPacket(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                   uint16_t wIndex, uint16_t wLength) {
    return {bmRequestType,
            bRequest,
            static_cast<uint8_t>(wValue),
            static_cast<uint8_t>(wValue >> 8),
            static_cast<uint8_t>(wIndex),
            static_cast<uint8_t>(wIndex >> 8),
            static_cast<uint8_t>(wLength),
            static_cast<uint8_t>(wLength >> 8)};
}

// --- EmulatedUsbDevice -------------------------------------------------------------------

EmulatedUsbDevice::EmulatedUsbDevice(UsbDeviceSpec usb, std::string sysPath)
    : spec_(std::move(usb)), sysPath_(std::move(sysPath)) {}

std::string EmulatedUsbDevice::Node() const {
    char node[32];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", spec_.bus, spec_.address);
    return node;
}

std::string EmulatedUsbDevice::SysPath() const { return sysPath_; }

void EmulatedUsbDevice::SetResponder(Responder responder) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(responder);
}

void EmulatedUsbDevice::InjectFault(Fault fault, Trigger from, int count) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    faultFrom_ = std::move(from);
    faultCount_ = count;
}

bool EmulatedUsbDevice::TakeFault(const std::array<uint8_t, 8>& setup) {
    if (fault_ == Fault::None || faultCount_ == 0) return false;
    if (faultFrom_) {
        if (!faultFrom_(setup)) return false;
        faultFrom_ = {};  // started: it goes on from here
    }
    if (faultCount_ > 0) --faultCount_;
    return true;
}

std::vector<BusRequest> EmulatedUsbDevice::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void EmulatedUsbDevice::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

size_t EmulatedUsbDevice::InterfaceClaims() const {
    std::lock_guard lock(mutex_);
    return claims_;
}

bool EmulatedUsbDevice::HandleIoctl(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    switch (umockdev_ioctl_client_get_request(client)) {
        case USBDEVFS_GET_CAPABILITIES: {
            UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
            uint32_t value = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            std::memcpy(caps->data, &value, sizeof value);
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_CLAIMINTERFACE: {
            std::lock_guard lock(mutex_);
            ++claims_;
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        }
        case USBDEVFS_RELEASEINTERFACE:
            umockdev_ioctl_client_complete(client, 0, 0);
            return true;
        case USBDEVFS_SUBMITURB:
            SubmitUrb(client);
            return true;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            ReapUrb(client);
            return true;
        default:
            return false;  // umockdev answers it (ENOTTY)
    }
}

void EmulatedUsbDevice::SubmitUrb(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    UMockdevIoctlData* urbData =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
    if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < 8) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
        urbData, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
    uint8_t* bytes = buffer->data;

    BusRequest seen;
    std::memcpy(seen.setup.data(), bytes, 8);

    std::lock_guard lock(mutex_);
    const bool faulty = TakeFault(seen.setup);
    if (faulty && fault_ == Fault::Gone) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);  // never reaches the device
        return;
    }
    const ControlSetup setup{bytes[0], bytes[1], Get16(bytes + 2), Get16(bytes + 4)};
    const size_t wLength = Get16(bytes + 6);
    const size_t room = std::min<size_t>(wLength, static_cast<size_t>(urb->buffer_length) - 8);
    std::vector<uint8_t> data;
    if (setup.DeviceToHost()) {
        data.assign(room, 0);
    } else {
        data.assign(bytes + 8, bytes + 8 + room);
        seen.data = data;
    }
    requests_.push_back(seen);

    bool ok = !faulty && responder_ && responder_(setup, data);
    if (ok && setup.DeviceToHost()) {
        const size_t n = std::min(data.size(), room);
        std::memcpy(bytes + 8, data.data(), n);
        urb->actual_length = static_cast<int>(n);
    } else {
        urb->actual_length = ok ? static_cast<int>(room) : 0;
    }
    urb->status = ok ? 0 : -EPIPE;
    completed_.push_back(umockdev_ioctl_data_ref(urbData));
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedUsbDevice::ReapUrb(UMockdevIoctlClient* client) {
    UMockdevIoctlData* urbData = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (!completed_.empty()) {
            urbData = completed_.front();
            completed_.pop_front();
        }
    }
    if (urbData == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(
        umockdev_ioctl_client_get_arg(client), 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, urbData);
    umockdev_ioctl_data_unref(urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
}

// --- UsbTestBed --------------------------------------------------------------------------

UsbTestBed::UsbTestBed() : testbed_(umockdev_testbed_new()), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbTestBed::OnIoctl), this);
}

UsbTestBed::~UsbTestBed() {
    for (auto& d : devices_)
        for (UMockdevIoctlData* urb : d->completed_) umockdev_ioctl_data_unref(urb);
    g_object_unref(testbed_);
    g_object_unref(handler_);
}

std::string UsbTestBed::RootDir() const {
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);  // ours to free
    std::string root = dir;
    g_free(dir);
    return root;
}

EmulatedUsbDevice& UsbTestBed::Add(UsbDeviceSpec usb) {
    const std::string sysPath = SysPathFor(usb.sysfsName, usb.bus);
    std::unique_ptr<EmulatedUsbDevice> device(new EmulatedUsbDevice(std::move(usb), sysPath));
    EmulatedUsbDevice& d = *device;
    {
        std::lock_guard lock(devicesMutex_);
        devices_.push_back(std::move(device));
    }
    // The handler goes on first, so that the node answers as soon as the device appears.
    if (!umockdev_testbed_attach_ioctl(testbed_, d.Node().c_str(), handler_, nullptr))
        throw std::runtime_error("cannot attach the ioctl handler to " + d.Node());
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, Record(d.Description(), sysPath, d.Node()).c_str(),
                                          &error)) {
        const std::string message = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("cannot add " + sysPath + ": " + message);
    }
    return d;
}

void UsbTestBed::Unplug(EmulatedUsbDevice& device) {
    device.InjectFault(EmulatedUsbDevice::Fault::Gone);
    umockdev_testbed_remove_device(testbed_, device.SysPath().c_str());
}

void UsbTestBed::DenyAccess(const EmulatedUsbDevice& device) {
    const std::string node = RootDir() + device.Node();
    if (chmod(node.c_str(), 0444) != 0) throw std::runtime_error("cannot chmod " + node);
}

EmulatedUsbDevice* UsbTestBed::DeviceForNode(const std::string& node) {
    std::lock_guard lock(devicesMutex_);
    for (auto& d : devices_)
        if (d->Node() == node) return d.get();
    return nullptr;
}

int UsbTestBed::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    EmulatedUsbDevice* device =
        static_cast<UsbTestBed*>(self)->DeviceForNode(umockdev_ioctl_client_get_devnode(client));
    return device != nullptr && device->HandleIoctl(client);
}

// --- WithoutPermissionOverride -----------------------------------------------------------

namespace {
constexpr uint32_t kOverrideCaps = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
}

WithoutPermissionOverride::WithoutPermissionOverride() {
    if (geteuid() != 0) {
        active_ = true;
        return;
    }
    // Capabilities belong to the thread; libusb opens the node on the calling thread.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (syscall(SYS_capget, &header, caps) != 0) return;
    savedEffective_[0] = caps[0].effective;
    savedEffective_[1] = caps[1].effective;
    caps[0].effective &= ~kOverrideCaps;
    if (syscall(SYS_capset, &header, caps) != 0) return;
    active_ = changed_ = true;
}

WithoutPermissionOverride::~WithoutPermissionOverride() {
    if (!changed_) return;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    if (syscall(SYS_capget, &header, caps) != 0) return;
    caps[0].effective = savedEffective_[0];
    caps[1].effective = savedEffective_[1];
    syscall(SYS_capset, &header, caps);
}
