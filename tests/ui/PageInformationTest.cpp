// The Information page against the simulated chip: the status display from the chip's
// registers, the HID keys that reach it, and the raw I2C transfers on its bus.

#include <QScrollBar>

#include "IspPageFixture.h"
#include "diag/ByteImages.h"
#include "ui/DeviceAction.h"

namespace {

using Kind = SimI2cEvent::Kind;

class PageInformationTest : public IspPageFixture {
protected:
    std::string Label(QLabel* label) const { return label->text().toStdString(); }
    QLineEdit* Cmd(int i) const { return form->SpecI2cEdit("edtI2Ccmd", i); }
    QLineEdit* Dat(int i) const { return form->SpecI2cEdit("edtI2Cdat", i); }
    void SetAddress(const char* text) {
        form->ui.edtMI2CAddr1->setText(QString::fromLatin1(text));
        PressKey(form->ui.edtMI2CAddr1, Qt::Key_Return);
    }
};

struct StatusCase {
    uint8_t status;
    uint8_t rate;
    const char* connect;
    const char* mute;    // nullptr: greyed out
    const char* format;  // nullptr: format and rate greyed out, captions kept
    const char* freq;
};
void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << "status " << int(c.status) << " rate " << int(c.rate);
}

class PageInformationStatusTest : public PageInformationTest,
                                  public ::testing::WithParamInterface<StatusCase> {};

TEST_P(PageInformationStatusTest, UpdateShowsTheChipsStatus) {
    const StatusCase& c = GetParam();
    TForm1& w = *form;
    // Captions the decoding must leave alone where it greys a label out.
    w.ui.lblMute->setText(QStringLiteral("before"));
    w.ui.lblCurrentFormat1->setText(QStringLiteral("fmt"));
    w.ui.lblCurrentFreq1->setText(QStringLiteral("freq"));
    sim->SetAudioStatus(c.rate, 0x00, c.status);
    w.ui.btnUpdateStatus->click();
    EXPECT_EQ(RegisterReads(), (std::vector<uint16_t>{0xA4, 0xA5, 0xA6}));
    EXPECT_EQ(RegisterWrites(), (std::vector<std::pair<uint16_t, uint8_t>>{{0, 0}}));
    EXPECT_EQ(Label(w.ui.lblConnect), c.connect);
    EXPECT_EQ(w.ui.lblMute->isEnabled(), c.mute != nullptr);
    EXPECT_EQ(Label(w.ui.lblMute), c.mute ? c.mute : "before");
    for (QLabel* label : {w.ui.lblCurrentFormat0, w.ui.lblCurrentFormat1, w.ui.lblCurrentFreq0, w.ui.lblCurrentFreq1})
        EXPECT_EQ(label->isEnabled(), c.format != nullptr) << label->objectName().toStdString();
    EXPECT_EQ(Label(w.ui.lblCurrentFormat1), c.format ? c.format : "fmt");
    EXPECT_EQ(Label(w.ui.lblCurrentFreq1), c.format ? c.freq : "freq");
}

INSTANTIATE_TEST_SUITE_P(
    Registers, PageInformationStatusTest,
    ::testing::Values(StatusCase{0x01, 0x04, "USB connected", "Playing", "PCM", "176.4KHz"},
                      StatusCase{0x03, 0x08, "USB connected", "Playing", "DSD", " DSD  64"},
                      StatusCase{0x03, 0x01, "USB connected", "Playing", "DSD", " DoP 128"},
                      StatusCase{0x03, 0x05, "USB connected", "Playing", "DSD", "        "},
                      StatusCase{0x01, 0xF3, "USB connected", "Playing", "PCM", "   96KHz"},
                      StatusCase{0x01, 0x0A, "USB connected", "Playing", "PCM", "        "},
                      StatusCase{0x01, 0x0F, "USB connected", "Playing", "PCM", "        "},
                      StatusCase{0x05, 0x04, "USB connected", "Mute", nullptr, nullptr},
                      StatusCase{0x00, 0x04, "USB Disconnected", nullptr, nullptr, nullptr},
                      StatusCase{0x06, 0x04, "USB Disconnected", nullptr, nullptr, nullptr}),
    [](const auto& info) {
        char name[32];
        std::snprintf(name, sizeof name, "Status%02XRate%02X", info.param.status, info.param.rate);
        return std::string(name);
    });

