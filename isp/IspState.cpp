#include "isp/IspState.h"

#include <cstdio>
#include <string>

#include "isp/IspReporter.h"

bool gIspFail = false;
std::atomic<bool> gStopRequest{false};
uint16_t gPageSize = 256;
uint32_t gRangeStart = 0;
uint32_t gRangeSize = 0;
std::array<uint8_t, kFlashImageSize> gReadBackImage{};

void ResetIspGlobals() {
    gIspFail = false;
    gStopRequest = false;
    gPageSize = 256;
    gRangeStart = 0;
    gRangeSize = 0;
    gReadBackImage.fill(0);
}

std::string HexDigits6(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", address);
    return text;
}

std::string HexAddress(uint32_t address) { return "0x" + HexDigits6(address); }

std::string HexByte(uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}
