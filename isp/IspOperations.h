#pragma once
// The single operations of the ISP page and the Auto sequence, free of any window code so
// that the window and the command-line tool run the same steps with the same texts.

#include <cstdint>
#include <string>

#include "isp/IspReporter.h"

#include <vector>

// Flash addresses a blank check, program or verify works on.
struct WorkRange {
    uint32_t start = 0;
    // Programming covers start up to (not including) end.
    uint32_t end = 0;
    // Blank check and verify look at start up to (not including) checkEnd: the image's
    // bytes and the byte one past them, unless that byte lies at or past the flash's
    // capacity or, for an assigned range, at or past the range's end (it would wrap round
    // to address 0, or lie in flash that was never erased).
    uint64_t checkEnd = 0;
};

// "All": 0 to gImageLength; an assigned range: gRangeStart to gRangeStart + gImageLength.
// The capacity is the one gFlashId gives.
WorkRange CurrentWorkRange(bool assignRange);

// Sets gRangeStart/gRangeSize: "All" gives 0 and 0x8000, an assigned range the two
// kilobyte numbers times 1024.
void SetRange(bool assignRange, uint32_t startKb, uint32_t sizeKb);

// The page-size rule: 32 bytes for a flash identified C2 22, 256 for any other.
uint16_t PageSizeFor(const uint8_t id[3]);

// Button frames: start message, open, worker, success message, close.
bool RunBlankCheck(bool assignRange, IspReporter& report);
bool RunProgram(bool assignRange, IspReporter& report);
bool RunVerify(bool assignRange, IspReporter& report);
// Reads flash 0 through 0x20000 into gReadBackImage ("Read Flash data back" ...).
bool RunReadBack(IspReporter& report);

// Writes the first `length` bytes of gReadBackImage to `path` through a temporary file
// that is renamed over the target, so a failed write never leaves a truncated file.
bool SaveReadBackImage(const std::string& path, uint32_t length, std::string* error = nullptr);

struct AutoOptions {
    bool ispMode = true;
    bool erase = true;
    bool blank = true;
    bool program = true;
    bool verify = true;
    bool protect = true;
    bool assignRange = false;
    uint32_t startKb = 32;
    uint32_t sizeKb = 32;
};

struct AutoResult {
    bool stopped = false;
    // Every step that ran succeeded, the mode and protection requests included.
    bool success = false;
    // The steps that went wrong, in order ("isp-mode", "flash-id", "range", "unprotect",
    // "erase", "blank", "program", "verify", "protect", "leave-isp-mode"); the first of
    // them also in failedStep. Empty when none did.
    std::vector<std::string> failedSteps;
    std::string failedStep;
    // The link to the device was lost during the run (it stopped answering, or went).
    bool linkLost = false;
    bool linkGone = false;  // the last loss was a device that went away
};

// The device part of an Auto run, from "Enter ISP Mode" to the last close: ISP mode, flash
// ID and page size, unprotect and erase, blank check, program, verify, protect, leave ISP
// mode. Reloading the program file is the caller's step before this one, and so is
// clearing a stale Stop request (so that one raised before the run still counts).
//
// Nothing is erased or written without a known flash that holds the whole range: an
// unreadable identification ("Flash ID Read Fail"), a range past the flash's capacity
// ("Range beyond flash size") or a protection that cannot be cleared ("Flash Unprotect
// Fail") skips erase, blank check, program and verify. A Stop request skips the remaining
// work too, and the last message is then "Stopped". Whatever happened, protection (read
// back, "Flash Protect Fail" when it does not hold) and leaving ISP mode still run.
AutoResult RunAutoSequence(const AutoOptions& options, IspReporter& report);

// Writes the status register and reads it back: up to three attempts of write enable,
// status write and busy wait, until the block-protect bits (2 to 4) read as written. No
// further attempt follows a flash that stays busy or a lost link. `finalStatus` receives
// the last status read (0xFF when none could be read).
bool WriteStatusChecked(uint8_t value, uint8_t* finalStatus = nullptr);

// Whether the range of a run fits the flash that gFlashId names: the image's addresses
// and, for an assigned range, the range itself end at or below its capacity.
bool RangeFitsFlash(const AutoOptions& options, uint32_t imageLength);
