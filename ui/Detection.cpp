// The detection cycle: Timer1 searches for the device and watches it once found, the
// Detect Device switch turns the cycle on and off, and Enter in the VID and PID edits sets
// what the normal device's search looks for.

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <cctype>

#include "device/QuorvelUsb.h"
#include "ui/DeviceAction.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

const QColor kFoundColour(0x00, 0xFF, 0x00);  // lime
const QColor kOffColour(0x80, 0x80, 0x80);    // grey

constexpr const char* kUpdate0B7E = "vid_0b7e&pid_6000";
constexpr const char* kUpdate7C3D = "vid_7c3d&pid_6000";
constexpr unsigned kIntervalWatching = 1000;
constexpr unsigned kIntervalSearching = 300;
// The match string is built in a buffer of this size when detection is switched on.
constexpr size_t kMatchBuffer = 32;

// "vid_<vid>&pid_<pid>", at most 31 characters, letters A to Z lowered.
std::string LoweredMatchString(const std::string& vid, const std::string& pid) {
    std::string text = ("vid_" + vid + "&pid_" + pid).substr(0, kMatchBuffer - 1);
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

void TForm1::Timer1Timer() {
    // A user action holds the device, or the Auto run is in its handler.
    if (gDetectEnabled == 0 || gIspBusy != 0 || DeviceAction::Held()) return;

    if (gDevice.IsFound()) {
        Timer1->setInterval(kIntervalWatching);
        gDevice.CheckPresence();
    } else {
        if (gDevice.GetKsPath() != 0) {
            // The last search was for the normal device: now one of the update devices.
            Timer1->setInterval(kIntervalSearching);
            gDevice.SetKsPath(0);
            if (gUpdateDeviceToggle == 1) {
                gDevice.SetMatchString(kUpdate0B7E);
                gUpdateDeviceToggle = 0;
            } else {
                gDevice.SetMatchString(kUpdate7C3D);
                gUpdateDeviceToggle = 1;
            }
        } else {
            gDevice.SetKsPath(1);
            gDevice.SetMatchString(gMatchString.c_str());
        }
        gDevice.FindDevice();
    }

    if (gDevice.IsFound()) {
        SetPanelColour(ui.pnlUSBExist, kFoundColour);
        std::string text;
        if (gDevice.GetKsPath() != 0)
            text = "Device " + gPid + " is exist";
        else if (gUpdateDeviceToggle == 1)
            text = "Firmware update device 7C3D is exist";
        else
            text = "Firmware update device 0B7E is exist";
        ui.lblDetectDevice->setText(QString::fromStdString(text));
    } else {
        SetPanelColour(ui.pnlUSBExist, QApplication::palette().color(QPalette::Button));
        ui.lblDetectDevice->setText(QStringLiteral("No device is available"));
    }
}

void TForm1::chkDetectUSBClick() {
    if (ui.chkDetectUSB->isChecked()) {
        gDetectEnabled = 1;
        ui.lbledtVID->setEnabled(false);
        ui.lbledtPID->setEnabled(false);
        gVid = ui.lbledtVID->text().toStdString();
        gPid = ui.lbledtPID->text().toStdString();
        // Device paths carry the IDs in lower case; the found flag, the path flag and the
        // toggle stay as they are.
        gMatchString = LoweredMatchString(gVid, gPid);
    } else {
        gDetectEnabled = 0;
        SetPanelColour(ui.pnlUSBExist, kOffColour);
        ui.lbledtVID->setEnabled(true);
        ui.lbledtPID->setEnabled(true);
        // The last message stays; no handle is touched.
        gDevice.ClearFound();
    }
}

void TForm1::lbledtVIDPIDKeyDown(QLineEdit* sender, int key) {
    if (key != kVkReturn) return;
    if (sender == ui.lbledtVID)
        gVid = sender->text().toStdString();
    else if (sender == ui.lbledtPID)
        gPid = sender->text().toStdString();
    // Not lowered: the edits are enabled only while detection is off, and switching it on
    // rebuilds the match string lowered.
    gMatchString = "vid_" + gVid + "&pid_" + gPid;
}

void TForm1::ShowVidPid() {
    ui.lbledtVID->setText(QString::fromStdString(gVid));
    ui.lbledtPID->setText(QString::fromStdString(gPid));
}