TEST_F(PageInformationTest, AFailedStatusReadKeepsTheValueHeld) {
    sim->SetAudioStatus(0x02, 0x00, 0x01);
    form->ui.btnUpdateStatus->click();
    EXPECT_EQ(Label(form->ui.lblCurrentFreq1), " 88.2KHz");
    // The rate read fails; the status changes to DSD: the held rate 0x02 decodes as DoP 256.
    sim->SetAudioStatus(0x07, 0x00, 0x03);
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x91 && r.setup.wIndex == 0xA4; }, 1);
    form->ui.btnUpdateStatus->click();
    EXPECT_EQ(Label(form->ui.lblCurrentFormat1), "DSD");
    EXPECT_EQ(Label(form->ui.lblCurrentFreq1), " DoP 256");
}

TEST_F(PageInformationTest, EachHidButtonSendsItsKey) {
    TForm1& w = *form;
    for (QPushButton* b : {w.ui.btnHID0, w.ui.btnHID1, w.ui.btnHID2, w.ui.btnHID3, w.ui.btnHID4}) b->click();
    EXPECT_EQ(sim->HidKeys(), (std::vector<uint8_t>{0x40, 0x02, 0x10, 0x01, 0x20}));
    EXPECT_EQ(w.ui.btnHID1->text().toStdString(), "HID Vol -");
}

TEST_F(PageInformationTest, LengthsEnableTheirEdits) {
    TForm1& w = *form;
    w.ui.srblen0->setValue(3);
    EXPECT_EQ(Label(w.ui.lbllencmd), "3");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Cmd(i)->isEnabled(), i < 3) << i;
    w.ui.srblen1->setValue(5);
    w.ui.srblen1->setValue(2);
    EXPECT_EQ(Label(w.ui.lbllendat), "2");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Dat(i)->isEnabled(), i < 2) << i;
}

TEST_F(PageInformationTest, AddressEntrySetsTheSharedAddressAndTheI2cPageBox) {
    TForm1& w = *form;
    EXPECT_EQ(gI2CSlaveAddress, 0x20);
    SetAddress("6c");
    EXPECT_EQ(gI2CSlaveAddress, 0x6C);
    EXPECT_EQ(w.ui.edtMI2CAddr->text().toStdString(), "6C");
    EXPECT_EQ(w.ui.edtMI2CAddr1->text().toStdString(), "6c");
    // Another key does nothing; a text that is not hexadecimal shows the conversion error.
    w.ui.edtMI2CAddr1->setText(QStringLiteral("10"));
    PressKey(w.ui.edtMI2CAddr1, Qt::Key_A);
    EXPECT_EQ(gI2CSlaveAddress, 0x6C);
    SetAddress("xy");
    EXPECT_EQ(services.errors, (std::vector<std::string>{"'0xxy' is not a valid integer value"}));
    EXPECT_EQ(gI2CSlaveAddress, 0x6C);
    EXPECT_EQ(w.ui.edtMI2CAddr->text().toStdString(), "6C");
}

