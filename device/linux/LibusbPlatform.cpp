#include "device/linux/LibusbPlatform.h"

#include <libusb.h>

#include <optional>

#include "device/DriverBlocks.h"
#include "device/linux/UsbDevicePath.h"

static_assert(LibusbPlatform::kSuccess == LIBUSB_SUCCESS);
static_assert(LibusbPlatform::kErrorAccess == LIBUSB_ERROR_ACCESS);
static_assert(LibusbPlatform::kErrorNoDevice == LIBUSB_ERROR_NO_DEVICE);
static_assert(LibusbPlatform::kErrorNotFound == LIBUSB_ERROR_NOT_FOUND);

namespace {

// A libusb context with its device list, for one enumeration. A new context scans the
// bus itself, so the list is current even where no hot-plug events arrive.
class DeviceList {
public:
    DeviceList() {
        // A context fails to start when its hot-plug monitor cannot be set up at that
        // moment, as seen when several processes of the tool start together (a bench run);
        // a missed list would make a present device look absent, so try a few times.
        constexpr int kAttempts = 3;
        int rc = LIBUSB_ERROR_OTHER;
        for (int i = 0; i < kAttempts && rc != LIBUSB_SUCCESS; ++i) rc = libusb_init(&context_);
        if (rc != LIBUSB_SUCCESS) {
            context_ = nullptr;
            return;
        }
        const ssize_t n = libusb_get_device_list(context_, &devices_);
        if (n < 0) {
            devices_ = nullptr;
            return;
        }
        count_ = static_cast<size_t>(n);
    }
    ~DeviceList() {
        if (devices_ != nullptr) libusb_free_device_list(devices_, 1);
        if (context_ != nullptr) libusb_exit(context_);
    }
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;

    bool Ok() const { return devices_ != nullptr; }
    size_t Size() const { return count_; }
    libusb_device* operator[](size_t i) const { return devices_[i]; }
    // Hands the context over to the caller (it then outlives this list).
    libusb_context* ReleaseContext() {
        libusb_context* c = context_;
        context_ = nullptr;
        return c;
    }

private:
    libusb_context* context_ = nullptr;
    libusb_device** devices_ = nullptr;
    size_t count_ = 0;
};

UsbLocation LocationOf(libusb_device* device) {
    UsbLocation loc;
    loc.bus = libusb_get_bus_number(device);
    uint8_t ports[kMaxUsbPortDepth];
    const int n = libusb_get_port_numbers(device, ports, sizeof ports);
    if (n > 0) loc.ports.assign(ports, ports + n);
    return loc;
}

// Whether the device's active configuration (its first one while unconfigured) has an
// interface of the audio class.
bool HasAudioInterface(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
        libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS)
        return false;
    bool audio = false;
    for (int i = 0; i < config->bNumInterfaces && !audio; ++i) {
        const libusb_interface& itf = config->interface[i];
        for (int a = 0; a < itf.num_altsetting && !audio; ++a)
            audio = itf.altsetting[a].bInterfaceClass == LIBUSB_CLASS_AUDIO;
    }
    libusb_free_config_descriptor(config);
    return audio;
}

}  // namespace

LibusbPlatform::~LibusbPlatform() {
    while (!open_.empty()) Close(open_.begin()->first);
}

std::string LibusbPlatform::ErrorName(int error) { return libusb_error_name(error); }

bool LibusbPlatform::ListInterfaces(const Guid& interfaceClass, std::vector<std::string>& paths) {
    paths.clear();
    const bool audioOnly = interfaceClass == kAudioDriverInterfaceClass;
    if (!audioOnly && !(interfaceClass == kUsbDeviceInterfaceClass)) return true;  // none of ours

    DeviceList list;
    if (!list.Ok()) return false;
    for (size_t i = 0; i < list.Size(); ++i) {
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(list[i], &desc) != LIBUSB_SUCCESS) continue;
        if (audioOnly && !HasAudioInterface(list[i])) continue;
        paths.push_back(FormatUsbDevicePath({desc.idVendor, desc.idProduct, LocationOf(list[i])},
                                            interfaceClass));
    }
    return true;
}

