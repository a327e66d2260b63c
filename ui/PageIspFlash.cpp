// The ISP page's program file and single flash operations (the Function Test panel).

#include <string>

#include "chip/Registers.h"
#include "chip/SpiFlash.h"
#include "device/QuorvelUsb.h"
#include "files/FlashImage.h"
#include "files/ProgramFile.h"
#include "isp/FlashErase.h"
#include "isp/IspOperations.h"
#include "isp/IspState.h"
#include "ui/ConvertError.h"
#include "ui/DeviceAction.h"
#include "ui/LabelReporter.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

LabelReporter TForm1::IspReporterForPage() {
    return LabelReporter(ui.lblUSBProcessInfo, ui.lblUSBISPProcess, ui.lblUSBISPStatusReg,
                         services_);
}

bool TForm1::AssignRangeChecked() const { return ui.rbnRange1->isChecked(); }

void TForm1::USBLoadFileBitBtnClick() {
    const auto chosen = services_.OpenFile(OpenBinFileDialog);
    if (!chosen) return;
    gProgramFileName = *chosen;
    ReadProgramFile();
}

void TForm1::ReadProgramFile() {
    if (gProgramFileName.empty()) {
        services_.MessageBox("Program File Not Ready !!    ");
        gProgramFileReady = false;
        return;
    }
    RememberProgramFile();
    const ProgramFileLoad load = LoadProgramFile(gProgramFileName);
    if (!load.ok) {
        // The image is left as it was; the label must not show its sum as this file's.
        ui.lblUSBChecksum->setText(QStringLiteral("Checksum :"));
        services_.MessageBox(load.message);
        return;
    }
    ui.lblUSBChecksum->setText(Text(ChecksumCaption(load.checksum)));
}

void TForm1::btnEnterISPClick() {
    if (!gDevice.IsFound()) return;
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    if (gIspMode) {
        SetIspMode(false);
        gIspMode = false;
        ui.btnEnterISP->setText(QStringLiteral("Enter ISP"));
    } else {
        WriteRegister(0, 0x0D);
        WriteRegister(1, 0x03);
        SetIspMode(true);
        gIspMode = true;
        ui.btnEnterISP->setText(QStringLiteral("Exit ISP"));
    }
    gDevice.CloseDevice();
}

void TForm1::btnUSBChipIDClick() {
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    FlashReadId();
    gDevice.CloseDevice();
    std::string text;
    for (uint8_t byte : gFlashId) text += "0x" + HexByte(byte) + ",  ";
    ui.lblUSBChipID->setText(Text(text));
}

void TForm1::btnUSBReadStatusClick() {
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    const uint8_t status = FlashReadStatus();
    gDevice.CloseDevice();
    ui.lblUSBStatus->setText(Text("0x" + HexByte(status)));
}

void TForm1::btnUSBWriteEnableClick() {
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    FlashWriteEnable();
    gDevice.CloseDevice();
}

void TForm1::btnUSBWriteDisableClick() {
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    FlashWriteDisable();
    gDevice.CloseDevice();
}

void TForm1::lbledtUSBWriteStatusKeyDown(int key) {
    if (key != kVkReturn) return;
    const auto value = static_cast<uint8_t>(HexEditValue(ui.lbledtUSBWriteStatus->text().toStdString()));
    DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    FlashWriteStatus(value);
    gDevice.CloseDevice();
}

void TForm1::btnUSBEraseClick() {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    EraseFlash(AssignRangeChecked() ? EraseMode::AssignedSectors : EraseMode::WholeChip, report);
}

void TForm1::btnUSBBlankClick() {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    RunBlankCheck(AssignRangeChecked(), report);
}

void TForm1::btnUSBProgramClick() {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    RunProgram(AssignRangeChecked(), report);
}

void TForm1::btnUSBVerifyClick() {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    RunVerify(AssignRangeChecked(), report);
}

void TForm1::btnReadBackClick() {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    RunReadBack(report);
    // The file is written also after a failed read: bytes never read show as 0x5A.
    const auto chosen = services_.SaveFile(SaveBinFIleDialog);
    if (chosen && !SaveReadBackImage(*chosen, 0x20000)) report.ProcessInfo("Read Flash save failed");
}

void TForm1::lbledISPStartKeyDown(int) {}