TEST_F(PageInformationTest, WritePutsCommandAndDataOnTheBus) {
    TForm1& w = *form;
    SetAddress("60");
    w.ui.srblen0->setValue(2);
    Cmd(0)->setText(QStringLiteral("12"));
    Cmd(1)->setText(QStringLiteral("3"));
    Cmd(2)->setText(QStringLiteral("77"));  // beyond the length: not sent
    Dat(0)->setText(QStringLiteral("ff"));
    sim->I2c().ClearBus();
    w.ui.btnWriteSpecI2C->click();
    EXPECT_EQ(sim->I2c().Bus(), (std::vector<SimI2cEvent>{{Kind::Start, 0, false},
                                                          {Kind::Sent, 0x60, true},
                                                          {Kind::Sent, 0x12, true},
                                                          {Kind::Sent, 0x30, true},
                                                          {Kind::Sent, 0xFF, true},
                                                          {Kind::Stop, 0, false}}));
    EXPECT_EQ(sim->I2cSlaveRegister(0x60, 0x30), 0x00);
    EXPECT_EQ(sim->I2cSlaveRegister(0x60, 0x12), 0x30);
    EXPECT_EQ(sim->I2cSlaveRegister(0x60, 0x13), 0xFF);
}

TEST_F(PageInformationTest, ReadFillsItsDataEditsOnlyWhenTheSlaveAnswers) {
    TForm1& w = *form;
    SetAddress("60");
    sim->SetI2cSlaveRegister(0x60, 0x40, 0x0A);
    sim->SetI2cSlaveRegister(0x60, 0x41, 0xB7);
    Cmd(0)->setText(QStringLiteral("40"));
    w.ui.srblen1->setValue(2);
    for (int i = 0; i < 5; ++i) Dat(i)->setText(QStringLiteral("x%1").arg(i));
    w.ui.btnReadSpecI2C->click();
    EXPECT_EQ(Dat(0)->text().toStdString(), "0A");
    EXPECT_EQ(Dat(1)->text().toStdString(), "B7");
    for (int i = 2; i < 5; ++i) EXPECT_EQ(Dat(i)->text().toStdString(), "x" + std::to_string(i));

    // No slave at the address: the edits keep their texts.
    SetAddress("6c");
    w.ui.btnReadSpecI2C->click();
    EXPECT_EQ(Dat(0)->text().toStdString(), "0A");
    EXPECT_EQ(Dat(1)->text().toStdString(), "B7");
    // A read the slave refuses after the command.
    SetAddress("60");
    sim->I2c().Slave(0x60)->ackRead = false;
    Dat(0)->setText(QStringLiteral("55"));
    w.ui.btnReadSpecI2C->click();
    EXPECT_EQ(Dat(0)->text().toStdString(), "55");
}

TEST_F(PageInformationTest, DeviceHandlersWaitForTheRunningAction) {
    // Another action holds the device (as a long run that lets input through would): the
    // handlers that talk to the chip do nothing, the others still work.
    TForm1& w = *form;
    sim->SetAudioStatus(0x04, 0x00, 0x00);
    {
        const DeviceAction running;
        w.ui.btnUpdateStatus->click();
        w.ui.btnHID2->click();
        w.ui.btnWriteSpecI2C->click();
        w.ui.btnReadSpecI2C->click();
        w.ui.btnSetPara->click();
        w.ui.btnReadPara->click();
        PressKey(w.ui.lbledSysStr1, Qt::Key_Return);
        SetAddress("6c");
    }
    EXPECT_TRUE(sim->Log().empty());
    EXPECT_EQ(Label(w.ui.lblConnect), "USB connected") << "the design-time caption stays";
    EXPECT_EQ(gI2CSlaveAddress, 0x6C);
    EXPECT_TRUE(services.messages.empty());
    sim->SetAudioStatus(0x04, 0x00, 0x01);
    w.ui.btnUpdateStatus->click();
    EXPECT_EQ(Label(w.ui.lblMute), "Playing");
    EXPECT_EQ(sim->HidKeys().size(), 0u);
}

TEST_F(PageInformationTest, TransfersNeedAFoundDevice) {
    gDevice.ClearFound();
    sim->ClearLog();
    form->ui.btnWriteSpecI2C->click();
    form->ui.btnReadSpecI2C->click();
    EXPECT_TRUE(sim->Log().empty());
}

}  // namespace
