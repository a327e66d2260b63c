// The "ISPSetting" bit layout and the rules that every store applies to its values.

#include <algorithm>

#include "settings/SettingsStore.h"

namespace {

constexpr uint32_t kRangeMaxKb = 2040;

}  // namespace

std::string CutSettingsText(const std::string& text) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // A character starts at every byte that is not a UTF-8 continuation byte.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == kSettingsTextMax)
            return text.substr(0, i);
    }
    return text;
}

uint32_t ComposeIspSetting(const IspSetting& setting) {
    uint32_t bits = 0;
    for (size_t i = 0; i < setting.boxes.size(); ++i)
        if (setting.boxes[i]) bits |= 1u << i;
    if (setting.rangeAll) bits |= 0x80;
    const uint32_t start = std::min(setting.startKb, kRangeMaxKb) / 8;
    const uint32_t size = std::min(setting.sizeKb, kRangeMaxKb) / 8;
    return ((start * 256 + size) * 256) | bits;
}

IspSetting DecodeIspSetting(uint32_t value) {
    IspSetting setting;
    for (size_t i = 0; i < setting.boxes.size(); ++i) setting.boxes[i] = (value >> i) & 1;
    setting.rangeAll = (value & 0x80) != 0;
    setting.sizeKb = ((value >> 8) & 0xFF) * 8;
    setting.startKb = ((value >> 16) & 0xFF) * 8;
    return setting;
}

std::optional<uint32_t> StoredRangeKb(const std::string& text) {
    if (text.empty()) return std::nullopt;
    uint32_t kb = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        // Past the limit the value stays at it, however many digits follow.
        kb = std::min<uint32_t>(kb * 10 + static_cast<uint32_t>(c - '0'), kRangeMaxKb + 1);
    }
    return std::min(kb, kRangeMaxKb) / 8 * 8;
}
