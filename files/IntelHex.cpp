#include "files/IntelHex.h"

#include <cstring>

#include "files/FlashImage.h"

namespace {

constexpr size_t kMaxRecordBytes = 5 + 255;  // count, address (2), type, data, checksum

bool IsLineEndBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Digit values by character, 0xFF for a character that is not a hexadecimal digit. A table
// instead of comparisons: random data makes the digit/letter branches unpredictable, and
// this loop is where a HEX file's load time goes.
struct HexDigitTable {
    uint8_t value[256];
    constexpr HexDigitTable() : value() {
        for (int c = 0; c < 256; ++c) value[c] = 0xFF;
        for (int d = 0; d < 10; ++d) value['0' + d] = static_cast<uint8_t>(d);
        for (int d = 0; d < 6; ++d) {
            value['A' + d] = static_cast<uint8_t>(10 + d);
            value['a' + d] = static_cast<uint8_t>(10 + d);
        }
    }
};
constexpr HexDigitTable kHexDigits;

uint8_t HexValue(char c) { return kHexDigits.value[static_cast<unsigned char>(c)]; }

std::string TwoHexDigits(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

// The address state that the extended address records set.
struct Addressing {
    uint32_t base = 0;
    bool segmented = false;  // offsets wrap within 64 KB under a segment address

    // 64-bit, so that a linear address near 4 GB cannot wrap back into the image.
    uint64_t ByteAddress(uint32_t offset, uint32_t index) const {
        return segmented ? uint64_t{base} + ((offset + index) & 0xFFFF)
                         : uint64_t{base} + offset + index;
    }
};

class HexParser {
public:
    explicit HexParser(uint8_t* image) : image_(image) {}

    IntelHexParse Run(std::string_view text) {
        std::memset(image_, 0xFF, kFlashImageSize);
        size_t pos = 0;
        while (pos < text.size() && !endOfFile_) {
            ++line_;
            const size_t newline = text.find('\n', pos);
            const size_t stop = newline == std::string_view::npos ? text.size() : newline;
            std::string_view lineText = text.substr(pos, stop - pos);
            pos = stop + 1;
            while (!lineText.empty() && IsLineEndBlank(lineText.back())) lineText.remove_suffix(1);
            if (lineText.empty()) continue;
            if (!Record(lineText)) return result_;
        }
        if (!anyData_) return Fail(0, "holds no data");
        result_.ok = true;
        result_.length = end_;
        return result_;
    }

private:
    IntelHexParse Fail(uint32_t line, std::string reason) {
        result_.ok = false;
        result_.line = line;
        result_.reason = std::move(reason);
        return result_;
    }
    bool Reject(std::string reason) {
        Fail(line_, std::move(reason));
        return false;
    }

    bool Record(std::string_view lineText) {
        if (lineText.front() != ':') return Reject("text outside a record");
        const std::string_view digits = lineText.substr(1);
        uint8_t invalid = 0;
        for (const char c : digits) invalid |= HexValue(c) & 0xF0;
        if (invalid != 0) {
            size_t i = 0;
            while (HexValue(digits[i]) != 0xFF) ++i;
            return Reject("a character that is not a hexadecimal digit at column " +
                          std::to_string(i + 2));
        }
        if (digits.size() < 10) return Reject("record cut short");
        const size_t count = Byte(digits, 0);
        const size_t expected = 2 * (count + 5);
        if (digits.size() < expected) return Reject("record cut short");
        if (digits.size() > expected) return Reject("record too long");

        uint8_t bytes[kMaxRecordBytes];
        unsigned sum = 0;
        for (size_t i = 0; i < count + 5; ++i) {
            bytes[i] = Byte(digits, i);
            sum += bytes[i];
        }
        if ((sum & 0xFF) != 0) return Reject("wrong record checksum");

        const uint32_t offset = (uint32_t{bytes[1]} << 8) | bytes[2];
        const uint8_t type = bytes[3];
        const uint8_t* data = bytes + 4;
        switch (type) {
            case 0x00: return Data(offset, data, count);
            case 0x01:
                if (count != 0) return Reject("wrong byte count for an end-of-file record");
                endOfFile_ = true;
                return true;
            case 0x02:
            case 0x04: {
                if (count != 2) return Reject("wrong byte count for an address record");
                const uint32_t value = (uint32_t{data[0]} << 8) | data[1];
                addressing_.segmented = type == 0x02;
                addressing_.base = addressing_.segmented ? value << 4 : value << 16;
                return true;
            }
            case 0x03:
            case 0x05:
                if (count != 4) return Reject("wrong byte count for a start address record");
                return true;
            default: return Reject("unknown record type " + TwoHexDigits(type));
        }
    }

    bool Data(uint32_t offset, const uint8_t* data, size_t count) {
        if (count == 0) {
            // An empty data record still reaches its address, as its end address.
            const uint64_t at = uint64_t{addressing_.base} + offset;
            if (at > kFlashImageSize) return Reject("data beyond 256 KB");
            Raise(static_cast<uint32_t>(at));
            return true;
        }
        for (size_t i = 0; i < count; ++i) {
            const uint64_t at = addressing_.ByteAddress(offset, static_cast<uint32_t>(i));
            if (at >= kFlashImageSize) return Reject("data beyond 256 KB");
            image_[at] = data[i];
            Raise(static_cast<uint32_t>(at + 1));
        }
        anyData_ = true;
        return true;
    }

    void Raise(uint32_t end) {
        if (end > end_) end_ = end;
    }

    static uint8_t Byte(std::string_view digits, size_t index) {
        return static_cast<uint8_t>((HexValue(digits[2 * index]) << 4) | HexValue(digits[2 * index + 1]));
    }

    uint8_t* image_;
    IntelHexParse result_;
    Addressing addressing_;
    uint32_t line_ = 0;
    uint32_t end_ = 0;
    bool anyData_ = false;
    bool endOfFile_ = false;
};

}  // namespace

IntelHexParse ParseIntelHex(std::string_view text, uint8_t* image) {
    return HexParser(image).Run(text);
}
