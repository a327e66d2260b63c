// The saved settings: what a start makes of the stored values, and what a close stores.

#include <QFileInfo>
#include <QSettings>

#include "WindowFixture.h"

namespace {

class SettingsTest : public WindowFixture {
protected:
    std::array<bool, 7> Boxes() const {
        const TForm1& w = *form;
        return {w.ui.chkISPMode->isChecked(), w.ui.chkProtect->isChecked(), w.ui.chkReadFile->isChecked(),
                w.ui.chkErase->isChecked(),   w.ui.chkBlank->isChecked(),   w.ui.chkProgram->isChecked(),
                w.ui.chkVerify->isChecked()};
    }
    void SetBoxes(const std::array<bool, 7>& states) {
        QCheckBox* boxes[] = {form->ui.chkISPMode, form->ui.chkProtect, form->ui.chkReadFile, form->ui.chkErase,
                              form->ui.chkBlank,   form->ui.chkProgram, form->ui.chkVerify};
        for (size_t i = 0; i < 7; ++i) boxes[i]->setChecked(states[i]);
    }
    QVariant Stored(const char* name) const {
        return QSettings(QString::fromStdString(IniFile()), QSettings::IniFormat).value(QString::fromLatin1(name));
    }
};

constexpr std::array<bool, 7> kAll{true, true, true, true, true, true, true};
constexpr std::array<bool, 7> kNoProtect{true, false, true, true, true, true, true};

struct LoadCase {
    const char* name;
    const char* ini;  // null: no settings file at all
    std::array<bool, 7> boxes;
    bool rangeAll;
    const char* start;
    const char* size;
    const char* vid;
    const char* pid;
    uint32_t rangeStart, rangeSize;  // what the range handler made of them
};

const LoadCase kLoadCases[] = {
    {"NoKey", nullptr, kAll, true, "32", "32", "7c3d", "6012", 0, 0},
    {"KeyWithoutValues", "[General]\n", kNoProtect, true, "64", "64", "7c3d", "6012", 0, 0x8000},
    {"AllBoxesStart64Size32", "[General]\nISPSetting=525567\n", kAll, true, "64", "32", "7c3d", "6012", 0, 0x8000},
    {"AssignRangeStart8Size2040", "[General]\nISPSetting=130889\n",
     {true, false, false, true, false, false, true}, false, "8", "2040", "7c3d", "6012", 8 * 1024, 2040 * 1024},
    {"NotANumber", "[General]\nISPSetting=abc\nUsbVIDSet=0b7e\nUsbPIDSet=6000\n", kNoProtect, true, "64", "64",
     "0b7e", "6000", 0, 0x8000},
    {"EmptyVidAndPid", "[General]\nUsbVIDSet=\nUsbPIDSet=\n", kNoProtect, true, "64", "64", "7c3d", "6012", 0, 0x8000},
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class SettingsLoadTest : public SettingsTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(SettingsLoadTest, StartShowsWhatWasStored) {
    const LoadCase& c = GetParam();
    if (c.ini != nullptr) WriteIni(c.ini);
    TForm1& w = StartWindow();
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(w.ui.rbnRange0->isChecked(), c.rangeAll);
    EXPECT_EQ(w.ui.rbnRange1->isChecked(), !c.rangeAll);
    EXPECT_EQ(w.ui.lbledISPStart->text().toStdString(), c.start);
    EXPECT_EQ(w.ui.lbledISPRange->text().toStdString(), c.size);
    EXPECT_EQ(w.ui.lbledISPStart->isEnabled(), !c.rangeAll);
    EXPECT_EQ(gVid, c.vid);
    EXPECT_EQ(gPid, c.pid);
    EXPECT_EQ(gMatchString, std::string("vid_") + c.vid + "&pid_" + c.pid);
    EXPECT_EQ(gRangeStart, c.rangeStart);
    EXPECT_EQ(gRangeSize, c.rangeSize);
    EXPECT_EQ(gProgramFileName, "");
    EXPECT_EQ(w.ui.cbxReadISPFile->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stored, SettingsLoadTest, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, RememberedProgramFileIsKeptOnlyWhileItExists) {
    const std::string kept = MakeFile("firmware.hex");
    WriteIni("[General]\nISPFileName=" + kept + "\n");
    TForm1& w = StartWindow();
    EXPECT_EQ(gProgramFileName, kept);
    ASSERT_EQ(w.ui.cbxReadISPFile->count(), 1);
    EXPECT_EQ(w.ui.cbxReadISPFile->currentText().toStdString(), kept);
    form.reset();

    for (const std::string& gone : {dir.filePath(QStringLiteral("deleted.hex")).toStdString(), dir.path().toStdString()}) {
        SCOPED_TRACE(gone);
        WriteIni("[General]\nISPFileName=" + gone + "\n");
        TForm1& again = StartWindow();
        EXPECT_EQ(gProgramFileName, "");
        EXPECT_EQ(again.ui.cbxReadISPFile->count(), 0);
        EXPECT_EQ(again.ui.cbxReadISPFile->currentText(), "");
        form.reset();
    }
}

TEST_F(SettingsTest, CloseStoresTheOptionsTheFileBoxAndTheIds) {
    TForm1& w = StartWindow();
    SetBoxes(kAll);
    w.ui.rbnRange0->setChecked(true);
    w.ui.lbledISPStart->setText(QStringLiteral("64"));
    w.ui.lbledISPRange->setText(QStringLiteral("32"));
    // The file box's text is stored even when it names no file.
    w.ui.cbxReadISPFile->setEditText(QStringLiteral("/nowhere/app.hex"));
    gPid = "60ab";
    CloseWindow();
    EXPECT_EQ(Stored("ISPSetting").toUInt(), 0x000804FFu);
    EXPECT_EQ(Stored("ISPFileName").toString(), "/nowhere/app.hex");
    EXPECT_EQ(Stored("UsbVIDSet").toString(), "7c3d");
    EXPECT_EQ(Stored("UsbPIDSet").toString(), "60ab");
}

struct RangeCase {
    const char* typed;
    uint32_t storedField;  // the start byte, bits 16 to 23
    const char* readBack;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << '"' << c.typed << '"'; }

class SettingsRangeTest : public SettingsTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(SettingsRangeTest, StartIsStoredInEightKilobyteSteps) {
    TForm1& w = StartWindow();
    w.ui.lbledISPStart->setText(QString::fromLatin1(GetParam().typed));
    w.ui.lbledISPRange->setText(QStringLiteral("0"));
    CloseWindow();
    EXPECT_EQ((Stored("ISPSetting").toUInt() >> 16) & 0xFFu, GetParam().storedField);
    EXPECT_EQ(Stored("ISPSetting").toUInt() >> 24, 0u);
    StartWindow();
    EXPECT_EQ(form->ui.lbledISPStart->text().toStdString(), GetParam().readBack);
}

INSTANTIATE_TEST_SUITE_P(Starts, SettingsRangeTest,
                         ::testing::Values(RangeCase{"12", 1, "8"}, RangeCase{"7", 0, "0"},
                                           RangeCase{"2040", 255, "2040"},
                                           // Held to 2040 so that it fits its field.
                                           RangeCase{"2048", 255, "2040"}, RangeCase{"9999", 255, "2040"}),
                         [](const auto& info) { return std::string("Start") + info.param.typed; });

TEST_F(SettingsTest, ConversionErrorAbandonsTheSave) {
    WriteIni("[General]\nUsbVIDSet=0b7e\n");
    for (const char* bad : {"", "1x", "-8", " 8"}) {
        SCOPED_TRACE(bad);
        services.errors.clear();
        TForm1& w = StartWindow();
        gVid = "1234";
        w.ui.lbledISPRange->setText(QString::fromLatin1(bad));
        CloseWindow();
        ASSERT_EQ(services.errors.size(), 1u);
        EXPECT_EQ(services.errors[0], std::string("'") + bad + "' is not a valid integer value");
        // Nothing was written.
        EXPECT_EQ(Stored("UsbVIDSet").toString(), "0b7e");
        EXPECT_FALSE(Stored("ISPSetting").isValid());
    }
}

TEST_F(SettingsTest, UnwritablePlaceSavesNothingQuietly) {
    // The settings folder's place is taken by a plain file.
    QFile blocker(dir.filePath(QStringLiteral("Quorvel")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartWindow();
    CloseWindow();
    EXPECT_TRUE(services.errors.empty());
    EXPECT_TRUE(services.messages.empty());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(IniFile())));
}

TEST_F(SettingsTest, NextStartLoadsWhatTheLastCloseSaved) {
    const std::string program = MakeFile("app.bin");
    TForm1& w = StartWindow();
    SetBoxes({false, true, false, true, false, true, false});
    w.ui.rbnRange1->setChecked(true);
    w.ui.lbledISPStart->setText(QStringLiteral("64"));
    w.ui.lbledISPRange->setText(QStringLiteral("128"));
    w.ui.cbxReadISPFile->setEditText(QString::fromStdString(program));
    // Enter in the PID edit while detection is off stores it, though detection stays off.
    w.ui.chkDetectUSB->setChecked(false);
    w.ui.lbledtPID->setText(QStringLiteral("6000"));
    w.lbledtVIDPIDKeyDown(w.ui.lbledtPID, kVkReturn);
    CloseWindow();

    ResetWindowGlobals();
    TForm1& next = StartWindow();
    EXPECT_EQ(Boxes(), (std::array<bool, 7>{false, true, false, true, false, true, false}));
    EXPECT_TRUE(next.ui.rbnRange1->isChecked());
    EXPECT_EQ(next.ui.lbledISPStart->text(), "64");
    EXPECT_EQ(next.ui.lbledISPRange->text(), "128");
    EXPECT_TRUE(next.ui.lbledISPStart->isEnabled());
    EXPECT_EQ(gRangeStart, 64u * 1024);
    EXPECT_EQ(gRangeSize, 128u * 1024);
    EXPECT_EQ(gProgramFileName, program);
    EXPECT_EQ(next.ui.cbxReadISPFile->currentText().toStdString(), program);
    EXPECT_EQ(gVid, "7c3d");
    EXPECT_EQ(gPid, "6000");
    EXPECT_EQ(gMatchString, "vid_7c3d&pid_6000");
}

TEST_F(SettingsTest, LongTextsAreHeldTo255Characters) {
    const std::string longName(300, 'n');
    WriteIni("[General]\nUsbVIDSet=" + longName + "\n");
    TForm1& w = StartWindow();
    // The VID edit takes four characters, and switching detection on takes the edit's text.
    EXPECT_EQ(gVid, "nnnn");
    w.ui.cbxReadISPFile->setEditText(QString::fromStdString(longName));
    CloseWindow();
    EXPECT_EQ(Stored("ISPFileName").toString().size(), 255);
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    // `value` null unsets the variable.
    ScopedEnv(const char* name, const QByteArray* value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        Set(value);
    }
    ~ScopedEnv() { Set(had_ ? &old_ : nullptr); }

private:
    void Set(const QByteArray* value) const {
        if (value != nullptr)
            qputenv(name_, *value);
        else
            qunsetenv(name_);
    }

    const char* name_;
    bool had_;
    QByteArray old_;
};

TEST_F(SettingsTest, TheDefaultPlaceFollowsXdgConfigHome) {
    const QByteArray home = dir.filePath(QStringLiteral("home")).toUtf8();
    const QByteArray config = dir.filePath(QStringLiteral("config")).toUtf8();
    const QByteArray relative("relative/config");
    struct Case {
        const QByteArray* xdg;  // null: unset
        QString expected;
    };
    const Case cases[] = {
        {&config, QString::fromUtf8(config) + "/Quorvel/VARIvor.conf"},
        {nullptr, QString::fromUtf8(home) + "/.config/Quorvel/VARIvor.conf"},
        {&relative, QString::fromUtf8(home) + "/.config/Quorvel/VARIvor.conf"},
    };
    const ScopedEnv homeEnv("HOME", &home);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        const ScopedEnv xdgEnv("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(SettingsPlace({}), c.expected.toStdString());
        // A window with the default place saves there and reads it back at its next start.
        form = std::make_unique<TForm1>(services);
        gPid = "60cd";
        CloseWindow();
        ASSERT_TRUE(QFileInfo::exists(c.expected));
        EXPECT_EQ(QSettings(c.expected, QSettings::IniFormat).value("UsbPIDSet").toString(), "60cd");
        ResetWindowGlobals();
        form = std::make_unique<TForm1>(services);
        EXPECT_EQ(gPid, "60cd");
        form.reset();
        QFile::remove(c.expected);
    }
}

TEST(IspSettingLayout, ComposesAndDecodes) {
    IspSetting s;
    s.boxes = {true, false, true, false, false, false, true};
    s.rangeAll = false;
    s.startKb = 64;
    s.sizeKb = 32;
    EXPECT_EQ(ComposeIspSetting(s), 0x00080445u);
    const IspSetting back = DecodeIspSetting(0xFF0804C5u);  // bits 24..31 are ignored
    EXPECT_EQ(back.boxes, s.boxes);
    EXPECT_TRUE(back.rangeAll);
    EXPECT_EQ(back.startKb, 64u);
    EXPECT_EQ(back.sizeKb, 32u);
}

TEST(IspSettingLayout, StoredRangeAcceptsDigitsOnly) {
    EXPECT_EQ(StoredRangeKb("0"), 0u);
    EXPECT_EQ(StoredRangeKb("15"), 8u);
    EXPECT_EQ(StoredRangeKb("00064"), 64u);
    EXPECT_EQ(StoredRangeKb("99999999999999999999"), 2040u);
    for (const char* bad : {"", "+8", "-8", "8 ", "0x10", "1e3"}) EXPECT_FALSE(StoredRangeKb(bad)) << bad;
}

}  // namespace
