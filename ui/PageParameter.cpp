// The Parameter page: the option block gSysPara shown in its controls.

#include <QRadioButton>

#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

void TForm1::ShowSysPara() {
    const uint8_t b0 = gSysPara[0];
    const uint8_t b1 = gSysPara[1];
    ui.lblEepAvail->setText((gSysPara[3] & 0x80) ? QStringLiteral("EEPROM Exist")
                                                  : QStringLiteral("EEPROM not Available"));
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
