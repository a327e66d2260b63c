#pragma once
// Erasing the flash: the whole chip, or the 4 KB sectors of the assigned range, each
// followed by polling the busy bit.

#include "isp/IspReporter.h"

enum class EraseMode { WholeChip, AssignedSectors };

// Opens the device, erases, closes the device. When the last busy wait times out the
// message is "Erase Flash Fail" and gIspFail is set. A Stop request ends a sector erase
// before its next sector; the erase then returns false, without that message. Returns
// whether every sector was erased and the last wait ended with the flash idle (an empty
// range erases nothing and succeeds).
bool EraseFlash(EraseMode mode, IspReporter& report);

#include <cstdint>

// Reads the status register up to `maxReads` times, sleeping 10 ms after each busy
// reading, and stops early when the link to the device is lost. Returns whether bit 0
// (busy) came clear; `lastStatus` receives the last status read.
bool WaitWhileBusy(int maxReads = 1000, uint8_t* lastStatus = nullptr);
