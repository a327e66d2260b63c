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

bool TForm1::WithOpenDevice(const std::function<void()>& requests) {
    DeviceAction action;
    if (!action) return false;
    gDevice.OpenDevice();
    requests();
    gDevice.CloseDevice();
    return true;
}

void TForm1::RunIspOperation(const std::function<void(IspReporter&)>& operation) {
    DeviceAction action;
    if (!action) return;
    LabelReporter report = IspReporterForPage();
    operation(report);
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
    RunIspOperation([mode](IspReporter& report) { EraseFlash(mode, report); });
}

void TForm1::btnUSBBlankClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](IspReporter& report) { RunBlankCheck(assign, report); });
}

void TForm1::btnUSBProgramClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](IspReporter& report) { RunProgram(assign, report); });
}

void TForm1::btnUSBVerifyClick() {
    const bool assign = AssignRangeChecked();
    RunIspOperation([assign](IspReporter& report) { RunVerify(assign, report); });
}

void TForm1::btnReadBackClick() {
    RunIspOperation([this](IspReporter& report) {
        RunReadBack(report);
        // The file is written also after a failed read: bytes never read show as 0x5A.
        const auto chosen = services_.SaveFile(SaveBinFIleDialog);
        if (chosen && !SaveReadBackImage(*chosen, 0x20000)) report.ProcessInfo("Read Flash save failed");
    });
}

void TForm1::lbledISPStartKeyDown(int) {}
