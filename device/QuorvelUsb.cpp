#include "device/QuorvelUsb.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "device/DriverBlocks.h"

namespace {
NullDevicePlatform gNoDevices;
}

QuorvelUsb gDevice;

QuorvelUsb::QuorvelUsb(DevicePlatform* platform)
    : platform_(platform != nullptr ? platform : &gNoDevices) {
    std::strcpy(matchString, "vid_0b7e&pid_6000");
}

QuorvelUsb::~QuorvelUsb() { CloseDevice(); }

void QuorvelUsb::SetPlatform(DevicePlatform* platform) {
    CloseDevice();
    platform_ = platform != nullptr ? platform : &gNoDevices;
}

bool QuorvelUsb::SetMatchString(const char* text) {
    if (text == nullptr) return false;
    const size_t len = std::strlen(text);
    if (len >= kMatchStringSize) return false;
    std::memcpy(matchString, text, len + 1);
    return true;
}

bool QuorvelUsb::Matches(const char* path) const {
    // A plain, case-sensitive substring test; an empty match string matches nothing.
    return matchString[0] != '\0' && std::strstr(path, matchString) != nullptr;
}

bool QuorvelUsb::ListMatches(size_t& matches, bool storeAndProbe, bool& probeResult) {
    const Guid& cls = ksPath ? kAudioDriverInterfaceClass : kUsbDeviceInterfaceClass;
    std::vector<std::string> paths;
    if (!platform_->ListInterfaces(cls, paths)) return false;
    matches = 0;
    for (const std::string& path : paths) {
        // A path that does not fit the fixed field is never taken.
        if (path.size() >= kDevicePathSize || !Matches(path.c_str())) continue;
        ++matches;
        if (storeAndProbe) {
            std::memcpy(devicePath, path.c_str(), path.size() + 1);
            found = 1;
            probeResult = ProbeDevice();
        }
    }
    return true;
}

bool QuorvelUsb::FindDevice() {
    size_t matches = 0;
    bool result = false;
    if (!ListMatches(matches, true, result)) return false;
    return matches > 0 && result;
}

bool QuorvelUsb::CheckPresence() {
    size_t matches = 0;
    bool unused = false;
    if (!ListMatches(matches, false, unused)) {
        found = 0;
        return false;
    }
    found = matches > 0 ? 1 : 0;
    return found != 0;
}

bool QuorvelUsb::IsFound() { return found != 0; }

bool QuorvelUsb::ProbeDevice() {
    const DeviceHandle probe = platform_->Open(devicePath);
    if (probe == kNoDeviceHandle) return false;
    bool ok = false;
    if (ksPath) {
        const std::vector<uint8_t> query = MakeKsSupportQuery();
        ok = platform_->IoControl(probe, kIoctlKsProperty, query.data(), query.size(), nullptr, 0);
    } else {
        const std::vector<uint8_t> block =
            MakeGenericRequestBlock(kDescriptorProbeSetup, kDeviceDescriptorSize);
        uint8_t descriptor[kDeviceDescriptorSize] = {};
        ok = platform_->IoControl(probe, GenericIoctlCode(kDescriptorProbeSetup.bmRequestType),
                                  block.data(), block.size(), descriptor, sizeof descriptor);
    }
    platform_->Close(probe);
    return ok;
}

bool QuorvelUsb::OpenDevice() {
    CloseDevice();
    timeoutsInARow_ = 0;
    handle = platform_->Open(devicePath);
    // Without a handle every request fails at once; the link counts as lost so that the
    // waits built on those requests end at once too.
    linkLost_ = handle == kNoDeviceHandle;
    return handle != kNoDeviceHandle;
}

void QuorvelUsb::CloseDevice() {
    if (handle == kNoDeviceHandle) return;
    platform_->Close(handle);
    handle = kNoDeviceHandle;
}

bool QuorvelUsb::ControlTransfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                                 uint16_t wIndex, uint8_t* buffer, uint32_t length) {
    if (handle == kNoDeviceHandle) return false;
    if (length > 0 && buffer == nullptr) return false;
    if (linkLost_ && !cleanup_) return false;
    bool ok = Transfer(bmRequestType, bRequest, wValue, wIndex, buffer, length);
    NoteOutcome(ok);
    // A reply shorter than asked leaves the rest of the buffer as it was: without the
    // whole value there is no value.
    const bool deviceToHost = (bmRequestType & 0x80) != 0;
    if (ok && deviceToHost && length > 0 && platform_->LastReturnedSize() < length) ok = false;
    return ok;
}

void QuorvelUsb::NoteOutcome(bool ok) {
    if (ok) {
        timeoutsInARow_ = 0;
        return;
    }
    switch (platform_->LastIoFailure()) {
        case IoFailure::Refused:
            break;  // the device answered: nothing wrong with the link
        case IoFailure::TimedOut:
            if (++timeoutsInARow_ >= kTimeoutsForLostLink) LoseLink(false);
            break;
        case IoFailure::Gone:
            LoseLink(true);
            break;
    }
}

void QuorvelUsb::LoseLink(bool gone) {
    if (linkLost_) return;
    linkLost_ = true;
    ++linkLosses_;
    lastLossGone_ = gone;
}

bool QuorvelUsb::Transfer(uint8_t bmRequestType, uint8_t bRequest, uint16_t wValue,
                          uint16_t wIndex, uint8_t* buffer, uint32_t length) {
    const ControlSetup setup{bmRequestType, bRequest, wValue, wIndex};
    if (!ksPath) {
        const std::vector<uint8_t> block = MakeGenericRequestBlock(setup);
        return platform_->IoControl(handle, GenericIoctlCode(bmRequestType), block.data(),
                                    block.size(), buffer, length);
    }
    try {
        // One zero-filled block per request, released when it goes out of scope.
        const std::vector<uint8_t> block = MakeKsRequestBlock(setup, buffer, length);
        return platform_->IoControl(handle, kIoctlKsProperty, block.data(), block.size(),
                                    buffer, length);
    } catch (const std::bad_alloc&) {
        return false;  // no block, no request
    }
}
