#pragma once
// The devices the libusb tests put on their emulated bus.

#include <string>

#include "UsbDescriptors.h"
#include "UsbTestBed.h"
#include "device/Guid.h"

inline UsbDeviceSpec RootHub() {
    return {"usb1", 1, 1, Descriptors(0x1D6B, 0x0002, {kClassHub}, kClassHub)};
}
inline UsbDeviceSpec Hub() { return {"1-2", 1, 2, Descriptors(0x05E3, 0x0608, {kClassHub}, kClassHub)}; }
// The chip in normal operation: an audio device (audio control, audio streaming, HID keys).
inline UsbDeviceSpec NormalDevice(std::string name = "1-2.3", uint8_t address = 5) {
    return {std::move(name), 1, address,
            Descriptors(0x7C3D, 0x6012, {kClassAudio, kClassAudio, kClassHid}, 0xEF)};
}
// The chip's firmware-update identities: no audio interface.
inline UsbDeviceSpec UpdateDevice(uint16_t vendorId, std::string name, uint8_t address) {
    return {std::move(name), 1, address, Descriptors(vendorId, 0x6000, {kClassVendor})};
}
// Someone else's device: a mouse.
inline UsbDeviceSpec OtherDevice() { return {"1-1", 1, 3, Descriptors(0x046D, 0xC077, {kClassHid})}; }

inline std::string PathOf(const char* ids, const char* location, const Guid& cls) {
    return std::string(R"(\\?\usb#)") + ids + "#" + location + "#" + cls.Text();
}
