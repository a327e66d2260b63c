#include "device/linux/UsbDevicePath.h"

#include <cstdio>

namespace {

constexpr char kPrefix[] = "\\\\?\\usb#vid_";
constexpr size_t kGuidTextSize = 38;  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"

// Reads exactly four hexadecimal digits at `at`.
std::optional<uint16_t> ReadHex4(const std::string& s, size_t at) {
    if (at + 4 > s.size()) return std::nullopt;
    uint16_t v = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        v = static_cast<uint16_t>((v << 4) | d);
    }
    return v;
}

// Reads a decimal number of 1 to 3 digits at `at` (no sign, no leading zero unless it is
// "0" itself), advancing `at`.
std::optional<unsigned> ReadDecimal(const std::string& s, size_t& at) {
    const size_t start = at;
    unsigned v = 0;
    while (at < s.size() && s[at] >= '0' && s[at] <= '9' && at - start < 3) {
        v = v * 10 + static_cast<unsigned>(s[at] - '0');
        ++at;
    }
    if (at == start) return std::nullopt;
    if (at < s.size() && s[at] >= '0' && s[at] <= '9') return std::nullopt;  // too long
    if (s[start] == '0' && at - start > 1) return std::nullopt;
    return v;
}

bool Expect(const std::string& s, size_t& at, char c) {
    if (at >= s.size() || s[at] != c) return false;
    ++at;
    return true;
}

std::optional<UsbLocation> ReadLocation(const std::string& s, size_t& at) {
    UsbLocation loc;
    const auto bus = ReadDecimal(s, at);
    if (!bus || *bus == 0 || *bus > 255) return std::nullopt;
    loc.bus = static_cast<uint8_t>(*bus);
    if (!Expect(s, at, '-')) return std::nullopt;
    const auto first = ReadDecimal(s, at);
    if (!first || *first > 255) return std::nullopt;
    if (*first == 0) return loc;  // a root hub
    loc.ports.push_back(static_cast<uint8_t>(*first));
    while (at < s.size() && s[at] == '.') {
        ++at;
        const auto port = ReadDecimal(s, at);
        if (!port || *port == 0 || *port > 255 || loc.ports.size() == kMaxUsbPortDepth)
            return std::nullopt;
        loc.ports.push_back(static_cast<uint8_t>(*port));
    }
    return loc;
}

}  // namespace

std::string FormatUsbDevicePath(const UsbDevicePath& device, const Guid& interfaceClass) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "%04x&pid_%04x#%u-", device.vendorId, device.productId,
                  unsigned{device.location.bus});
    std::string path = kPrefix;
    path += ids;
    if (device.location.ports.empty()) {
        path += '0';
    } else {
        for (size_t i = 0; i < device.location.ports.size(); ++i) {
            if (i > 0) path += '.';
            path += std::to_string(unsigned{device.location.ports[i]});
        }
    }
    path += '#';
    path += interfaceClass.Text();
    return path;
}

std::optional<UsbDevicePath> ParseUsbDevicePath(const std::string& path) {
    const std::string prefix = kPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    size_t at = prefix.size();
    UsbDevicePath device;
    const auto vid = ReadHex4(path, at);
    if (!vid) return std::nullopt;
    at += 4;
    if (path.compare(at, 5, "&pid_") != 0) return std::nullopt;
    at += 5;
    const auto pid = ReadHex4(path, at);
    if (!pid) return std::nullopt;
    at += 4;
    if (!Expect(path, at, '#')) return std::nullopt;
    auto location = ReadLocation(path, at);
    if (!location) return std::nullopt;
    if (!Expect(path, at, '#')) return std::nullopt;
    // The interface class closes the path: one braced GUID, nothing after it.
    if (path.size() - at != kGuidTextSize || path[at] != '{' || path.back() != '}')
        return std::nullopt;
    device.vendorId = *vid;
    device.productId = *pid;
    device.location = std::move(*location);
    return device;
}
