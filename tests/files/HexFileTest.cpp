// Intel HEX program files: the records honoured, the layout they give, and the files
// that are rejected with their line number and load nothing.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FileTestSupport.h"
#include "files/FlashImage.h"
#include "files/HexFile.h"

namespace {

class HexFileTest : public FilesTest {
protected:
    ProgramFileLoad Load(const std::string& text) { return ReadHexFile(dir.Write("image.hex", text)); }
    static Bytes Seq(size_t size, uint8_t first) {
        Bytes bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(first + i);
        return bytes;
    }
    static void ExpectErasedExcept(uint32_t from, uint32_t to) {
        for (uint32_t i = 0; i < kFlashImageSize; ++i) {
            if (i < from || i >= to) {
                ASSERT_EQ(gFlashImage[i], 0xFF) << "offset " << i;
            }
        }
    }
};

TEST_F(HexFileTest, SixteenBytesAtOneHundredCountTheLeadingErasedBytes) {
    const Bytes data = Seq(16, 0x01);
    const ProgramFileLoad load = Load(DataRecord(0x0100, data) + "\n" + EndRecord() + "\n");
    ASSERT_TRUE(load.ok) << load.message;
    EXPECT_EQ(gImageLength, 0x110u);
    EXPECT_EQ(load.length, 0x110u);
    EXPECT_EQ(load.checksum, static_cast<uint16_t>(256 * 0xFF + Sum16(data.data(), 16)));
    EXPECT_EQ(0, std::memcmp(gFlashImage + 0x100, data.data(), 16));
    ExpectErasedExcept(0x100, 0x110);
}

TEST_F(HexFileTest, RecordsWithinSixtyFourKilobytesLoadAtTheirAddresses) {
    // Lower-case digits, CRLF line ends, blank lines and trailing blanks; overlapping
    // records (the later wins) and a record running past 0xFFFF, which without an address
    // record continues above 64 KB.
    const std::string text = DataRecord(0x0000, {0x11, 0x22, 0x33, 0x44}) + "\r\n\r\n" +
                             DataRecord(0x0002, {0xAA}) + "  \t\r\n" +
                             "\n" + DataRecord(0xFFF8, Seq(16, 0x80)) + "\r\n" +
                             EndRecord() + "\r\n";
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const ProgramFileLoad load = Load(lower);
    ASSERT_TRUE(load.ok) << load.message;
    EXPECT_EQ(gImageLength, 0x10008u);
    EXPECT_EQ(gFlashImage[0], 0x11);
    EXPECT_EQ(gFlashImage[2], 0xAA);
    EXPECT_EQ(gFlashImage[3], 0x44);
    EXPECT_EQ(gFlashImage[4], 0xFF);
    EXPECT_EQ(gFlashImage[0xFFF8], 0x80);
    EXPECT_EQ(gFlashImage[0x10007], 0x8F);
    EXPECT_EQ(gFlashImage[0x10008], 0xFF);
    EXPECT_EQ(load.checksum, Sum16(gFlashImage, 0x10008));
}

TEST_F(HexFileTest, AddressRecordsSelectTheUpperImage) {
    struct Case {
        const char* what;
        std::string text;
        uint32_t at;       // where the data record's first byte lands
        uint32_t wrapAt;   // where its ninth byte lands
        uint32_t length;
    } cases[] = {
        {"linear 0001", LinearRecord(0x0001) + "\n" + DataRecord(0x0000, Seq(16, 1)), 0x10000,
         0x10008, 0x10010},
        {"linear 0003 near the top", LinearRecord(0x0003) + "\n" + DataRecord(0xFFF0, Seq(16, 1)),
         0x3FFF0, 0x3FFF8, 0x40000},
        {"linear offsets run on", LinearRecord(0x0001) + "\n" + DataRecord(0xFFF8, Seq(16, 1)),
         0x1FFF8, 0x20000, 0x20008},
        {"segment 1000", SegmentRecord(0x1000) + "\n" + DataRecord(0x0010, Seq(16, 1)), 0x10010,
         0x10018, 0x10020},
        {"segment offsets wrap", SegmentRecord(0x1000) + "\n" + DataRecord(0xFFF8, Seq(16, 1)),
         0x1FFF8, 0x10000, 0x20000},
        {"linear 0000 after a segment", SegmentRecord(0x2000) + "\n" + LinearRecord(0x0000) +
         "\n" + DataRecord(0x0020, Seq(16, 1)), 0x20, 0x28, 0x30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramFileLoad load = Load(c.text + "\n" + EndRecord() + "\n");
        ASSERT_TRUE(load.ok) << load.message;
        EXPECT_EQ(gFlashImage[c.at], 0x01);
        EXPECT_EQ(gFlashImage[c.wrapAt], 0x09);
        EXPECT_EQ(gImageLength, c.length);
        // The address record is no data: the image start stays erased.
        EXPECT_EQ(gFlashImage[0], 0xFF);
        EXPECT_EQ(gFlashImage[1], 0xFF);
        EXPECT_EQ(load.checksum, Sum16(gFlashImage, c.length));
    }
}

TEST_F(HexFileTest, EndOfFileStopsAndStartAddressesAreIgnored) {
    const std::string text = HexRecord(0x03, 0, {0x00, 0x00, 0x12, 0x34}) + "\n" +
                             HexRecord(0x05, 0, {0x00, 0x00, 0x01, 0x00}) + "\n" +
                             DataRecord(0x0000, {0x5A}) + "\n" + EndRecord() + "\n" +
                             DataRecord(0x0100, {0x01}) + "\ntrailing text after the end\n";
    const ProgramFileLoad load = Load(text);
    ASSERT_TRUE(load.ok) << load.message;
    EXPECT_EQ(gImageLength, 1u);
    EXPECT_EQ(load.checksum, 0x005A);
    ExpectErasedExcept(0, 1);
}

TEST_F(HexFileTest, MalformedFilesAreRejectedWithTheirLineAndLoadNothing) {
    ASSERT_TRUE(Load(DataRecord(0x0000, Seq(32, 0x40))).ok);
    const Bytes before(gFlashImage, gFlashImage + kFlashImageSize);

    const std::string good = DataRecord(0x0000, Seq(16, 0x10));
    std::string badSum = DataRecord(0x0010, Seq(16, 0x20));
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    std::string badDigit = DataRecord(0x0010, Seq(16, 0x20));
    badDigit[15] = 'G';
    const std::string full = DataRecord(0x0010, Seq(16, 0x20));

    struct Case {
        const char* what;
        std::string text;
        uint32_t line;
        std::string reasonStart;
    } cases[] = {
        {"wrong checksum", good + "\n" + badSum + "\n", 2, "wrong record checksum"},
        {"not a hex digit", good + "\n\n" + badDigit + "\n", 3,
         "a character that is not a hexadecimal digit at column 16"},
        {"cut short", good + "\n" + full.substr(0, full.size() - 2) + "\n", 2, "record cut short"},
        {"header cut short", ":1000\n", 1, "record cut short"},
        {"too long", good + "00\n", 1, "record too long"},
        {"split over two lines", full.substr(0, 20) + "\n" + full.substr(20) + "\n", 1,
         "record cut short"},
        {"unknown type", good + "\n" + HexRecord(0x06, 0, {}) + "\n", 2, "unknown record type 06"},
        {"address record of three bytes", HexRecord(0x04, 0, {0, 1, 2}) + "\n", 1,
         "wrong byte count for an address record"},
        {"end record with data", good + "\n" + HexRecord(0x01, 0, {0}) + "\n", 2,
         "wrong byte count for an end-of-file record"},
        {"text between records", good + "\n; comment\n", 2, "text outside a record"},
        {"leading blank", " " + good + "\n", 1, "text outside a record"},
        {"blank inside a record", good.substr(0, 9) + " " + good.substr(9) + "\n", 1,
         "a character that is not a hexadecimal digit"},
        {"data beyond 256 KB", good + "\n" + LinearRecord(0x0003) + "\n" +
         DataRecord(0xFFF8, Seq(16, 0)) + "\n", 3, "data beyond 256 KB"},
        {"upper address beyond 256 KB", LinearRecord(0x0004) + "\n" + DataRecord(0, {1}) + "\n",
         2, "data beyond 256 KB"},
        {"linear address near 4 GB", LinearRecord(0xFFFF) + "\n" + DataRecord(0xFFFF, {1, 2}) + "\n",
         2, "data beyond 256 KB"},
        {"0xFF byte after the records", good + "\n\xFF", 2, "text outside a record"},
        {"no data", EndRecord() + "\n", 0, "holds no data"},
        {"only an empty data record", DataRecord(0x0100, {}) + "\n", 0, "holds no data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgramFileLoad load = Load(c.text);
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.error, c.line == 0 ? ProgramFileError::NoData : ProgramFileError::Malformed);
        EXPECT_EQ(load.line, c.line);
        EXPECT_EQ(load.reason.rfind(c.reasonStart, 0), 0u) << load.reason;
        const std::string where = c.line == 0 ? " " : ", line " + std::to_string(c.line) + ": ";
        EXPECT_EQ(load.message, "Program file \"" + dir.File("image.hex") + "\"" + where + load.reason);
        EXPECT_EQ(gImageLength, 32u);
        EXPECT_EQ(0, std::memcmp(gFlashImage, before.data(), kFlashImageSize));
    }
}

}  // namespace