DeviceHandle LibusbPlatform::Open(const std::string& path) {
    lastOpenError_ = kErrorNotFound;
    const std::optional<UsbDevicePath> wanted = ParseUsbDevicePath(path);
    if (!wanted) return kNoDeviceHandle;

    DeviceList list;
    if (!list.Ok()) {
        lastOpenError_ = LIBUSB_ERROR_OTHER;
        return kNoDeviceHandle;
    }
    for (size_t i = 0; i < list.Size(); ++i) {
        if (!(LocationOf(list[i]) == wanted->location)) continue;
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(list[i], &desc) != LIBUSB_SUCCESS ||
            desc.idVendor != wanted->vendorId || desc.idProduct != wanted->productId)
            return kNoDeviceHandle;  // another device sits there now
        libusb_device_handle* handle = nullptr;
        lastOpenError_ = libusb_open(list[i], &handle);
        if (lastOpenError_ != LIBUSB_SUCCESS) return kNoDeviceHandle;
        const DeviceHandle id = nextHandle_++;
        open_[id] = {list.ReleaseContext(), handle};
        return id;
    }
    return kNoDeviceHandle;
}

void LibusbPlatform::Close(DeviceHandle handle) {
    const auto it = open_.find(handle);
    if (it == open_.end()) return;
    libusb_close(it->second.handle);
    libusb_exit(it->second.context);
    open_.erase(it);
}

bool LibusbPlatform::ControlRequest(const OpenDevice& device, uint8_t bmRequestType,
                                    uint8_t bRequest, uint16_t wValue, uint16_t wIndex,
                                    uint8_t* data, uint16_t length) {
    // Any non-negative count is a completed transfer; the link does not look at the count.
    const int result = libusb_control_transfer(device.handle, bmRequestType, bRequest, wValue,
                                               wIndex, data, length, kTransferTimeoutMs);
    if (result >= 0) {
        lastReturned_ = static_cast<size_t>(result);
        return true;
    }
    lastIoFailure_ = result == LIBUSB_ERROR_TIMEOUT     ? IoFailure::TimedOut
                     : result == LIBUSB_ERROR_NO_DEVICE ? IoFailure::Gone
                                                        : IoFailure::Refused;
    return false;
}

bool LibusbPlatform::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                               size_t inputSize, uint8_t* output, size_t outputSize) {
    const auto it = open_.find(handle);
    if (it == open_.end()) {
        lastIoFailure_ = IoFailure::Gone;
        return false;
    }
    lastIoFailure_ = IoFailure::Refused;
    lastReturned_ = outputSize;
    std::optional<DriverRequest> request =
        DecodeDriverRequest(code, input, inputSize, output, outputSize);
    if (!request) return false;

    if (request->kind == DriverRequest::Kind::SupportQuery) {
        // The audio driver answers its support query for any device it serves; here that
        // is an open device whose descriptor can be read.
        libusb_device_descriptor desc;
        if (libusb_get_device_descriptor(libusb_get_device(it->second.handle), &desc) ==
            LIBUSB_SUCCESS)
            return true;
        lastIoFailure_ = IoFailure::Gone;
        return false;
    }

    const ControlSetup& setup = request->setup;
    const auto length = static_cast<uint16_t>(request->length);  // the decoder caps it
    // Device to host: the data lands in the caller's buffer. Host to device: the decoded
    // data stage is sent (on the audio path it is the copy inside the property block).
    uint8_t* data = setup.DeviceToHost() ? output : request->data.data();
    if (length == 0) data = nullptr;
    return ControlRequest(it->second, setup.bmRequestType, setup.bRequest, setup.wValue,
                          setup.wIndex, data, length);
}
