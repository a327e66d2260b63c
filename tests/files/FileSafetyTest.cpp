// What the tool does with paths that are not plain files: written files replace their
// target safely (or are written in place into devices and FIFOs), read program files must
// be regular and of a sane size.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "FileTestSupport.h"
#include "files/FlashImage.h"
#include "files/ProgramFile.h"
#include "files/ReplaceFile.h"

namespace fs = std::filesystem;

namespace {

class FileSafetyTest : public FilesTest {
protected:
    bool Write(const std::string& name, const std::string& text, std::string& error) {
        return WriteFileReplacing(name, reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                  error);
    }
    TempDir dir;
};

TEST_F(FileSafetyTest, ReplacedFileKeepsItsPermissionBits) {
    const std::string target = dir.Write("backup.bin", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    std::string error;
    ASSERT_TRUE(Write(target, "new", error)) << error;
    EXPECT_EQ(ReadAll(target), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator{}), 1)
        << "no temporary file is left behind";
}

TEST_F(FileSafetyTest, SymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    const std::string target = dir.Write("real.bin", "old");
    const std::string link = dir.File("link.bin");
    fs::create_symlink("real.bin", link);
    std::string error;
    ASSERT_TRUE(Write(link, "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(ReadAll(target), (Bytes{'n', 'e', 'w'}));
}

TEST_F(FileSafetyTest, DevicesAndFifosAreWrittenInPlaceNeverReplaced) {
    std::string error;
    ASSERT_TRUE(Write("/dev/null", "anything", error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reader is there first, so the write does not wait for one.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(Write(fifo, "through", error)) << error;
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_STREQ(got, "through");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FileSafetyTest, FolderIsRefused) {
    std::string error;
    EXPECT_FALSE(Write(dir.Path().string(), "x", error));
    EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(dir.Path()));
}

TEST_F(FileSafetyTest, ProgramFilesMustBeRegularAndOfSaneSize) {
    const std::string fifo = dir.File("firmware.hex");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.File("zero.hex");
    fs::create_symlink("/dev/zero", zero);
    // 17 MiB of text that would otherwise be read whole.
    const std::string huge = dir.Write("huge.hex", std::string((size_t{17} << 20), '\n'));
    struct Case {
        std::string name;
        const char* reason;
    } cases[] = {
        {fifo, "is not a regular file"},  // would wait for a writer for ever
        {zero, "is not a regular file"},  // would never end
        {huge, "is too large"},
    };
    fs::create_symlink("/dev/zero", dir.File("zero.bin.link"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFileLoad load = LoadProgramFile(c.name);
        EXPECT_FALSE(load.ok);
        EXPECT_FALSE(gProgramFileReady);
        EXPECT_EQ(load.reason.rfind(c.reason, 0), 0u) << load.reason;
    }
    const ProgramFileLoad device = ReadBinaryFile(dir.File("zero.bin.link"));
    EXPECT_EQ(device.reason, "is not a regular file");
}

TEST_F(FileSafetyTest, IhxNamesAreReadAsIntelHex) {
    const std::string name =
        dir.Write("firmware.ihx", DataRecord(0x0010, {0x12, 0x34}) + "\n" + EndRecord() + "\n");
    const ProgramFileLoad load = LoadProgramFile(name);
    ASSERT_TRUE(load.ok) << load.message;
    EXPECT_EQ(load.length, 0x12u);
    EXPECT_EQ(gFlashImage[0x10], 0x12);
    EXPECT_EQ(ProgramFileTypeOf("FIRMWARE.IHX"), ProgramFileType::Hex);
}

}  // namespace
