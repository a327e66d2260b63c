// The I2C Access page's grid: the 256 registers of the slave at gI2CSlaveAddress, read and
// written one byte at a time through the chip's I2C master. The page's activation step is
// in PageI2c.cpp.

#include "diag/ByteImages.h"
#include "ui/ConvertError.h"
#include "ui/GridPage.h"
#include "ui/Unit1.h"

void TForm1::edtMI2CAddrKeyDown(int key) {
    // Only Enter sets the address; nothing is sent to the device.
    if (key != kVkReturn) return;
    std::string shown;
    const std::string error = SetI2cSlaveAddress(ui.edtMI2CAddr->text().toStdString(), shown);
    if (!error.empty()) throw EConvertError(error);
    ui.edtMI2CAddr->setText(QString::fromStdString(shown));
}

void TForm1::btnReadMI2CClick() { I2cGridPage().ReadClick(); }

void TForm1::StringGridMIICSelectCell(int column, int row) { I2cGridPage().SelectCell(column, row); }

void TForm1::StringGridMIICKeyDown(int key) { I2cGridPage().KeyDown(key); }

void TForm1::chkMI2CBitMouseUp() { I2cGridPage().BitBoxReleased(); }
