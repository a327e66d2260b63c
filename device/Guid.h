#pragma once
// Interface-class and property-set identifiers, kept in their in-memory byte form.

#include <array>
#include <cstdint>
#include <string>

struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    std::array<uint8_t, 8> data4{};

    // The 16 bytes as the platform stores them: data1..data3 little-endian, then data4.
    std::array<uint8_t, 16> Bytes() const;
    // Lower-case text form with braces, e.g. "{a5dcbf10-6530-11d2-901f-00c04fb951ed}".
    std::string Text() const;

    friend bool operator==(const Guid&, const Guid&) = default;
};

// The standard USB device interface class: every USB device (generic driver path).
inline constexpr Guid kUsbDeviceInterfaceClass{
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// The audio driver's device-interface class (kernel-streaming path).
inline constexpr Guid kAudioDriverInterfaceClass{
    0x7A31C2E8, 0x5B94, 0x4D07, {0xA6, 0xF3, 0x1E, 0x82, 0xC9, 0x50, 0xB4, 0x7D}};

// The property set that carries vendor requests through the audio driver.
inline constexpr Guid kVendorRequestPropertySet{
    0x2E9B6F14, 0xA7C3, 0x4B58, {0x8D, 0x02, 0xC6, 0x1F, 0x3A, 0x95, 0xE7, 0xB0}};
