#include "cli/TracingPlatform.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; bytes != nullptr && i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace

std::string TraceLine(uint32_t code, const uint8_t* input, size_t inputSize, const uint8_t* output,
                      size_t outputSize, bool ok) {
    char head[24];
    std::snprintf(head, sizeof head, "ioctl 0x%06X", code);
    return std::string(head) + " in=" + Hex(input, inputSize) + " out=" + Hex(output, outputSize) +
           (ok ? " ok" : " fail");
}

bool TracingPlatform::IoControl(DeviceHandle handle, uint32_t code, const uint8_t* input,
                                size_t inputSize, uint8_t* output, size_t outputSize) {
    const bool ok = inner_.IoControl(handle, code, input, inputSize, output, outputSize);
    sink_(TraceLine(code, input, inputSize, output, outputSize, ok));
    return ok;
}

bool SinglePathPlatform::ListInterfaces(const Guid& cls, std::vector<std::string>& paths) {
    if (!inner_.ListInterfaces(cls, paths)) return false;
    const bool listed = std::find(paths.begin(), paths.end(), path_) != paths.end();
    paths.clear();
    if (listed) paths.push_back(path_);
    return true;
}
