// The user-parameter table: finding it, patching it, and writing the patched copy.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "FileTestSupport.h"
#include "files/FlashImage.h"
#include "files/ParameterTable.h"
#include "files/ProgramFile.h"

namespace {

const TableTexts kDefaultTexts = {"Quorvel-inc", "Quorvel-inc DUR22", "QVUA170405",
                                  "Primary Play Interface", "Record Interface"};

class ParameterTableTest : public FilesTest {
protected:
    // A firmware image of `size` bytes with `signature` written at each offset.
    static Bytes Image(size_t size, std::initializer_list<size_t> at,
                       const std::string& signature = kTableSignature) {
        Bytes image = RandomBytes(size, static_cast<uint32_t>(size));
        for (uint8_t& b : image) {
            if (b == 'D') b = 'd';  // no accidental signature start
        }
        for (size_t p : at) std::memcpy(image.data() + p, signature.data(), signature.size());
        return image;
    }
    bool Load(const Bytes& image, const std::string& name = "fw.bin") {
        loaded = image;
        return LoadModifyImage(dir.Write(name, image));
    }
    TableWrite Save(const std::string& vid = "7C3D", const std::string& pid = "6012",
                    const TableTexts& texts = kDefaultTexts) {
        return WriteModifiedImage(saveName, vid, pid, texts);
    }
    Bytes Table() const { return Bytes(gModifyImage + gTableOffset, gModifyImage + gTableOffset + kTableSize); }

    Bytes loaded;
    std::string saveName = dir.File("new.bin");
};

TEST_F(ParameterTableTest, FindsTheFirstPositionOfTheFirstTenCharacters) {
    struct Case {
        const char* what;
        Bytes image;
        bool found;
        uint32_t offset;
    } cases[] = {
        {"in the middle", Image(1000, {300}), true, 300},
        {"at offset 0", Image(1000, {0}), true, 0},
        {"two tables", Image(1000, {120, 500}), true, 120},
        {"other version digits", Image(1000, {64}, "DEVIR_Odav99"), true, 64},
        {"ten characters only", Image(1000, {64}, "DEVIR_OdavXYZ"), true, 64},
        {"nine characters", Image(1000, {64}, "DEVIR_OdaX"), false, 0},
        {"absent", Image(1000, {}), false, 0},
        {"whole table at the very end", Image(1000, {1000 - kTableSize}), true, 1000 - kTableSize},
        {"table cut off by the end", Image(1000, {1000 - kTableSize + 1}), false, 0},
        {"image shorter than a table", Image(kTableSize - 1, {0}), false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gTableOffset = 77;
        ASSERT_TRUE(Load(c.image));
        EXPECT_EQ(FindParameterTable(), c.found);
        EXPECT_EQ(gTableFound, c.found);
        EXPECT_EQ(gTableOffset, c.offset);
    }
}

TEST_F(ParameterTableTest, PatchesStringsAndIdsIntoTheTable) {
    struct Case {
        const char* what;
        std::string vid, pid;
        TableTexts texts;
        Bytes vidPid;
        std::string string0, string1;
    } cases[] = {
        {"defaults", "7C3D", "6012", kDefaultTexts, {0x7C, 0x3D, 0x60, 0x12},
         "Quorvel-inc" + std::string(21, ' '), "Quorvel-inc DUR22" + std::string(15, ' ')},
        {"short, long and empty texts", "7c3d", "16012",
         {"ABC", std::string(40, 'x') , "", "", ""}, {0x7C, 0x3D, 0x60, 0x12},
         "ABC" + std::string(29, ' '), std::string(32, 'x')},
        {"small and 32-bit values", "1", "FFFFFFFF", {std::string(32, 'y'), "", "", "", ""},
         {0x00, 0x01, 0xFF, 0xFF}, std::string(32, 'y'), std::string(32, ' ')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Load(Image(2000, {700})));
        ASSERT_TRUE(FindParameterTable());
        const TableWrite write = PatchParameterTable(c.vid, c.pid, c.texts);
        ASSERT_TRUE(write.ok) << write.message;
        const Bytes table = Table();
        EXPECT_EQ(Bytes(table.begin() + 13, table.begin() + 17), c.vidPid);
        EXPECT_EQ(std::string(table.begin() + 17, table.begin() + 49), c.string0);
        EXPECT_EQ(std::string(table.begin() + 49, table.begin() + 81), c.string1);
        EXPECT_EQ(0, std::memcmp(table.data(), kTableSignature, 13));
        EXPECT_EQ(write.sum, Sum16(gModifyImage, gModifyLength));
    }
}

TEST_F(ParameterTableTest, WrittenFileIsTheImageChangedOnlyInTheTableFields) {
    const size_t t = 12345;
    ASSERT_TRUE(Load(Image(100000, {t, 50000})));
    ASSERT_TRUE(FindParameterTable());
    const TableWrite write = Save();
    ASSERT_TRUE(write.ok) << write.message;

    const Bytes file = ReadAll(saveName);
    ASSERT_EQ(file.size(), gModifyLength);
    ASSERT_EQ(file.size(), loaded.size());
    for (size_t i = 0; i < file.size(); ++i) {
        if (i >= t + 13 && i <= t + 176) continue;
        ASSERT_EQ(file[i], loaded[i]) << "offset " << i;
    }
    EXPECT_EQ(Bytes(file.begin() + t + 13, file.begin() + t + 17), (Bytes{0x7C, 0x3D, 0x60, 0x12}));
    EXPECT_EQ(std::string(file.begin() + t + 145, file.begin() + t + 177),
              "Record Interface" + std::string(16, ' '));
    EXPECT_EQ(write.sum, Sum16(file.data(), file.size()));

    // A second save with the same texts writes the same bytes and the same sum, over the
    // first file, leaving no temporary file behind.
    const TableWrite again = Save();
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.sum, write.sum);
    EXPECT_EQ(ReadAll(saveName), file);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()), 2);  // fw.bin, new.bin
}

