// The Parameter page: the option block gSysPara shown in its controls, each control
// changing only its own bits; "Read back" and "Set" move the block, Enter in the VID, PID
// and string edits sends their text at once.

#include <QRadioButton>

#include "chip/Mailbox.h"
#include "diag/OptionBlock.h"
#include "ui/KeyDownFilter.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

// The edits' texts as the chip stores them: one byte per character.
std::string Bytes(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

}  // namespace

void TForm1::ShowSysPara() {
    const uint8_t b0 = gSysPara[0];
    const uint8_t b1 = gSysPara[1];
    ui.lblEepAvail->setText(QString::fromStdString(EepromCaption(gSysPara)));
    ((b0 & 0x01) ? ui.rbnI2Slen0 : ui.rbnI2Slen1)->setChecked(true);
    ((b0 & 0x02) ? ui.rbnSPDIFlen0 : ui.rbnSPDIFlen1)->setChecked(true);
    ui.chkI2SLRSwap->setChecked(b0 & 0x04);
    ui.chkDSDLRSwap->setChecked(b0 & 0x08);
    ((b0 & 0x40) ? ui.rbnI2SFormat1 : ui.rbnI2SFormat0)->setChecked(true);
    ((b0 & 0x80) ? ui.rbnDSDOut0 : ui.rbnDSDOut1)->setChecked(true);
    // The MCLK buttons are found by name and number.
    const int mclk = (b0 >> 4) & 0x03;
    if (auto* button = findChild<QRadioButton*>(QStringLiteral("rbnMCLKOutFreq%1").arg(mclk)))
        button->setChecked(true);
    ui.chkMCLKOutOff->setChecked(b1 & 0x80);
    ui.chkI2SOutOff->setChecked(b1 & 0x40);
    ui.chkSPDIFOutOff->setChecked(b1 & 0x20);
}

void TForm1::btnReadParaClick() {
    RunDeviceAction([this] {
        // Read into a copy: a transfer that failed part way must not leave a mix of old
        // and new bytes in the block that "Set" sends back.
        OptionBlock read = gSysPara;
        const bool ok = ReadSysPara(read.data());
        if (ok) gSysPara = read;
        ShowSysPara();
        if (!ok) services_.MessageBox("Parameter read failed");
    });
}

void TForm1::btnSetParaClick() {
    RunDeviceAction([this] {
        if (!SetSysPara(gSysPara.data())) services_.MessageBox("Parameter set failed");
    });
}

void TForm1::lbledSysVIDPIDKeyDown(QLineEdit* sender, int key) {
    if (key != kVkReturn) return;
    const bool vendor = sender == ui.lbledSysVID;
    const std::string text = Bytes(sender);
    RunDeviceAction([&] {
        if (!SetSysId(vendor ? SysId::Vendor : SysId::Product, text))
            services_.MessageBox(vendor ? "VID set failed" : "PID set failed");
    });
}

void TForm1::lbledSysStrKeyDown(QLineEdit* sender, int key) {
    if (key != kVkReturn) return;
    const int number = sender == ui.lbledSysStr1 ? 1 : sender == ui.lbledSysStr2 ? 2 : 3;
    const std::string text = Bytes(sender);
    RunDeviceAction([&] {
        if (!SetSysString(number, text))
            services_.MessageBox("String " + std::to_string(number) + " set failed");
    });
}

void TForm1::rbnI2SlenClick() {
    SetOptionValue(gSysPara, OptionField::I2sLength, ui.rbnI2Slen0->isChecked() ? 32 : 24);
}

void TForm1::rbnSPDIFlenClick() {
    SetOptionValue(gSysPara, OptionField::SpdifLength, ui.rbnSPDIFlen0->isChecked() ? 32 : 24);
}

void TForm1::chkI2SLRSwapClick() {
    SetOptionValue(gSysPara, OptionField::I2sSwap, ui.chkI2SLRSwap->isChecked() ? 1 : 0);
}

void TForm1::chkDSDLRSwapClick() {
    SetOptionValue(gSysPara, OptionField::DsdSwap, ui.chkDSDLRSwap->isChecked() ? 1 : 0);
}

