// The ISP page on the simulated chip: the Auto button, its Stop, the single operations of
// the Function Test panel, and one device action at a time.

#include <QFile>
#include <QKeyEvent>
#include <algorithm>

#include "IspPageFixture.h"

namespace {

class IspPageTest : public IspPageFixture {};

TEST_F(IspPageTest, AutoUpdatesTheFirmwareWithDetectionPaused) {
    const auto image = Pattern(0x10000);
    ChooseFile(WriteImage("fw.bin", image));
    EXPECT_EQ(form->ui.cbxReadISPFile->currentText().toStdString(), gProgramFileName);
    uint16_t sum = 0;
    for (uint8_t b : image) sum = uint16_t(sum + b);
    EXPECT_EQ(form->ui.lblUSBChecksum->text().toStdString(), ChecksumCaption(sum));

    std::vector<std::string> seen;
    services.onProcessMessages = [&] {
        if (seen.empty() || seen.back() != Info()) seen.push_back(Info());
        EXPECT_EQ(form->ui.btnUSBISPAuto->text(), QStringLiteral("Stop"));
        Tick();  // detection ticks arrive during the run and must do nothing
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;

    EXPECT_TRUE(FlashHolds(image));
    EXPECT_EQ(Info(), "Verifying Success");
    EXPECT_EQ(form->ui.btnUSBISPAuto->text(), QStringLiteral("Auto"));
    EXPECT_EQ(gIspBusy, 0);
    EXPECT_EQ(Probes(), 0u) << "no search or presence check ran during the run";
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_EQ(sim->Flash().Status() & 0x1C, 0x1C);
    const std::vector<std::string> order = {"Enter ISP Mode", "Start Blanking Check",
                                            "Start Programming", "Start Verifying Check"};
    auto at = seen.begin();
    for (const auto& text : order) {
        at = std::find(at, seen.end(), text);
        EXPECT_NE(at, seen.end()) << text;
    }
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(IspPageTest, StopDuringProgrammingProtectsAndLeavesIspMode) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x8000)));
    int pages = 0;
    bool busyAfterStop = false;
    services.onProcessMessages = [&] {
        if (Info() != "Start Programming") return;
        if (++pages != 4) return;
        form->ui.btnUSBISPAuto->click();  // the Stop click, nested in the run
        EXPECT_EQ(form->ui.btnUSBISPAuto->text(), QStringLiteral("Auto"));
        busyAfterStop = gIspBusy != 0;
        // A click on "Auto" while the stopped run unwinds starts nothing.
        form->ui.btnUSBISPAuto->click();
    };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    EXPECT_EQ(Info(), "Stopped");
    EXPECT_TRUE(busyAfterStop) << "detection resumes only when the run has unwound";
    EXPECT_EQ(gIspBusy, 0);
    EXPECT_FALSE(sim->InIspMode());
    EXPECT_EQ(sim->Flash().Status() & 0x1C, 0x1C);
    EXPECT_EQ(Count(0x84), 1u);
}

TEST_F(IspPageTest, OtherDeviceButtonsDoNothingDuringALongOperation) {
    ChooseFile(WriteImage("fw.bin", Pattern(0x4000)));
    services.onProcessMessages = [&] { form->ui.btnUSBChipID->click(); };
    form->ui.btnUSBISPAuto->click();
    services.onProcessMessages = nullptr;
    EXPECT_EQ(form->ui.lblUSBChipID->text(), QStringLiteral("0x00"));
    EXPECT_EQ(Info(), "Verifying Success");
}

TEST_F(IspPageTest, AutoRefusals) {
    // No program file at all.
    form->ui.btnUSBISPAuto->click();
    EXPECT_EQ(services.messages.back(), "Program File Not Ready !!    ");
    // A file box naming a file that does not load: nothing reaches the device.
    form->ui.cbxReadISPFile->setEditText(dir.filePath(QStringLiteral("missing.bin")));
    form->ui.btnUSBISPAuto->click();
    EXPECT_NE(services.messages.back().find("missing.bin"), std::string::npos);
    EXPECT_TRUE(sim->Log().empty());
    EXPECT_EQ(form->ui.btnUSBISPAuto->text(), QStringLiteral("Auto"));
    // No device.
    gDevice.ClearFound();
    form->ui.btnUSBISPAuto->click();
    EXPECT_EQ(services.messages.back(), "USB device is NOT available !!    ");
}

