#pragma once
// The single operations of the ISP page and the Auto sequence, free of any window code so
// that the window and the command-line tool run the same steps with the same texts.

#include <cstdint>
#include <string>

#include "isp/IspReporter.h"

// Flash addresses a blank check, program or verify works on.
struct WorkRange {
    uint32_t start = 0;
    uint32_t end = 0;
};

// "All": 0 to gImageLength; an assigned range: gRangeStart to gRangeStart + gImageLength.
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
    // The first step that went wrong ("isp-mode", "flash-id", "erase", "blank", "program",
    // "verify", "protect"), empty when none did.
    std::string failedStep;
};

// The device part of an Auto run, from "Enter ISP Mode" to the last close: ISP mode, flash
// ID and page size, unprotect and erase, blank check, program, verify, protect, leave ISP
// mode. Reloading the program file is the caller's step before this one. A Stop request
// skips the remaining erase, blank-check, program and verify work; protection and leaving
// ISP mode still run, and the last message is then "Stopped".
AutoResult RunAutoSequence(const AutoOptions& options, IspReporter& report);
