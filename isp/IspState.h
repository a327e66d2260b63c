#pragma once
// Process-wide state of the flash operations, shared by the window and the command-line
// tool.

#include <array>
#include <atomic>
#include <cstdint>

#include "files/FlashImage.h"

// Set by a timed-out erase or a failed step; cleared at the start of every Auto click.
extern bool gIspFail;
// Raised by a Stop click during an Auto run (or, in the command-line tool, by an
// interrupt signal); the sequence and its workers check it. Atomic so that a signal
// handler may raise it.
extern std::atomic<bool> gStopRequest;
// Bytes per page-program command: 32 for a C2 22 flash, else 256.
extern uint16_t gPageSize;
// The assigned flash range in bytes ("All": start 0, size 0x8000).
extern uint32_t gRangeStart;
extern uint32_t gRangeSize;
// What the last read-back brought from the flash.
extern std::array<uint8_t, kFlashImageSize> gReadBackImage;

// Back to the values at program start.
void ResetIspGlobals();
