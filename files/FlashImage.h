#pragma once
// The flash image: the 256 KB of flash content that the ISP page programs, filled by the
// program-file readers. Byte i is meant for flash address i (or i plus the start of the
// assigned range).

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint32_t kFlashImageSize = 0x40000;

// Zero from program start until the first successful read; every successful read first
// sets all of it to 0xFF, so bytes a file does not supply read as erased flash.
extern uint8_t gFlashImage[kFlashImageSize];
// Bytes of the image that the last successful read produced.
extern uint32_t gImageLength;

// Sets every byte of gFlashImage to `value`.
void FillImage(uint8_t value);

// Replaces the whole image with the kFlashImageSize bytes of `image` and sets gImageLength
// to `length`. Returns the checksum of image bytes 0 to length - 1. The readers parse into
// a scratch image first and call this only on success, so a rejected file changes nothing.
uint16_t ReplaceImage(const uint8_t* image, uint32_t length);

// The 16-bit sum of `length` bytes, wrapping on overflow: the checksum shown for a program
// file and the sum shown for a written firmware file.
uint16_t ImageChecksum(const uint8_t* data, size_t length);

// Exactly four upper-case hexadecimal digits, e.g. "00A5".
std::string HexDigits4(uint16_t value);
// "Checksum : 0x" followed by the four digits: the caption of the checksum label.
std::string ChecksumCaption(uint16_t checksum);
