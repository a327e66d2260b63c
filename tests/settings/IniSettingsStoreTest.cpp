// The INI store: what a start finds in files as users have them, and what a save leaves.

#include <gtest/gtest.h>

#include <filesystem>

#include "SettingsTempDir.h"
#include "settings/IniSettingsStore.h"

namespace {

namespace fs = std::filesystem;

SettingsToSave Values() {
    SettingsToSave v;
    v.ispSetting = 0x000804FF;
    v.ispFileName = "/data/fw, final.hex";
    v.usbVidSet = "7c3d";
    v.usbPidSet = "6000";
    return v;
}

TEST(IniSettingsStore, MissingFileIsAMissingKeyAndASaveMakesFolderAndFile) {
    SettingsTempDir dir;
    IniSettingsStore store(dir.File("Quorvel/VARIvor.conf"));
    EXPECT_FALSE(store.Read());
    ASSERT_TRUE(store.Write(Values()));
    const std::optional<StoredSettings> back = store.Read();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ispSetting, 0x000804FFu);
    EXPECT_EQ(back->ispFileName, "/data/fw, final.hex");
    EXPECT_EQ(back->usbVidSet, "7c3d");
    EXPECT_EQ(back->usbPidSet, "6000");
    EXPECT_EQ(SettingsTempDir::Read(dir.File("Quorvel/VARIvor.conf")),
              "[General]\nISPFileName=\"/data/fw, final.hex\"\nISPSetting=525567\nUsbPIDSet=6000\nUsbVIDSet=7c3d\n");
}

TEST(IniSettingsStore, ValuesAsEarlierVersionsAndHandsWroteThem) {
    SettingsTempDir dir;
    struct Case {
        const char* text;
        std::optional<uint32_t> setting;
        std::optional<std::string> vid;
    };
    const Case cases[] = {
        {"[General]\nISPSetting=525567\nUsbVIDSet=0b7e\n", 525567u, "0b7e"},
        {"[General]\r\nISPSetting = 525567 \r\nUsbVIDSet = 0b7e\r\n", 525567u, "0b7e"},  // CR LF, blanks
        {"[General]\nISPSetting=-1\n", 0xFFFFFFFFu, std::nullopt},                      // the four bytes
        {"[General]\nISPSetting=abc\nUsbVIDSet=@Invalid()\n", std::nullopt, std::nullopt},
        {"[General]\nISPSetting=1,2\n", std::nullopt, std::nullopt},  // a list is no number
        {"[General]\nISPSetting=99999999999999999999\n", std::nullopt, std::nullopt},
        // A line that is no setting does not hide the ones that are.
        {"[General]\nUsbVIDSet=0b7e\ngarbage line\n", std::nullopt, "0b7e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        IniSettingsStore store(dir.Write("VARIvor.conf", c.text));
        const std::optional<StoredSettings> found = store.Read();
        ASSERT_TRUE(found);
        EXPECT_EQ(found->ispSetting, c.setting);
        EXPECT_EQ(found->usbVidSet, c.vid);
    }
}

TEST(IniSettingsStore, SaveKeepsEverythingElseOfTheFile) {
    SettingsTempDir dir;
    const std::string name = dir.Write("VARIvor.conf",
                                       "; written by hand\n[General]\nUsbVIDSet=0b7e\nExtra=kept\ngarbage line\n\n"
                                       "[Window]\ngeometry=@ByteArray(xyz)\n");
    IniSettingsStore store(name);
    ASSERT_TRUE(store.Write(Values()));
    EXPECT_EQ(SettingsTempDir::Read(name),
              "; written by hand\n[General]\nUsbVIDSet=7c3d\nExtra=kept\ngarbage line\n"
              "ISPFileName=\"/data/fw, final.hex\"\nISPSetting=525567\nUsbPIDSet=6000\n\n"
              "[Window]\ngeometry=@ByteArray(xyz)\n");
}

TEST(IniSettingsStore, LongTextsAreCutToTwoHundredFiftyFiveCharacters) {
    SettingsTempDir dir;
    IniSettingsStore store(dir.File("VARIvor.conf"));
    SettingsToSave v = Values();
    std::string longName;
    for (int i = 0; i < 300; ++i) longName += "\xc3\xa9";  // two bytes, one character
    v.ispFileName = longName;
    ASSERT_TRUE(store.Write(v));
    EXPECT_EQ(store.Read()->ispFileName, longName.substr(0, 510));
}

TEST(IniSettingsStore, FileThatCannotBeReadOrChangedIsLeftAlone) {
    SettingsTempDir dir;
    // A file far larger than any settings file is not read and not replaced.
    const std::string bigText = "[General]\nUsbVIDSet=0b7e\n" + std::string(2 << 20, ';');
    const std::string big = dir.Write("big.conf", bigText);
    IniSettingsStore bigStore(big);
    EXPECT_FALSE(bigStore.Read());
    EXPECT_FALSE(bigStore.Write(Values()));
    EXPECT_EQ(SettingsTempDir::Read(big), bigText);

    // A file made read-only keeps its content.
    const std::string locked = dir.Write("locked.conf", "[General]\nUsbVIDSet=0b7e\n");
    fs::permissions(locked, fs::perms::owner_read);
    IniSettingsStore lockedStore(locked);
    EXPECT_FALSE(lockedStore.Write(Values()));
    EXPECT_EQ(lockedStore.Read()->usbVidSet, "0b7e");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_write);

    // A folder in the file's place: nothing to read, nothing written.
    fs::create_directories(dir.File("folder.conf"));
    IniSettingsStore folderStore(dir.File("folder.conf"));
    EXPECT_FALSE(folderStore.Read());
    EXPECT_FALSE(folderStore.Write(Values()));
}

}  // namespace
