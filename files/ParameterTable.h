#pragma once
// The user-parameter table inside a firmware image, and the writer of patched copies.
//
// The table starts with the 13 ASCII bytes "DEVIR_Odave01" and is 177 bytes long:
//   offset  0  13 bytes  signature
//   offset 13   2 bytes  USB vendor ID, high byte first
//   offset 15   2 bytes  USB product ID, high byte first
//   offset 17 + 32*i     string i (0 manufacturer, 1 product, 2 serial number,
//                        3 play port, 4 record port): 32 bytes, blank-filled, no terminator
// It is found by the first ten characters of the signature, so images of other table
// versions are accepted; the first position wins.

#include <array>
#include <cstdint>
#include <string>

#include "files/FlashImage.h"
#include "files/ProgramFileLoad.h"

inline constexpr char kTableSignature[] = "DEVIR_Odave01";
inline constexpr uint32_t kSignatureMatchLength = 10;
inline constexpr uint32_t kTableVidOffset = 13;
inline constexpr uint32_t kTablePidOffset = 15;
inline constexpr uint32_t kTableStringOffset = 17;
inline constexpr uint32_t kTableStringSize = 32;
inline constexpr uint32_t kTableStringCount = 5;
inline constexpr uint32_t kTableSize = kTableStringOffset + kTableStringCount * kTableStringSize;

using TableTexts = std::array<std::string, kTableStringCount>;

// The working copy of the Gen. Bin File page, separate from gFlashImage. Bytes beyond
// gModifyLength keep whatever an earlier, longer load left there.
extern uint8_t gModifyImage[kFlashImageSize];
extern uint32_t gModifyLength;
// Offset of the signature's first byte; 0 after a search that found nothing.
extern uint32_t gTableOffset;
// Whether the last search of the current working copy found a table. Every load clears
// it, so a copy that has not been searched since it was loaded is never patched.
extern bool gTableFound;

// Reads a program file (reader chosen by its type letter) and copies it into the working
// copy. The read goes through the flash image, so on success gFlashImage and gImageLength
// are replaced too (gProgramFileReady is not touched). Returns whether it loaded; a file
// that is rejected leaves the working copy and its length as they were.
bool LoadModifyImage(const std::string& name);
// The same, with the reader's result: on failure its message names the file and the reason,
// for the window's message box.
ProgramFileLoad LoadModifyImageFile(const std::string& name);

// Searches the working copy for the table; sets gTableOffset and gTableFound. Only a
// position where the whole table lies within gModifyLength counts: a table cut off by the
// end of the image could not be patched into the written file.
bool FindParameterTable();

enum class TableWriteError {
    None,
    NoTable,         // the last search found nothing: nothing patched, no file
    InvalidInteger,  // the VID or PID text is not hexadecimal; `message` has the text
    WriteFailed,     // the file could not be created or written; no sum
};

struct TableWrite {
    bool ok = false;
    uint16_t sum = 0;  // 16-bit sum of the bytes written
    TableWriteError error = TableWriteError::None;
    std::string message;
};

// Patches the table at gTableOffset: the five strings (cut at 32 bytes, filled with
// blanks), then the VID and PID texts converted as "0x" + text (the low 16 bits are
// stored). A conversion failure stops there with the platform's message; the fields
// patched before it stay patched. The texts are 8-bit characters, stored byte for byte.
// On success `sum` is the sum of gModifyLength bytes of the patched copy.
TableWrite PatchParameterTable(const std::string& vidText, const std::string& pidText,
                               const TableTexts& texts);

// PatchParameterTable, then writes gModifyLength bytes of the working copy to `saveName`
// (through a temporary file renamed over it) and returns their sum.
TableWrite WriteModifiedImage(const std::string& saveName, const std::string& vidText,
                              const std::string& pidText, const TableTexts& texts);
