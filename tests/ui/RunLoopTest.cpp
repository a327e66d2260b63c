// The window while a device action runs: a close waits for the chip to be protected and
// out of ISP mode, a Stop left from an earlier run ends nothing else, the program file
// stays fixed during Auto, labels are updated at a limited rate but end as the sequence
// leaves them, and waits keep handling input.

#include <QFileInfo>
#include <QSettings>
#include <algorithm>

#include "IspPageFixture.h"
#include "ui/DeviceAction.h"

namespace {

class RunLoopTest : public IspPageFixture {
protected:
    // The relay requests that read the flash (a 64-byte block read is one of them).
    size_t FlashReads() const { return Count(0x81); }
    bool Protected() const { return (sim->Flash().Status() & 0x1C) == 0x1C; }
    bool SettingsSaved() const {
        return QSettings(QString::fromStdString(IniFile()), QSettings::IniFormat).value("UsbPIDSet").toString() ==
               "6012";
    }
};

// Where a close arrives, and what the action did before it ended.
struct CloseCase {
    const char* name;
    bool enterIspFirst;  // a single operation: the Enter ISP button is clicked first
    QPushButton* Ui::Form1::*button;
    const char* closeWhenInfo;  // the close comes at the first pump showing this text
    const char* lastInfo;       // what the status label shows at the end (its start)
};

void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }

class CloseDuringActionTest : public RunLoopTest, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringActionTest, WaitsUntilTheChipIsProtectedAndOutOfIspMode) {
    const CloseCase& c = GetParam();
    const auto image = Pattern(0x8000);
    ChooseFile(WriteImage("fw.bin", image));
    form->show();
    if (c.enterIspFirst) form->ui.btnEnterISP->click();
    ASSERT_FALSE(Protected());
    sim->ClearLog();

    bool closeAsked = false, closedAtOnce = true, handleKept = false;
    services.onProcessMessages = [&] {
        if (closeAsked || Info() != c.closeWhenInfo) return;
        closeAsked = true;
        closedAtOnce = form->close();
        handleKept = gDevice.HasHandle();
    };
    (form->ui.*c.button)->click();
    services.onProcessMessages = nullptr;

    ASSERT_TRUE(closeAsked);
    EXPECT_FALSE(closedAtOnce) << "the close waited for the action";
    EXPECT_TRUE(handleKept);
    EXPECT_FALSE(form->isVisible()) << "the window closed when the action ended";
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_TRUE(Protected());
    EXPECT_EQ(sim->OpenHandles(), 0u);
    EXPECT_TRUE(SettingsSaved());
    EXPECT_TRUE(services.saveAnswers.empty()) << "no dialog held the close up";
    EXPECT_EQ(Info().rfind(c.lastInfo, 0), 0u) << Info();
}

const CloseCase kCloseCases[] = {
    {"Auto", false, &Ui::Form1::btnUSBISPAuto, "Start Programming", "Stopped"},
    // A chip erase cannot be cut short: it ends, then the flash is protected.
    {"Erase", true, &Ui::Form1::btnUSBErase, "Flash Erase All ", "Flash Erase All "},
    {"ReadFlash", true, &Ui::Form1::btnReadBack, "Read Flash data back", "Stopped"},
};