void TForm1::rbnMCLKOutFreqClick(QObject* sender) {
    static constexpr unsigned kFs[] = {128, 256, 512, 1024};
    for (int i = 0; i < 4; ++i) {
        if (findChild<QRadioButton*>(QStringLiteral("rbnMCLKOutFreq%1").arg(i)) == sender) {
            SetOptionValue(gSysPara, OptionField::MclkFs, kFs[i]);
            return;
        }
    }
}

void TForm1::rbnI2SFormatClick() {
    SetOptionValue(gSysPara, OptionField::I2sFormat, ui.rbnI2SFormat0->isChecked() ? 0 : 1);
}

void TForm1::rbnDSDOutClick() {
    SetOptionValue(gSysPara, OptionField::DsdOutput, ui.rbnDSDOut0->isChecked() ? 1 : 0);
}

void TForm1::chkMCLKOutOffClick() {
    SetOptionValue(gSysPara, OptionField::MclkOff, ui.chkMCLKOutOff->isChecked() ? 1 : 0);
}

void TForm1::chkI2SOutOffClick() {
    SetOptionValue(gSysPara, OptionField::I2sOff, ui.chkI2SOutOff->isChecked() ? 1 : 0);
}

void TForm1::chkSPDIFOutOffClick() {
    SetOptionValue(gSysPara, OptionField::SpdifOff, ui.chkSPDIFOutOff->isChecked() ? 1 : 0);
}

void TForm1::ConnectParameterPage() {
    // Clicks only: ShowSysPara sets the controls from the block and must not write it.
    auto onClick = [this](QAbstractButton* button, void (TForm1::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    };
    onClick(ui.btnReadPara, &TForm1::btnReadParaClick);
    onClick(ui.btnSetPara, &TForm1::btnSetParaClick);
    for (QAbstractButton* b : {ui.rbnI2Slen0, ui.rbnI2Slen1}) onClick(b, &TForm1::rbnI2SlenClick);
    for (QAbstractButton* b : {ui.rbnSPDIFlen0, ui.rbnSPDIFlen1}) onClick(b, &TForm1::rbnSPDIFlenClick);
    onClick(ui.chkI2SLRSwap, &TForm1::chkI2SLRSwapClick);
    onClick(ui.chkDSDLRSwap, &TForm1::chkDSDLRSwapClick);
    for (QAbstractButton* b : {ui.rbnI2SFormat0, ui.rbnI2SFormat1}) onClick(b, &TForm1::rbnI2SFormatClick);
    for (QAbstractButton* b : {ui.rbnDSDOut0, ui.rbnDSDOut1}) onClick(b, &TForm1::rbnDSDOutClick);
    onClick(ui.chkMCLKOutOff, &TForm1::chkMCLKOutOffClick);
    onClick(ui.chkI2SOutOff, &TForm1::chkI2SOutOffClick);
    onClick(ui.chkSPDIFOutOff, &TForm1::chkSPDIFOutOffClick);
    for (QAbstractButton* b : {ui.rbnMCLKOutFreq0, ui.rbnMCLKOutFreq1, ui.rbnMCLKOutFreq2, ui.rbnMCLKOutFreq3})
        connect(b, &QAbstractButton::clicked, this,
                [this, b] { RunHandler([this, b] { rbnMCLKOutFreqClick(b); }); });

    auto* keys = new KeyDownFilter(this, [this](QObject* sender, int key) {
        auto* edit = static_cast<QLineEdit*>(sender);
        RunHandler([this, edit, key] {
            if (edit == ui.lbledSysVID || edit == ui.lbledSysPID)
                lbledSysVIDPIDKeyDown(edit, key);
            else
                lbledSysStrKeyDown(edit, key);
        });
    });
    for (QLineEdit* edit : {ui.lbledSysVID, ui.lbledSysPID, ui.lbledSysStr1, ui.lbledSysStr2, ui.lbledSysStr3})
        keys->Watch(edit);
}
