// The INI store against QSettings itself, which wrote the files users already have and
// reads the files the store writes: texts that need quotes, escapes or UTF-8 must come
// through both ways unchanged.

#include <QSettings>
#include <QString>
#include <gtest/gtest.h>

#include "SettingsTempDir.h"
#include "settings/IniSettingsStore.h"

namespace {

const std::string kTexts[] = {
    "/home/me/fw.hex",
    "/data/fw, final;v2=ok.hex",
    " leading and trailing ",
    "@at the start",
    "quote \" and back\\slash",
    "C:\\Users\\me\\Firmware\\app.h00",
    "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
    "tab\tcontrol\x01" "1f",
    "",
};

QString Q(const std::string& s) { return QString::fromStdString(s); }

TEST(IniQtPeer, StoreReadsWhatQSettingsWrote) {
    SettingsTempDir dir;
    for (const std::string& text : kTexts) {
        SCOPED_TRACE(text);
        const std::string file = dir.File("qt.conf");
        {
            QSettings qt(Q(file), QSettings::IniFormat);
            qt.clear();
            qt.setValue("ISPSetting", 0x000804FFu);
            qt.setValue("ISPFileName", Q(text));
            qt.setValue("UsbVIDSet", "7c3d");
            qt.setValue("Window/geometry", QByteArray("\x01\x02", 2));
            qt.sync();
            ASSERT_EQ(qt.status(), QSettings::NoError);
        }
        const std::optional<StoredSettings> found = IniSettingsStore(file).Read();
        ASSERT_TRUE(found);
        EXPECT_EQ(found->ispSetting, 0x000804FFu);
        EXPECT_EQ(found->ispFileName, text);
        EXPECT_EQ(found->usbVidSet, "7c3d");
        EXPECT_EQ(found->usbPidSet, std::nullopt);
    }
}

TEST(IniQtPeer, QSettingsReadsWhatTheStoreWroteAndKeepsItsOwnKeys) {
    SettingsTempDir dir;
    const std::string file = dir.File("ours.conf");
    {
        QSettings qt(Q(file), QSettings::IniFormat);
        qt.setValue("Window/geometry", QByteArray("\x01\x02", 2));
        qt.setValue("Extra", "kept");
    }
    for (const std::string& text : kTexts) {
        SCOPED_TRACE(text);
        SettingsToSave values;
        values.ispSetting = 0xFF0804C5u;
        values.ispFileName = text;
        values.usbVidSet = "0b7e";
        values.usbPidSet = text;
        ASSERT_TRUE(IniSettingsStore(file).Write(values));
        QSettings qt(Q(file), QSettings::IniFormat);
        EXPECT_EQ(qt.status(), QSettings::NoError);
        EXPECT_EQ(qt.value("ISPSetting").toUInt(), 0xFF0804C5u);
        EXPECT_EQ(qt.value("ISPFileName").toString().toStdString(), text);
        EXPECT_EQ(qt.value("UsbPIDSet").toString().toStdString(), text);
        EXPECT_EQ(qt.value("UsbVIDSet").toString(), "0b7e");
        EXPECT_EQ(qt.value("Extra").toString(), "kept");
        EXPECT_EQ(qt.value("Window/geometry").toByteArray(), QByteArray("\x01\x02", 2));
    }
}

}  // namespace
