#pragma once
// Intel HEX program files (the record rules are in files/IntelHex.h).

#include <string>

#include "files/ProgramFileLoad.h"

// Reads the file into gFlashImage, the bytes no record supplies 0xFF, and sets
// gImageLength to the highest end address of its data records. The checksum covers image
// bytes 0 to gImageLength - 1, gaps included. A file that cannot be opened or read, holds
// no data or has a malformed record is rejected and leaves the image and its length as
// they were; the result names the line of the first bad record.
ProgramFileLoad ReadHexFile(const std::string& name);
