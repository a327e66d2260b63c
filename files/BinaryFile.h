#pragma once
// Raw binary program files: the file's bytes are the flash content from address 0.

#include <string>

#include "files/ProgramFileLoad.h"

// Reads the file into gFlashImage from offset 0, the rest of the image 0xFF, and sets
// gImageLength to the number of bytes read. A file longer than 256 KB contributes its
// first 256 KB. A file that cannot be opened or read, or is empty, is rejected and leaves
// the image and its length as they were.
ProgramFileLoad ReadBinaryFile(const std::string& name);
