#pragma once
// The range workers: blank check, program, verify and read-back of flash addresses from
// `start` to `end`. The device handle is open while they run. Each checks gStopRequest
// between blocks and pages and then returns false without a message of its own.

#include <cstdint>

#include "isp/IspReporter.h"

// The image byte meant for flash address `address`: gFlashImage at address - gRangeStart,
// or the erased value 0xFF outside the image buffer.
uint8_t ImageByteFor(uint32_t address);

// Checks that every byte from start through end (inclusive) reads 0xFF.
bool BlankCheckRange(uint32_t start, uint32_t end, IspReporter& report);
// Programs the image pages by pages of gPageSize bytes from start while below end; pages
// that are all 0xFF are skipped.
bool ProgramRange(uint32_t start, uint32_t end, IspReporter& report);
// Compares every flash byte from start through end (inclusive) with the image.
bool VerifyRange(uint32_t start, uint32_t end, IspReporter& report);
// Reads the flash from start through end into gReadBackImage, each block twice so that an
// unstable read is caught. Bytes never read stay 0x5A. Saving is the caller's task.
bool ReadBackFlash(uint32_t start, uint32_t end, IspReporter& report);
