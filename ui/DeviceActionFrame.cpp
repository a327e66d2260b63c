// The frame every handler that talks to the device runs in: one device action at a time,
// a fresh Stop request for each, and a close that waits until the device is free.

#include "chip/SpiFlash.h"
#include "device/QuorvelUsb.h"
#include "isp/FlashErase.h"
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

}  // namespace

bool TForm1::RunDeviceAction(const std::function<void()>& work) {
    // Declared before the action, so it runs after the action has released the device.
    const CloseAfterAction closeAfter([this] { CloseIfPending(); });
    const DeviceAction action;
    if (!action) return false;
    // A Stop raised for an earlier run (or a run that ended before it looked) must not end
    // this one at its first check.
    gStopRequest = false;
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
    if (ui.chkProtect->isChecked()) {
        FlashWriteEnable();
        FlashWriteStatus(0xFF);
        WaitWhileBusy();
    }
    SetIspMode(false);
    gDevice.CloseDevice();
    gIspMode = false;
    ui.btnEnterISP->setText(QStringLiteral("Enter ISP"));
}
