#pragma once
// The current program file of the ISP page, the choice of reader by file name, and the
// one load that the ISP page, the Auto sequence and the command-line tool share.

#include <cstddef>
#include <string>
#include <vector>

#include "files/BinaryFile.h"
#include "files/HexFile.h"
#include "files/ProgramFileLoad.h"

// Full path of the current program file; empty at start.
extern std::string gProgramFileName;
// Whether the last LoadProgramFile loaded its file; false at start.
extern bool gProgramFileReady;

enum class ProgramFileType { Binary, Hex, Unknown };

// The type letter is the third character from the end of the name (the first letter of a
// three-letter extension; a shorter name gives its first character): "b"/"B" is binary,
// "h"/"H" is Intel HEX (".bin", ".hex", ".h00"), anything else is unknown. A name ending
// in ".ihx" is Intel HEX too.
ProgramFileType ProgramFileTypeOf(const std::string& name);

// Reads `name` with the reader its type letter picks. An empty name or an unknown letter
// is rejected without reading. Only a successful read replaces gFlashImage and
// gImageLength. gProgramFileReady is left alone (the Gen. Bin File page loads this way).
ProgramFileLoad ReadImageFile(const std::string& name);

// The ISP page's load of a program file: ReadImageFile, then gProgramFileReady := whether
// the file loaded, so that a file that cannot be opened, is empty, has an unknown type or
// a bad record is not ready and an Auto run stops before it touches the device. The
// result of an empty name carries the message "Program File Not Ready !!    ".
ProgramFileLoad LoadProgramFile(const std::string& name);

// The file box's list of names loaded since start: appends `name` when no entry equals
// it exactly (case-sensitive). Returns the index of its entry, for the box to show it.
size_t RememberProgramFile(std::vector<std::string>& names, const std::string& name);
