#include "files/FlashImage.h"

#include <cstring>

uint8_t gFlashImage[kFlashImageSize];
uint32_t gImageLength = 0;

void FillImage(uint8_t value) { std::memset(gFlashImage, value, sizeof gFlashImage); }

uint16_t ReplaceImage(const uint8_t* image, uint32_t length) {
    if (length > kFlashImageSize) length = kFlashImageSize;
    std::memcpy(gFlashImage, image, sizeof gFlashImage);
    gImageLength = length;
    return ImageChecksum(gFlashImage, length);
}

uint16_t ImageChecksum(const uint8_t* data, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; ++i) sum += data[i];
    return static_cast<uint16_t>(sum);
}

std::string HexDigits4(uint16_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(4, '0');
    for (int i = 3; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value = static_cast<uint16_t>(value >> 4);
    }
    return text;
}

std::string ChecksumCaption(uint16_t checksum) { return "Checksum : 0x" + HexDigits4(checksum); }
