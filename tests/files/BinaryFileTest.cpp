// Raw binary program files, the file-type letter and the ISP page's load.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "files/FlashImage.h"
#include "files/ProgramFile.h"

namespace {

class BinaryFileTest : public FilesTest {
protected:
    // Loads a known image so that a rejected file can be seen to leave it alone.
    void Prime() {
        ASSERT_TRUE(ReadBinaryFile(dir.Write("prime.bin", RandomBytes(1000, 7))).ok);
        primed.assign(gFlashImage, gFlashImage + kFlashImageSize);
        primedLength = gImageLength;
    }
    void ExpectPrimedImage() {
        EXPECT_EQ(gImageLength, primedLength);
        EXPECT_EQ(0, std::memcmp(gFlashImage, primed.data(), kFlashImageSize));
    }
    Bytes primed;
    uint32_t primedLength = 0;
};

TEST_F(BinaryFileTest, LoadsBytesFromZeroAndErasesTheRest) {
    struct Case {
        const char* what;
        Bytes content;
        uint32_t length;
        uint16_t checksum;
    } cases[] = {
        {"three bytes", {0x01, 0x02, 0x03}, 3, 0x0006},
        {"256 KB of 0xFF wraps to 0", Bytes(kFlashImageSize, 0xFF), kFlashImageSize, 0x0000},
        {"300 KB gives its first 256 KB", Bytes(300 * 1024, 0x01), kFlashImageSize, 0x0000},
        {"one byte short of full", Bytes(kFlashImageSize - 1, 0x02), kFlashImageSize - 1,
         static_cast<uint16_t>(2 * (kFlashImageSize - 1))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prime();
        const ProgramFileLoad load = ReadBinaryFile(dir.Write("image.bin", c.content));
        ASSERT_TRUE(load.ok) << load.message;
        EXPECT_EQ(load.length, c.length);
        EXPECT_EQ(gImageLength, c.length);
        EXPECT_EQ(load.checksum, c.checksum);
        EXPECT_EQ(0, std::memcmp(gFlashImage, c.content.data(), c.length));
        for (uint32_t i = c.length; i < kFlashImageSize; ++i) {
            ASSERT_EQ(gFlashImage[i], 0xFF) << "offset " << i;
        }
    }
}

TEST_F(BinaryFileTest, RejectedFilesNameTheFileAndLoadNothing) {
    Prime();
    struct Case {
        std::string name;
        ProgramFileError error;
        std::string reasonStart;
    } cases[] = {
        {dir.Write("empty.bin", std::string()), ProgramFileError::NoData, "is empty"},
        {dir.File("missing.bin"), ProgramFileError::CannotOpen, "cannot be opened"},
        {dir.Path().string() + "/", ProgramFileError::CannotOpen, "is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFileLoad load = ReadBinaryFile(c.name);
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.error, c.error);
        EXPECT_EQ(load.reason.rfind(c.reasonStart, 0), 0u) << load.reason;
        EXPECT_EQ(load.message, "Program file \"" + c.name + "\" " + load.reason);
        EXPECT_EQ(load.line, 0u);
        ExpectPrimedImage();
    }
}

TEST_F(BinaryFileTest, TypeLetterIsTheThirdCharacterFromTheEnd) {
    struct Case {
        std::string name;
        ProgramFileType type;
    } cases[] = {
        {"a.bin", ProgramFileType::Binary}, {"a.Bin", ProgramFileType::Binary},
        {"a.BIN", ProgramFileType::Binary}, {"a.hex", ProgramFileType::Hex},
        {"a.H00", ProgramFileType::Hex},    {"a.h86", ProgramFileType::Hex},
        {"a.txt", ProgramFileType::Unknown}, {"a.bin.txt", ProgramFileType::Unknown},
        {"/tmp/hex/a.bi", ProgramFileType::Unknown},  // third from the end is '.'
        {"bxy", ProgramFileType::Binary},   {"b1", ProgramFileType::Binary},
        {"h", ProgramFileType::Hex},        {"xb", ProgramFileType::Unknown},
        {"", ProgramFileType::Unknown},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgramFileTypeOf(c.name), c.type) << c.name;
}

TEST_F(BinaryFileTest, ProgramFileReadyFollowsTheLastLoad) {
    const std::string good = dir.Write("good.bin", Bytes{0x10, 0x20});
    ProgramFileLoad load = LoadProgramFile(good);
    ASSERT_TRUE(load.ok);
    EXPECT_TRUE(gProgramFileReady);
    EXPECT_EQ(load.checksum, 0x0030);

    struct Case {
        std::string name;
        ProgramFileError error;
    } failures[] = {
        {dir.Write("notes.txt", Bytes{0x01}), ProgramFileError::UnknownType},
        {dir.File("typo.bni"), ProgramFileError::CannotOpen},  // 'b': read as binary
        {dir.Write("empty.hex", std::string()), ProgramFileError::NoData},
        {dir.Write("bad.hex", std::string("not a record\n")), ProgramFileError::Malformed},
    };
    for (const Case& c : failures) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(LoadProgramFile(good).ok);
        load = LoadProgramFile(c.name);
        EXPECT_FALSE(load.ok);
        EXPECT_EQ(load.error, c.error);
        EXPECT_FALSE(gProgramFileReady);
        EXPECT_NE(load.message.find("\"" + c.name + "\""), std::string::npos) << load.message;
        // The previous file's image stays for whoever still shows it.
        EXPECT_EQ(gImageLength, 2u);
        EXPECT_EQ(gFlashImage[1], 0x20);
    }

    ASSERT_TRUE(LoadProgramFile(good).ok);
    load = LoadProgramFile("");
    EXPECT_EQ(load.error, ProgramFileError::NoFileName);
    EXPECT_EQ(load.message, "Program File Not Ready !!    ");
    EXPECT_FALSE(gProgramFileReady);
    EXPECT_EQ(gImageLength, 2u);
}

TEST_F(BinaryFileTest, LoadingAgainStartsFromAnErasedImage) {
    ASSERT_TRUE(LoadProgramFile(dir.Write("long.bin", Bytes(64, 0x00))).ok);
    const ProgramFileLoad load = LoadProgramFile(dir.Write("short.bin", Bytes(4, 0x00)));
    ASSERT_TRUE(load.ok);
    EXPECT_EQ(gImageLength, 4u);
    EXPECT_EQ(gFlashImage[4], 0xFF);
    EXPECT_EQ(gFlashImage[63], 0xFF);
}

TEST_F(BinaryFileTest, FileBoxListKeepsOneEntryPerExactName) {
    std::vector<std::string> names;
    EXPECT_EQ(RememberProgramFile(names, "/fw/a.hex"), 0u);
    EXPECT_EQ(RememberProgramFile(names, "/fw/b.bin"), 1u);
    EXPECT_EQ(RememberProgramFile(names, "/fw/a.hex"), 0u);
    EXPECT_EQ(RememberProgramFile(names, "/fw/A.hex"), 2u);  // case-sensitive
    EXPECT_EQ(names, (std::vector<std::string>{"/fw/a.hex", "/fw/b.bin", "/fw/A.hex"}));
}

TEST_F(BinaryFileTest, ChecksumCaptionHasFourUpperCaseDigits) {
    EXPECT_EQ(ChecksumCaption(0x0006), "Checksum : 0x0006");
    EXPECT_EQ(ChecksumCaption(0xABCD), "Checksum : 0xABCD");
    EXPECT_EQ(HexDigits4(0x00F0), "00F0");
}

}  // namespace