TEST_F(ParameterTableTest, NothingIsPatchedOrWrittenWithoutAFoundTable) {
    // A search that found nothing (gTableOffset 0 would otherwise patch the image start),
    // and a loaded copy that was not searched again.
    ASSERT_TRUE(Load(Image(1000, {})));
    EXPECT_FALSE(FindParameterTable());
    TableWrite write = Save();
    EXPECT_FALSE(write.ok);
    EXPECT_EQ(write.error, TableWriteError::NoTable);
    EXPECT_FALSE(std::filesystem::exists(saveName));
    EXPECT_EQ(0, std::memcmp(gModifyImage, loaded.data(), loaded.size()));

    ASSERT_TRUE(Load(Image(1000, {10})));
    ASSERT_TRUE(FindParameterTable());
    ASSERT_TRUE(Load(Image(1000, {20})));
    write = Save();
    EXPECT_EQ(write.error, TableWriteError::NoTable);
    EXPECT_FALSE(std::filesystem::exists(saveName));
}

TEST_F(ParameterTableTest, RefusedLoadKeepsTheWorkingCopyAndBlocksTheSave) {
    ASSERT_TRUE(Load(Image(1000, {40})));
    ASSERT_TRUE(FindParameterTable());
    const Bytes copy(gModifyImage, gModifyImage + kFlashImageSize);
    const std::string refused[] = {dir.Write("fw.txt", Image(500, {})), dir.File("missing.bin"),
                                   dir.Write("empty.bin", Bytes{}),
                                   dir.Write("bad.hex", std::string(":00000001FE\n"))};
    for (const std::string& name : refused) {
        SCOPED_TRACE(name);
        const ProgramFileLoad load = LoadModifyImageFile(name);
        EXPECT_FALSE(load.ok);
        EXPECT_NE(load.message.find(std::filesystem::path(name).filename().string()), std::string::npos)
            << load.message;
        EXPECT_EQ(gModifyLength, 1000u);
        EXPECT_EQ(0, std::memcmp(gModifyImage, copy.data(), kFlashImageSize));
        EXPECT_EQ(gImageLength, 1000u);
        EXPECT_EQ(Save().error, TableWriteError::NoTable);
    }
}

TEST_F(ParameterTableTest, LoadGoesThroughTheFlashImageButNotTheReadyFlag) {
    gProgramFileReady = true;
    const Bytes image = Image(3000, {0});
    ASSERT_TRUE(Load(image));
    EXPECT_EQ(gModifyLength, 3000u);
    EXPECT_EQ(gImageLength, 3000u);
    EXPECT_EQ(0, std::memcmp(gFlashImage, image.data(), image.size()));
    EXPECT_EQ(0, std::memcmp(gModifyImage, image.data(), image.size()));
    EXPECT_TRUE(gProgramFileReady);

    // A shorter load replaces only its own length; the rest of the copy stays.
    ASSERT_TRUE(Load(Bytes(100, 0x00)));
    EXPECT_EQ(gModifyLength, 100u);
    EXPECT_EQ(gModifyImage[100], image[100]);
}

TEST_F(ParameterTableTest, ConversionErrorsStopBeforeTheFileWithTheirMessage) {
    struct Case {
        std::string vid, pid;
        std::string message;
        bool vidPatched;
    } cases[] = {
        {"7G3D", "6012", "'0x7G3D' is not a valid integer value", false},
        {"", "6012", "'0x' is not a valid integer value", false},
        {"7C3D", "60 12", "'0x60 12' is not a valid integer value", true},
        {"7C3D", "100000000", "'0x100000000' is not a valid integer value", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vid + "/" + c.pid);
        ASSERT_TRUE(Load(Image(1000, {100})));
        ASSERT_TRUE(FindParameterTable());
        const TableWrite write = Save(c.vid, c.pid, {"ABC", "", "", "", ""});
        EXPECT_FALSE(write.ok);
        EXPECT_EQ(write.error, TableWriteError::InvalidInteger);
        EXPECT_EQ(write.message, c.message);
        EXPECT_EQ(write.sum, 0);
        EXPECT_FALSE(std::filesystem::exists(saveName));
        // The fields before the failing one are already in the working copy.
        EXPECT_EQ(std::string(gModifyImage + 117, gModifyImage + 120), "ABC");
        EXPECT_EQ(gModifyImage[113] == 0x7C && gModifyImage[114] == 0x3D, c.vidPatched);
    }
}

TEST_F(ParameterTableTest, UnwritableTargetReportsFailureAndNoSum) {
    ASSERT_TRUE(Load(Image(1000, {100})));
    ASSERT_TRUE(FindParameterTable());
    std::filesystem::create_directory(dir.File("taken"));
    const std::string targets[] = {dir.File("no-such-folder/new.bin"), dir.File("taken"), ""};
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        saveName = target;
        const TableWrite write = Save();
        EXPECT_FALSE(write.ok);
        EXPECT_EQ(write.error, TableWriteError::WriteFailed);
        EXPECT_EQ(write.sum, 0);
        EXPECT_EQ(write.message.rfind("Save failed", 0), 0u) << write.message;
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));
    // Nothing but the loaded image and the folder remain: no temporary file left over.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()), 2);
}

}  // namespace