INSTANTIATE_TEST_SUITE_P(Actions, CloseDuringActionTest, ::testing::ValuesIn(kCloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunLoopTest, CloseDuringEraseLetsTheEraseFinishFirst) {
    form->ui.btnEnterISP->click();
    sim->Flash().Contents()[0x80000] = 0x00;
    services.onProcessMessages = [&] { form->close(); };
    form->ui.btnUSBErase->click();
    services.onProcessMessages = nullptr;
    EXPECT_EQ(sim->Flash().Stats().chipErases, 1u);
    EXPECT_EQ(sim->Flash().Contents()[0x80000], 0xFF);
    EXPECT_EQ(sim->Flash().Stats().statusWrites, 1u) << "the protection write came after the erase";
    EXPECT_TRUE(Protected());
}

TEST_F(RunLoopTest, CloseDuringReadFlashStopsTheRead) {
    form->ui.btnEnterISP->click();
    sim->ClearLog();
    int pumps = 0;
    services.onProcessMessages = [&] {
        if (++pumps == 3) form->close();
    };
    form->ui.btnReadBack->click();
    services.onProcessMessages = nullptr;
    // Two reads a block; the whole read would be 2049 blocks.
    EXPECT_LT(FlashReads(), 20u);
}

TEST_F(RunLoopTest, AfterAStoppedAutoTheSingleOperationsWorkAgain) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x8000)));
    int pages = 0;
    services.onProcessMessages = [&] {
        if (Info() == "Start Programming" && ++pages == 4) form->ui.btnUSBISPAuto->click();
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    ASSERT_EQ(Info(), "Stopped");

    // Read Flash reads the flash and saves it.
    form->ui.btnEnterISP->click();
    sim->Flash().Contents()[0x1FFFF] = 0x42;
    const std::string path = dir.filePath(QStringLiteral("backup.bin")).toStdString();
    services.saveAnswers.push_back(path);
    form->ui.btnReadBack->click();
    EXPECT_EQ(Info(), "Read Flash content Success");
    std::ifstream saved(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 131072u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), sim->Flash().Contents().begin()));

    // An erase of an assigned range erases it (the stopped run left the flash protected).
    form->ui.btnUSBWriteEnable->click();
    form->ui.lbledtUSBWriteStatus->setText(QStringLiteral("0"));
    PressKey(form->ui.lbledtUSBWriteStatus, Qt::Key_Return);
    clock.Sleep(20);  // the status write's busy time, before the user's next click
    form->ui.rbnRange1->setChecked(true);
    form->ui.lbledISPStart->setText(QStringLiteral("0"));
    form->ui.lbledISPRange->setText(QStringLiteral("8"));
    form->rbnRangeClick();
    form->ui.btnUSBErase->click();
    EXPECT_EQ(sim->Flash().Stats().sectorErases, 2u);
    EXPECT_TRUE(std::all_of(sim->Flash().Contents().begin(), sim->Flash().Contents().begin() + 0x2000,
                            [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(RunLoopTest, TheProgramFileAndRangeCannotChangeDuringAuto) {
    const auto image = Pattern(0x8000);
    ChooseFile(WriteImage("first.bin", image));
    const std::string first = gProgramFileName;
    const QString checksum = form->ui.lblUSBChecksum->text();
    const std::string second = WriteImage("second.bin", std::vector<uint8_t>(0x8000, 0x00));

    bool tried = false, fileEnabled = true, boxEnabled = true, rangeEnabled = true;
    services.onProcessMessages = [&] {
        if (tried || Info() != "Start Programming") return;
        tried = true;
        fileEnabled = form->ui.USBLoadFileBitBtn->isEnabled();
        boxEnabled = form->ui.cbxReadISPFile->isEnabled();
        services.openAnswers.push_back(second);
        form->ui.USBLoadFileBitBtn->click();
        form->USBLoadFileBitBtnClick();  // as a shortcut would reach it
        rangeEnabled = form->ui.gbxISPRange->isEnabled();
        form->ui.rbnRange1->click();
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;

    ASSERT_TRUE(tried);
    EXPECT_FALSE(fileEnabled);
    EXPECT_FALSE(boxEnabled);
    EXPECT_FALSE(rangeEnabled);
    EXPECT_TRUE(form->ui.rbnRange0->isChecked());
    EXPECT_EQ(gRangeStart, 0u);
    EXPECT_EQ(services.openAnswers.size(), 1u) << "no dialog opened";
    services.openAnswers.clear();
    EXPECT_EQ(gProgramFileName, first);
    EXPECT_EQ(form->ui.lblUSBChecksum->text(), checksum);
    EXPECT_TRUE(FlashHolds(image));
    EXPECT_EQ(Info(), "Verifying Success");
    EXPECT_TRUE(form->ui.USBLoadFileBitBtn->isEnabled());
    EXPECT_TRUE(form->ui.cbxReadISPFile->isEnabled());
    EXPECT_TRUE(form->ui.gbxISPRange->isEnabled());
}

// Keeps the last text of each of the three channels, as the labels would without delay.
class LastTexts final : public IspReporter {
public:
    std::string info, address, status;
    void ProcessInfo(const std::string& t) override { info = t; }
    void ProcessAddress(const std::string& t) override { address = t; }
    void StatusRegister(const std::string& t) override { status = t; }
    void Progress(IspStage, uint64_t, uint64_t) override {}
    void ProcessMessages() override {}
};

TEST_F(RunLoopTest, LabelsAreUpdatedAtALimitedRateAndEndAsTheSequenceLeavesThem) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x10000)));
    int pumps = 0, changes = 0;
    QString shown = form->ui.lblUSBISPProcess->text();
    services.onProcessMessages = [&] {
        ++pumps;
        if (form->ui.lblUSBISPProcess->text() != shown) ++changes;
        shown = form->ui.lblUSBISPProcess->text();
    };
    const uint64_t start = clock.NowMicros();
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    const double seconds = double(clock.NowMicros() - start) / 1e6;

    // Input was still handled after every block (blank check and verify: 1025 each) and page.
    EXPECT_GE(pumps, 2 * 1025 + 256);
    EXPECT_LE(changes, int(seconds * 30) + 2) << "over " << seconds << " s";
    EXPECT_GT(changes, 10) << "the address still moves during the run";

    // The same run without the window, every text kept as it comes.
    sim->Flash().Contents().assign(sim->Flash().Contents().size(), 0x00);
    sim->Flash().SetStatus(0);
    LastTexts expected;
    gDevice.SetKsPath(1);
    RunAutoSequence(AutoOptions{}, expected);
    EXPECT_EQ(Info(), expected.info);
    EXPECT_EQ(form->ui.lblUSBISPProcess->text().toStdString(), expected.address);
    EXPECT_EQ(form->ui.lblUSBISPStatusReg->text().toStdString(), expected.status);
}

