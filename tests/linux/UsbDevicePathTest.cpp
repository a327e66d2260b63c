// Device paths of the libusb backend: the form the match rule relies on, and reading a
// path back into the IDs and the bus location that Open looks for.

#include <gtest/gtest.h>

#include <string>

#include "device/Guid.h"
#include "device/linux/UsbDevicePath.h"

namespace {

TEST(UsbDevicePathTest, FormatsLowerCaseIdsLocationAndClass) {
    struct Case {
        UsbDevicePath device;
        const Guid* cls;
        const char* expected;
    };
    const Case cases[] = {
        {{0x7C3D, 0x6012, {1, {2, 3}}}, &kAudioDriverInterfaceClass,
         R"(\\?\usb#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})"},
        {{0x0B7E, 0x6000, {3, {1}}}, &kUsbDeviceInterfaceClass,
         R"(\\?\usb#vid_0b7e&pid_6000#3-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed})"},
        {{0x1D6B, 0x0002, {2, {}}}, &kUsbDeviceInterfaceClass,
         R"(\\?\usb#vid_1d6b&pid_0002#2-0#{a5dcbf10-6530-11d2-901f-00c04fb951ed})"},
        {{0xFFFF, 0x000A, {255, {255, 1, 2, 3, 4, 5, 6}}}, &kUsbDeviceInterfaceClass,
         R"(\\?\usb#vid_ffff&pid_000a#255-255.1.2.3.4.5.6#{a5dcbf10-6530-11d2-901f-00c04fb951ed})"},
    };
    for (const Case& c : cases) {
        const std::string path = FormatUsbDevicePath(c.device, *c.cls);
        EXPECT_EQ(path, c.expected);
        const auto back = ParseUsbDevicePath(path);
        ASSERT_TRUE(back.has_value()) << path;
        EXPECT_EQ(back->vendorId, c.device.vendorId) << path;
        EXPECT_EQ(back->productId, c.device.productId) << path;
        EXPECT_EQ(back->location, c.device.location) << path;
    }
}

TEST(UsbDevicePathTest, RefusesAnythingElse) {
    const char* const refused[] = {
        "",
        R"(\\?\usb#vid_7c3d&pid_6012#1-2.3)",                                          // no class
        R"(\\?\usb#vid_7c3d&pid_6012#1-2.3#)",
        R"(\\?\usb#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}x)",  // trailing text
        R"(\\?\usb#vid_7c3&pid_6012#1-2#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",      // short ID
        R"(\\?\usb#vid_7c3g&pid_6012#1-2#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",     // not hex
        R"(\\?\usb#vid_7c3d&pid_6012#0-2#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",     // bus 0
        R"(\\?\usb#vid_7c3d&pid_6012#256-2#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",   // bus > 255
        R"(\\?\usb#vid_7c3d&pid_6012#1-#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",      // no port
        R"(\\?\usb#vid_7c3d&pid_6012#1-2.0#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",   // port 0
        R"(\\?\usb#vid_7c3d&pid_6012#1-0.2#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",
        R"(\\?\usb#vid_7c3d&pid_6012#1-02#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",    // leading zero
        R"(\\?\usb#vid_7c3d&pid_6012#1-2..3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",
        R"(\\?\usb#vid_7c3d&pid_6012#1-1.2.3.4.5.6.7.8#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",  // too deep
        R"(\\?\usb#vid_7c3d&pid_6012#1-2.3#7a31c2e8-5b94-4d07-a6f3-1e82c950b47d)",     // no braces
        R"(\\?\hid#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d})",   // other prefix
    };
    for (const char* path : refused) EXPECT_FALSE(ParseUsbDevicePath(path).has_value()) << path;
}

}  // namespace
