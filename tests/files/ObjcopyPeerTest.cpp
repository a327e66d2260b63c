// Our HEX reader against GNU objcopy: random binaries converted to Intel HEX by objcopy
// (which writes extended segment address records above 64 KB) must load into exactly
// the bytes that objcopy converts back, with the same length and checksum.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "FileTestSupport.h"
#include "files/FlashImage.h"
#include "files/HexFile.h"

namespace {

const std::string kObjcopy = QUORVEL_OBJCOPY;

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

bool Objcopy(const std::string& arguments) {
    return std::system((Quoted(kObjcopy) + " " + arguments + " 2>/dev/null").c_str()) == 0;
}

class ObjcopyPeerTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        if (kObjcopy.empty()) GTEST_SKIP() << "objcopy was not found at configure time";
    }
    // Writes `data` as binary and converts it to HEX placed at `address`.
    std::string ToHex(const Bytes& data, uint32_t address) {
        const std::string bin = dir.Write("in.bin", data);
        const std::string hex = dir.File("in.hex");
        const std::string moved = address ? " --change-addresses " + std::to_string(address) : "";
        EXPECT_TRUE(Objcopy("-I binary -O ihex" + moved + " " + Quoted(bin) + " " + Quoted(hex)));
        return hex;
    }
};

TEST_F(ObjcopyPeerTest, LoadsWhatObjcopyConvertsBack) {
    struct Case {
        size_t size;
        uint32_t address;
    } cases[] = {
        {1, 0},          {255, 0},          {4096, 0x1234}, {65536, 0},
        {65537, 0},      {65536, 0x8000},   {200000, 0x10},  {kFlashImageSize - 0x1234, 0x1234},
        {kFlashImageSize, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " at " + std::to_string(c.address));
        const Bytes data = RandomBytes(c.size, static_cast<uint32_t>(c.size + c.address));
        const std::string hex = ToHex(data, c.address);
        const ProgramFileLoad load = ReadHexFile(hex);
        ASSERT_TRUE(load.ok) << load.message;

        const std::string back = dir.File("back.bin");
        ASSERT_TRUE(Objcopy("-I ihex -O binary " + Quoted(hex) + " " + Quoted(back)));
        const Bytes peer = ReadAll(back);
        ASSERT_EQ(peer, data);  // objcopy itself round-trips
        // objcopy writes from the lowest address present; compare at the offset.
        ASSERT_EQ(gImageLength, c.address + peer.size());
        EXPECT_EQ(0, std::memcmp(gFlashImage + c.address, peer.data(), peer.size()));
        for (uint32_t i = 0; i < c.address; ++i) ASSERT_EQ(gFlashImage[i], 0xFF) << i;
        const uint16_t expected =
            static_cast<uint16_t>(c.address * 0xFF + Sum16(peer.data(), peer.size()));
        EXPECT_EQ(load.checksum, expected);
    }
}

TEST_F(ObjcopyPeerTest, ImageThatEndsBeyondTwoHundredFiftySixKilobytesIsRejected) {
    const std::string hex = ToHex(RandomBytes(kFlashImageSize, 3), 0x10);
    const ProgramFileLoad load = ReadHexFile(hex);
    EXPECT_FALSE(load.ok);
    EXPECT_EQ(load.error, ProgramFileError::Malformed);
    EXPECT_EQ(load.reason, "data beyond 256 KB");
    EXPECT_GT(load.line, 16000u);  // the last data lines, not the first
    EXPECT_EQ(gImageLength, 0u);
}

}  // namespace
