// The Information page: what the chip plays, the HID media keys, and one raw I2C write or
// read of up to five command and five data bytes.

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <vector>

#include "chip/I2cMaster.h"
#include "chip/Mailbox.h"
#include "device/QuorvelUsb.h"
#include "diag/ByteImages.h"
#include "diag/HexGrid.h"
#include "diag/PlayStatus.h"
#include "files/ParseHex.h"
#include "ui/KeyDownFilter.h"
#include "ui/Unit1.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The byte an edit holds: its first two characters as hexadecimal digits, anything else 0.
uint8_t HexByte(const QLineEdit* edit) {
    return static_cast<uint8_t>(ParseHex(edit->text().toLatin1().toStdString(), 2) & 0xFF);
}

}  // namespace

QLineEdit* TForm1::SpecI2cEdit(const char* prefix, int i) const {
    return findChild<QLineEdit*>(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(i));
}

void TForm1::btnUpdateStatusClick() {
    if (!RunDeviceAction([this] { ReadStatusRegisters(heldStatus); })) return;
    const PlayStatus play = DecodePlayStatus(heldStatus);
    QWidget* const playing[] = {ui.lblCurrentFormat0, ui.lblCurrentFormat1, ui.lblCurrentFreq0,
                                ui.lblCurrentFreq1};
    if (!play.connected) {
        ui.lblConnect->setText(Text(gConnectText[1]));
        ui.lblMute->setEnabled(false);
        for (QWidget* label : playing) label->setEnabled(false);
        return;
    }
    ui.lblConnect->setText(Text(gConnectText[0]));
    ui.lblMute->setEnabled(true);
    if (play.muted) {
        ui.lblMute->setText(Text(gPlayText[1]));
        for (QWidget* label : playing) label->setEnabled(false);
        return;
    }
    ui.lblMute->setText(Text(gPlayText[0]));
    for (QWidget* label : playing) label->setEnabled(true);
    ui.lblCurrentFormat1->setText(Text(gFormatText[play.dsd ? 1 : 0]));
    ui.lblCurrentFreq1->setText(Text(gRateNames[play.rateIndex]));
}

void TForm1::btnHIDClick(QObject* sender) {
    for (int i = 0; i < static_cast<int>(gHidKeyCodes.size()); ++i) {
        if (findChild<QPushButton*>(QStringLiteral("btnHID%1").arg(i)) == sender) {
            RunDeviceAction([i] { SendHidKey(gHidKeyCodes[i]); });
            return;
        }
    }
}

void TForm1::srblen0Change() {
    const int length = ui.srblen0->value();
    ui.lbllencmd->setText(QString::number(length));
    for (int i = 0; i < 5; ++i) SpecI2cEdit("edtI2Ccmd", i)->setEnabled(i < length);
}

void TForm1::srblen1Change() {
    const int length = ui.srblen1->value();
    ui.lbllendat->setText(QString::number(length));
    for (int i = 0; i < 5; ++i) SpecI2cEdit("edtI2Cdat", i)->setEnabled(i < length);
}

void TForm1::edtMI2CAddr1KeyDown(int key) {
    if (key != kVkReturn) return;
    std::string shown;
    const std::string error = SetI2cSlaveAddress(ui.edtMI2CAddr1->text().toStdString(), shown);
    if (!error.empty()) {
        services_.ShowError(error);
        return;
    }
    // The I2C Access page's box shows the shared address; this edit keeps what was typed.
    ui.edtMI2CAddr->setText(Text(shown));
}

void TForm1::btnWriteSpecI2CClick() {
    if (!gDevice.IsFound()) return;
    const int n = ui.srblen0->value();
    const int m = ui.srblen1->value();
    std::vector<uint8_t> command(n), data(m);
    for (int i = 0; i < n; ++i) command[i] = HexByte(SpecI2cEdit("edtI2Ccmd", i));
    for (int i = 0; i < m; ++i) data[i] = HexByte(SpecI2cEdit("edtI2Cdat", i));
    WithOpenDevice([&] {
        // The master is set up here too, not only when the I2C Access page is shown.
        I2CMasterSetup();
        I2CWriteCommandData(gI2CSlaveAddress, static_cast<uint8_t>(n), command.data(),
                            static_cast<uint8_t>(m), data.data());
    });
}

void TForm1::btnReadSpecI2CClick() {
    if (!gDevice.IsFound()) return;
    const int n = ui.srblen0->value();
    const int m = ui.srblen1->value();
    std::vector<uint8_t> command(n), data(m, 0);
    for (int i = 0; i < n; ++i) command[i] = HexByte(SpecI2cEdit("edtI2Ccmd", i));
    bool received = false;
    WithOpenDevice([&] {
        I2CMasterSetup();
        received = I2CReadCommandData(gI2CSlaveAddress, static_cast<uint8_t>(n), command.data(),
                                      static_cast<uint8_t>(m), data.data());
    });
    // A slave that did not answer sent nothing: the edits keep their texts rather than
    // showing bytes that never came.
    if (!received) return;
    for (int i = 0; i < m; ++i) SpecI2cEdit("edtI2Cdat", i)->setText(Text(TwoHex(data[i])));
}

void TForm1::ConnectInformationPage() {
    auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    };
    onClick(ui.btnUpdateStatus, &TForm1::btnUpdateStatusClick);
    onClick(ui.btnWriteSpecI2C, &TForm1::btnWriteSpecI2CClick);
    onClick(ui.btnReadSpecI2C, &TForm1::btnReadSpecI2CClick);
    for (QPushButton* b : {ui.btnHID0, ui.btnHID1, ui.btnHID2, ui.btnHID3, ui.btnHID4})
        connect(b, &QAbstractButton::clicked, this, [this, b] { RunHandler([this, b] { btnHIDClick(b); }); });
    connect(ui.srblen0, &QScrollBar::valueChanged, this, [this] { RunHandler([this] { srblen0Change(); }); });
    connect(ui.srblen1, &QScrollBar::valueChanged, this, [this] { RunHandler([this] { srblen1Change(); }); });
    auto* keys = new KeyDownFilter(this, [this](QObject*, int key) {
        RunHandler([this, key] { edtMI2CAddr1KeyDown(key); });
    });
    keys->Watch(ui.edtMI2CAddr1);
}
