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

bool TForm1::AssignRangeChecked() const { return ui.rbnRange1->isChecked(); }

void TForm1::USBLoadFileBitBtnClick() {
    // The image is in use while a device action runs: a file chosen now would mix two
    // images in the flash, and the run would wait on the dialog with the flash writable.
    if (DeviceAction::Held()) return;
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
    WithOpenDevice([this] {
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
    });
}

void TForm1::btnUSBChipIDClick() {
    if (!WithOpenDevice([] { FlashReadId(); })) return;
    std::string text;
    for (uint8_t byte : gFlashId) text += "0x" + HexByte(byte) + ",  ";
    ui.lblUSBChipID->setText(Text(text));
}

void TForm1::btnUSBReadStatusClick() {
    uint8_t status = 0xFF;
    if (WithOpenDevice([&] { status = FlashReadStatus(); }))
        ui.lblUSBStatus->setText(Text("0x" + HexByte(status)));
}

void TForm1::btnUSBWriteEnableClick() { WithOpenDevice([] { FlashWriteEnable(); }); }

void TForm1::btnUSBWriteDisableClick() { WithOpenDevice([] { FlashWriteDisable(); }); }

void TForm1::lbledtUSBWriteStatusKeyDown(int key) {
    if (key != kVkReturn) return;
    const auto value = static_cast<uint8_t>(HexEditValue(ui.lbledtUSBWriteStatus->text().toStdString()));
    WithOpenDevice([value] { FlashWriteStatus(value); });
}

void TForm1::btnUSBEraseClick() {
    const EraseMode mode = AssignRangeChecked() ? EraseMode::AssignedSectors : EraseMode::WholeChip;
    RunIspOperation([mode](LabelReporter& report) { EraseFlash(mode, report); });
}

void TForm1::btnUSBBlankClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](LabelReporter& report) { RunBlankCheck(assign, report); });
}

void TForm1::btnUSBProgramClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](LabelReporter& report) { RunProgram(assign, report); });
}

void TForm1::btnUSBVerifyClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](LabelReporter& report) { RunVerify(assign, report); });
}

void TForm1::btnReadBackClick() {
    RunIspOperation([this](LabelReporter& report) {
        RunReadBack(report);
        // Stopped because the window is closing: what was read is no copy of the flash,
        // and no dialog is to hold the close up.
        if (gStopRequest) {
            report.ProcessInfo("Stopped");
            return;
        }
        // The file is written also after a failed read: bytes never read show as 0x5A.
        report.Show();
        const auto chosen = services_.SaveFile(SaveBinFIleDialog);
        if (chosen && !SaveReadBackImage(*chosen, 0x20000)) report.ProcessInfo("Read Flash save failed");
    });
}

void TForm1::lbledISPStartKeyDown(int) {}
