#include "UsbDescriptors.h"

#include <cstddef>

std::vector<uint8_t> DeviceDescriptor(uint16_t vendorId, uint16_t productId, uint8_t deviceClass) {
    return {18,   1,    0x00, 0x02, deviceClass, 0, 0, 64,
            static_cast<uint8_t>(vendorId), static_cast<uint8_t>(vendorId >> 8),
            static_cast<uint8_t>(productId), static_cast<uint8_t>(productId >> 8),
            0x00, 0x01, 1, 2, 3, 1};
}

std::vector<uint8_t> ConfigurationDescriptor(std::initializer_list<uint8_t> interfaceClasses) {
    const size_t total = 9 + 9 * interfaceClasses.size();
    std::vector<uint8_t> d = {9, 2, static_cast<uint8_t>(total), static_cast<uint8_t>(total >> 8),
                              static_cast<uint8_t>(interfaceClasses.size()), 1, 0, 0x80, 50};
    uint8_t number = 0;
    for (uint8_t cls : interfaceClasses) {
        const uint8_t subclass = cls == kClassAudio ? (number == 0 ? 1 : 2) : 0;
        d.insert(d.end(), {9, 4, number, 0, 0, cls, subclass, 0, 0});
        ++number;
    }
    return d;
}

std::vector<uint8_t> Descriptors(uint16_t vendorId, uint16_t productId,
                                 std::initializer_list<uint8_t> interfaceClasses,
                                 uint8_t deviceClass) {
    std::vector<uint8_t> d = DeviceDescriptor(vendorId, productId, deviceClass);
    const std::vector<uint8_t> c = ConfigurationDescriptor(interfaceClasses);
    d.insert(d.end(), c.begin(), c.end());
    return d;
}
