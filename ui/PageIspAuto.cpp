// The ISP page's Auto button: the whole firmware update in one run, and its Stop.

#include "device/QuorvelUsb.h"
#include "files/ProgramFile.h"
#include "isp/IspOperations.h"
#include "isp/IspState.h"
#include "ui/ConvertError.h"
#include "ui/LabelReporter.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

// Puts the button back to "Auto" and lets detection resume however the run ends.
class AutoRunScope {
public:
    explicit AutoRunScope(QPushButton* button) : button_(button) {
        gIspBusy = 1;
        button_->setText(QStringLiteral("Stop"));
    }
    ~AutoRunScope() {
        button_->setText(QStringLiteral("Auto"));
        gIspBusy = 0;
    }
    AutoRunScope(const AutoRunScope&) = delete;
    AutoRunScope& operator=(const AutoRunScope&) = delete;

private:
    QPushButton* button_;
};

}  // namespace

AutoOptions TForm1::AutoOptionsFromPage() const {
    AutoOptions options;
    options.ispMode = ui.chkISPMode->isChecked();
    options.erase = ui.chkErase->isChecked();
    options.blank = ui.chkBlank->isChecked();
    options.program = ui.chkProgram->isChecked();
    options.verify = ui.chkVerify->isChecked();
    options.protect = ui.chkProtect->isChecked();
    options.assignRange = AssignRangeChecked();
    if (options.assignRange) {
        options.startKb = static_cast<uint32_t>(DecimalEditValue(ui.lbledISPStart->text().toStdString()));
        options.sizeKb = static_cast<uint32_t>(DecimalEditValue(ui.lbledISPRange->text().toStdString()));
    }
    return options;
}

void TForm1::btnUSBISPAutoClick() {
    // A click while a run shows "Stop" stops it; the run itself notices between steps,
    // still protects the flash and leaves ISP mode, and detection resumes once it is over.
    if (ui.btnUSBISPAuto->text() == QStringLiteral("Stop")) {
        ui.btnUSBISPAuto->setText(QStringLiteral("Auto"));
        gStopRequest = true;
        return;
    }
    gIspFail = false;
    if (!gDevice.IsFound()) {
        services_.MessageBox("USB device is NOT available !!    ");
        return;
    }
    if (!gProgramFileReady && ui.cbxReadISPFile->currentText().isEmpty()) {
        services_.MessageBox("Program File Not Ready !!    ");
        return;
    }
    // A run that is still unwinding after a Stop holds the device: this click does nothing.
    RunDeviceAction([this] {
        AutoRunScope running(ui.btnUSBISPAuto);
        if (ui.chkReadFile->isChecked()) {
            const std::string boxed = ui.cbxReadISPFile->currentText().toStdString();
            if (boxed != gProgramFileName) gProgramFileName = boxed;
            ReadProgramFile();
        }
        // Nothing is sent to the device for a program file that did not load: erasing the
        // chip and programming nothing would leave it without firmware.
        if (!gProgramFileReady) {
            if (!ui.chkReadFile->isChecked()) services_.MessageBox("Program File Not Ready !!    ");
            return;
        }
        const AutoOptions options = AutoOptionsFromPage();
        LabelReporter report = IspReporterForPage();
        RunAutoSequence(options, report);
    });
}
