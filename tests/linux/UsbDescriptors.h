#pragma once
// Descriptor bytes for emulated USB devices.

#include <cstdint>
#include <initializer_list>
#include <vector>

inline constexpr uint8_t kClassAudio = 0x01;
inline constexpr uint8_t kClassHid = 0x03;
inline constexpr uint8_t kClassHub = 0x09;
inline constexpr uint8_t kClassVendor = 0xFF;

// An 18-byte device descriptor (USB 2.0, 64-byte control endpoint, one configuration).
std::vector<uint8_t> DeviceDescriptor(uint16_t vendorId, uint16_t productId,
                                      uint8_t deviceClass = 0);

// Configuration 1 with one interface (alternate setting 0, no endpoints) per class given.
std::vector<uint8_t> ConfigurationDescriptor(std::initializer_list<uint8_t> interfaceClasses);

// A device descriptor followed by its configuration, as sysfs "descriptors" holds them.
std::vector<uint8_t> Descriptors(uint16_t vendorId, uint16_t productId,
                                 std::initializer_list<uint8_t> interfaceClasses,
                                 uint8_t deviceClass = 0);
