// The frame every handler that talks to the device runs in: one device action at a time,
// a fresh Stop request for each, the program file and range fixed while it runs, and a
// close that waits until the device is free.

#include <initializer_list>
#include <vector>

#include "chip/SpiFlash.h"
#include "device/QuorvelUsb.h"
#include "isp/IspOperations.h"
#include "isp/IspState.h"
#include "ui/DeviceAction.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

// Carries out a deferred close when the frame is left, also when the handler failed.
class CloseAfterAction {
public:
    explicit CloseAfterAction(std::function<void()> close) : close_(std::move(close)) {}
    ~CloseAfterAction() { close_(); }
    CloseAfterAction(const CloseAfterAction&) = delete;
    CloseAfterAction& operator=(const CloseAfterAction&) = delete;

private:
    std::function<void()> close_;
};

// The controls that choose what a flash operation works on, the program file and the
// range, are disabled while it runs: changed meanwhile, they would mix two images or two
// ranges in the flash. They come back however the action ends.
class WorkInputsLocked {
public:
    explicit WorkInputsLocked(std::initializer_list<QWidget*> controls) : controls_(controls) {
        for (QWidget* control : controls_) control->setEnabled(false);
    }
    ~WorkInputsLocked() {
        for (QWidget* control : controls_) control->setEnabled(true);
    }
    WorkInputsLocked(const WorkInputsLocked&) = delete;
    WorkInputsLocked& operator=(const WorkInputsLocked&) = delete;

private:
    std::vector<QWidget*> controls_;
};

}  // namespace

bool TForm1::RunDeviceAction(const std::function<void()>& work) {
    // Declared before the action, so it runs after the action has released the device.
    const CloseAfterAction closeAfter([this] { CloseIfPending(); });
    const DeviceAction action;
    if (!action) return false;
    // A Stop raised for an earlier run (or a run that ended before it looked) must not end
    // this one at its first check.
    gStopRequest = false;
    const WorkInputsLocked locked({ui.USBLoadFileBitBtn, ui.cbxReadISPFile, ui.gbxISPRange});
    work();
    return true;
}

void TForm1::CloseIfPending() {
    if (closePending_ && !DeviceAction::Held()) close();
}

bool TForm1::WithOpenDevice(const std::function<void()>& requests) {
    return RunDeviceAction([&] {
        gDevice.OpenDevice();
        requests();
        gDevice.CloseDevice();
    });
}

LabelReporter TForm1::IspReporterForPage() {
    return LabelReporter(ui.lblUSBProcessInfo, ui.lblUSBISPProcess, ui.lblUSBISPStatusReg, pump_);
}

void TForm1::RunIspOperation(const std::function<void(LabelReporter&)>& operation) {
    RunDeviceAction([&] {
        LabelReporter report = IspReporterForPage();
        operation(report);
    });
}

void TForm1::EndIspModeForClose() {
    const DeviceAction action;
    if (!action) return;
    gDevice.OpenDevice();
    {
        // Tried once even on a lost link: the device may be back, and a chip left writable
        // is worse than a few more time-outs.
        const LinkCleanupScope cleanup(gDevice);
        if (ui.chkProtect->isChecked()) WriteStatusChecked(0xFF);
        SetIspMode(false);
    }
    gDevice.CloseDevice();
    gIspMode = false;
    ui.btnEnterISP->setText(QStringLiteral("Enter ISP"));
}
