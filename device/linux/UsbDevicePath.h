#pragma once
// Device paths for USB devices on Linux, in the form the device link's match rule expects:
//
//   \\?\usb#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}
//
// i.e. the IDs as lower-case "vid_xxxx&pid_xxxx", then where the device sits on the bus
// (bus number, '-', the hub port numbers from the root joined by '.'), then the interface
// class. A root hub has no ports; its location is written "<bus>-0" (ports count from 1).
// The location is what Open uses to find the device again; the IDs let it refuse a
// different device that was plugged into the same port in the meantime.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/Guid.h"

struct UsbLocation {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;  // from the root hub down; empty for a root hub

    friend bool operator==(const UsbLocation&, const UsbLocation&) = default;
};

struct UsbDevicePath {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    UsbLocation location;
};

// USB allows at most seven tiers below the root, so a port path is at most 7 long.
inline constexpr size_t kMaxUsbPortDepth = 7;

std::string FormatUsbDevicePath(const UsbDevicePath& device, const Guid& interfaceClass);

// Reads back a path made by FormatUsbDevicePath (any interface class). Returns nothing for
// any other text.
std::optional<UsbDevicePath> ParseUsbDevicePath(const std::string& path);
