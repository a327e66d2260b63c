// The Windows variants of the file calls and of the simulator's state lock.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <random>
#include <string>

#include "files/FileBytes.h"
#include "files/ReplaceFile.h"
#include "sim/SimStateLock.h"

namespace {

namespace fs = std::filesystem;

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir = fs::temp_directory_path() /
              ("quorvel-winfiles-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(seed()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path dir;
};

TEST_F(WindowsFiles, BytesTravelUntranslatedAndAnExistingFileIsReplaced) {
    // CR LF, a lone LF and 0x1A (the end of a text file to the C library) must all survive.
    const std::string bytes("\r\n\n\x1a\r\x00\xff", 7);
    const std::string name = (dir / "image.bin").string();
    std::string error;
    ASSERT_TRUE(WriteFileReplacing(name, reinterpret_cast<const uint8_t*>("old contents"), 12, error)) << error;
    ASSERT_TRUE(WriteFileReplacing(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error))
        << error;
    const FileBytes read = ReadFileBytes(name, 1024);
    ASSERT_EQ(read.status, FileBytes::Ok) << read.systemReason;
    EXPECT_EQ(read.bytes, bytes);
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    EXPECT_EQ(ReadFileBytes((dir / "missing.bin").string(), 16).status, FileBytes::CannotOpen);
    EXPECT_FALSE(WriteFileReplacing(dir.string(), nullptr, 0, error));
}

TEST_F(WindowsFiles, ReadOnlyTargetIsReportedNotSilentlyKept) {
    const std::string name = (dir / "locked.bin").string();
    std::string error;
    ASSERT_TRUE(WriteFileReplacing(name, reinterpret_cast<const uint8_t*>("a"), 1, error));
    ASSERT_TRUE(SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteFileReplacing(name, reinterpret_cast<const uint8_t*>("b"), 1, error));
    EXPECT_NE(error.find("cannot replace"), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(name, 16).bytes, "a");
    SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsFiles, StateDirectoryIsHeldByOneLockAtATime) {
    const std::string state = (dir / "state").string();
    std::string error;
    {
        SimStateLock first;
        ASSERT_TRUE(first.Acquire(state, error)) << error;
        SimStateLock second;
        EXPECT_FALSE(second.Acquire(state, error));
        EXPECT_EQ(error, "state directory in use");
    }
    SimStateLock again;
    EXPECT_TRUE(again.Acquire(state, error)) << error;
}

}  // namespace
