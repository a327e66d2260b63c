#include "device/Guid.h"

#include <cstdio>

std::array<uint8_t, 16> Guid::Bytes() const {
    std::array<uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[4 + i] = static_cast<uint8_t>(data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) b[6 + i] = static_cast<uint8_t>(data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) b[8 + i] = data4[i];
    return b;
}

std::string Guid::Text() const {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  data1, data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4],
                  data4[5], data4[6], data4[7]);
    return text;
}
