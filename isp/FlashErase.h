#pragma once
// Erasing the flash: the whole chip, or the 4 KB sectors of the assigned range, each
// followed by polling the busy bit.

#include "isp/IspReporter.h"

enum class EraseMode { WholeChip, AssignedSectors };

// Opens the device, erases, closes the device. When the last busy wait times out the
// message is "Erase Flash Fail" and gIspFail is set. A Stop request ends a sector erase
// before its next sector. Returns whether the last wait ended with the flash idle (an
// empty range erases nothing and succeeds).
bool EraseFlash(EraseMode mode, IspReporter& report);

// Reads the status register up to 1000 times, sleeping 10 ms after each busy reading.
// Returns whether bit 0 (busy) came clear.
bool WaitWhileBusy(int maxReads = 1000);