TEST_F(IspPageTest, ReloadFileLoadsTheFileInTheBox) {
    ChooseFile(WriteImage("old.bin", std::vector<uint8_t>(256, 0x11)));
    const auto image = Pattern(512);
    form->ui.cbxReadISPFile->setEditText(QString::fromStdString(WriteImage("new.bin", image)));
    form->ui.btnUSBISPAuto->click();
    EXPECT_NE(gProgramFileName.find("new.bin"), std::string::npos);
    EXPECT_TRUE(FlashHolds(image));
}

TEST_F(IspPageTest, FunctionTestButtons) {
    form->ui.btnEnterISP->click();
    EXPECT_EQ(form->ui.btnEnterISP->text(), QStringLiteral("Exit ISP"));
    EXPECT_TRUE(sim->InIspMode());

    form->ui.btnUSBChipID->click();
    EXPECT_EQ(form->ui.lblUSBChipID->text(), QStringLiteral("0xC2,  0x20,  0x14,  "));

    struct Case {
        const char* text;
        Qt::Key key;
        int written;  // -1: nothing sent
    };
    for (const Case& c : {Case{"1c", Qt::Key_Return, 0x1C}, Case{"1FF", Qt::Key_Enter, 0xFF},
                          Case{"12", Qt::Key_A, -1}}) {
        sim->ClearLog();
        form->ui.lbledtUSBWriteStatus->setText(QString::fromLatin1(c.text));
        PressKey(form->ui.lbledtUSBWriteStatus, c.key);
        const auto writes = Requests(0x80);
        if (c.written < 0) {
            EXPECT_TRUE(writes.empty()) << c.text;
        } else {
            ASSERT_EQ(writes.size(), 1u) << c.text;
            EXPECT_EQ(writes[0].data, (std::vector<uint8_t>{0x01, uint8_t(c.written)})) << c.text;
        }
    }
    form->ui.lbledtUSBWriteStatus->setText(QStringLiteral("zz"));
    PressKey(form->ui.lbledtUSBWriteStatus, Qt::Key_Return);
    EXPECT_EQ(services.errors.back(), "'0xzz' is not a valid integer value");

    form->ui.btnUSBReadStatus->click();
    EXPECT_EQ(form->ui.lblUSBStatus->text().left(2), QStringLiteral("0x"));

    form->ui.btnEnterISP->click();
    EXPECT_EQ(form->ui.btnEnterISP->text(), QStringLiteral("Enter ISP"));
    EXPECT_FALSE(sim->InIspMode());
}

TEST_F(IspPageTest, ReadFlashSavesOrNot) {
    form->ui.btnEnterISP->click();
    services.saveAnswers.push_back(std::nullopt);  // cancelled
    form->ui.btnReadBack->click();
    EXPECT_EQ(Info(), "Read Flash content Success");

    const std::string path = dir.filePath(QStringLiteral("back.bin")).toStdString();
    services.saveAnswers.push_back(path);
    form->ui.btnReadBack->click();
    EXPECT_EQ(QFile(QString::fromStdString(path)).size(), 131072);

    services.saveAnswers.push_back(dir.filePath(QStringLiteral("no/such/dir/x.bin")).toStdString());
    form->ui.btnReadBack->click();
    EXPECT_EQ(Info(), "Read Flash save failed");
}

TEST_F(IspPageTest, EraseOfAssignedRangeFromTheButton) {
    form->ui.btnEnterISP->click();
    form->ui.rbnRange1->setChecked(true);
    form->ui.lbledISPStart->setText(QStringLiteral("32"));
    form->ui.lbledISPRange->setText(QStringLiteral("8"));
    form->rbnRangeClick();
    sim->ClearLog();
    form->ui.btnUSBErase->click();
    size_t erases = 0;
    for (const SimRequest& r : Requests(0x80))
        if (r.data.size() == 4 && r.data[0] == 0x20) ++erases;
    EXPECT_EQ(erases, 2u);
    EXPECT_EQ(Info(), "Flash Sector Erase: 0x 009000");
}

}  // namespace
