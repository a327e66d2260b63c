#pragma once
// A umockdev bus with the libusb backend behind the process's device link.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestDevices.h"
#include "UsbTestBed.h"
#include "device/QuorvelUsb.h"
#include "device/linux/LibusbPlatform.h"

// Answers the standard device-descriptor request from the device's own descriptor and
// hands vendor requests to `vendor` (no vendor handler: vendor requests stall).
inline EmulatedUsbDevice::Responder WithDescriptor(const UsbDeviceSpec& usb,
                                                   EmulatedUsbDevice::Responder vendor = {}) {
    const std::vector<uint8_t> descriptor(usb.descriptors.begin(), usb.descriptors.begin() + 18);
    return [descriptor, vendor](const ControlSetup& s, std::vector<uint8_t>& data) {
        if (s.bmRequestType == 0x80 && s.bRequest == 6 && s.wValue == 0x0100) {
            data.assign(descriptor.begin(),
                        descriptor.begin() + std::min(data.size(), descriptor.size()));
            return true;
        }
        if ((s.bmRequestType & 0x60) == 0x40 && vendor) return vendor(s, data);
        return false;
    };
}

class LibusbTest : public ::testing::Test {
protected:
    void SetUp() override { gDevice.SetPlatform(&platform); }
    void TearDown() override {
        gDevice.CloseDevice();
        gDevice.SetPlatform(nullptr);
        gDevice.ClearFound();
        gDevice.SetKsPath(0);
        gDevice.SetMatchString("vid_0b7e&pid_6000");
    }

    EmulatedUsbDevice& Add(const UsbDeviceSpec& usb, EmulatedUsbDevice::Responder vendor = {}) {
        EmulatedUsbDevice& d = bed.Add(usb);
        d.SetResponder(WithDescriptor(usb, std::move(vendor)));
        return d;
    }

    std::vector<std::string> List(const Guid& cls) {
        std::vector<std::string> paths;
        EXPECT_TRUE(platform.ListInterfaces(cls, paths));
        return paths;
    }

    // Declared first, destroyed last: the platform's handles go before the bus does.
    UsbTestBed bed;
    LibusbPlatform platform;
};
