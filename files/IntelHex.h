#pragma once
// Intel HEX text to a flash image, checked record by record.
//
// One record a line; blank lines and white space at the end of a line are ignored.
// Record types: 00 data, 01 end of file (reading stops there), 02 extended segment
// address, 04 extended linear address; 03 and 05 (start addresses) are ignored. Every
// record's checksum is checked. Anything else - a character that is not a hex digit, a
// record cut short or too long, a wrong checksum, an unknown type, a wrong byte count for
// an address record, data beyond the image, text outside a record - rejects the text with
// the number of its line. Text without any data byte is rejected too.
//
// Without address records a data record's bytes go to its 16-bit address, address + 1,
// and so on (up to 255 bytes past 64 KB). Under an extended linear address the offset is
// added to the upper address; under an extended segment address the offset wraps within
// its 64 KB segment, as the format defines.

#include <cstdint>
#include <string>
#include <string_view>

struct IntelHexParse {
    bool ok = false;
    // Highest end address (record address plus byte count) over the data records.
    uint32_t length = 0;
    // 1-based line of the rejected record; 0 when the fault concerns the whole text.
    uint32_t line = 0;
    std::string reason;
};

// Parses `text` into `image`, which must hold kFlashImageSize bytes. The image is first
// set to 0xFF; after a rejection its contents are partial and must not be used.
IntelHexParse ParseIntelHex(std::string_view text, uint8_t* image);