TEST_F(RunLoopTest, WaitsOnABusyFlashKeepHandlingInput) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x1000)));
    sim->Flash().SetStuckBusy(true);
    uint64_t last = clock.NowMicros(), longestGap = 0;
    services.onProcessMessages = [&] {
        longestGap = std::max(longestGap, clock.NowMicros() - last);
        last = clock.NowMicros();
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    longestGap = std::max(longestGap, clock.NowMicros() - last);
    // The status waits after the unprotect and the protect write poll for 10 s each.
    EXPECT_GT(clock.NowMicros(), 20'000'000u);
    EXPECT_LE(longestGap, 110'000u);
    EXPECT_EQ(Info(), "Flash Protect Fail");
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(RunLoopTest, AWedgedDeviceLeavesTheWindowAnsweringAStop) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x8000)));
    // From the blank check on, every request times out after a second of the clock.
    uint64_t wedgedAt = 0, last = 0, longestGap = 0;
    bool stopClicked = false, stopAnswered = false;
    services.onProcessMessages = [&] {
        const uint64_t now = clock.NowMicros();
        if (wedgedAt == 0 && Info() == "Start Blanking Check") {
            sim->WedgeFromCall(sim->Calls() + 1);
            wedgedAt = now;
        }
        if (wedgedAt != 0) longestGap = std::max(longestGap, now - last);
        last = now;
        if (wedgedAt != 0 && !stopClicked && now - wedgedAt >= 2'000'000) {
            stopClicked = true;
            form->ui.btnUSBISPAuto->click();
            stopAnswered = form->ui.btnUSBISPAuto->text() == QStringLiteral("Auto");
        }
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    longestGap = std::max(longestGap, clock.NowMicros() - last);

    ASSERT_NE(wedgedAt, 0u);
    EXPECT_TRUE(stopClicked);
    EXPECT_TRUE(stopAnswered);
    // Input waits at most for the one request in flight, whose time-out is a second.
    EXPECT_LE(longestGap, 1'000'000u + 10'000u);
    EXPECT_EQ(form->ui.btnUSBISPAuto->text(), QStringLiteral("Auto"));
    EXPECT_EQ(gIspBusy, 0);
    EXPECT_EQ(sim->OpenHandles(), 0u);
}

}  // namespace
