// The I2C Access page.

#include "chip/I2cMaster.h"
#include "device/QuorvelUsb.h"
#include "ui/Unit1.h"

void TForm1::PageMI2CCtrlActivate() {
    // The chip's I2C master is set up each time the page is shown; the found flag is not
    // consulted and the results are not shown.
    WithOpenDevice([] { I2CMasterSetup(); });
}
