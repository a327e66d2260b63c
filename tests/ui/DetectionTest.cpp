// Detection against the simulated chip, driven tick by tick.

#include <QApplication>
#include <QKeyEvent>
#include <QPalette>

#include "WindowFixture.h"
#include "ui/DeviceAction.h"

namespace {

const QColor kLime(0x00, 0xFF, 0x00);
const QColor kGrey(0x80, 0x80, 0x80);

QColor ButtonFace() { return QApplication::palette().color(QPalette::Button); }

class DetectionTest : public WindowFixture {
protected:
    QColor PanelColour() const { return form->ui.pnlUSBExist->palette().color(QPalette::Window); }
    std::string Message() const { return form->ui.lblDetectDevice->text().toStdString(); }

    void SetDetect(bool on) { form->ui.chkDetectUSB->setChecked(on); }

    void PressEnter(QLineEdit* edit) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &press);
    }
};

TEST_F(DetectionTest, SearchesInTurnWithNothingAttached) {
    sim->Unplug();
    StartWindow();
    struct Search {
        uint8_t ksPath;
        const char* match;
        int interval;  // set by the tick, for the next one
    };
    // One second to the first search and one more to the second, then every 300 ms:
    // normal, 7C3D, normal, 0B7E, normal, 7C3D, ...
    const Search expected[] = {
        {1, "vid_7c3d&pid_6012", 1000}, {0, "vid_7c3d&pid_6000", 300}, {1, "vid_7c3d&pid_6012", 300},
        {0, "vid_0b7e&pid_6000", 300},  {1, "vid_7c3d&pid_6012", 300}, {0, "vid_7c3d&pid_6000", 300},
        {1, "vid_7c3d&pid_6012", 300},  {0, "vid_0b7e&pid_6000", 300},
    };
    for (const Search& s : expected) {
        SCOPED_TRACE(s.match);
        Tick();
        EXPECT_EQ(gDevice.GetKsPath(), s.ksPath);
        EXPECT_STREQ(gDevice.MatchString(), s.match);
        EXPECT_EQ(form->Timer1->interval(), s.interval);
        EXPECT_FALSE(gDevice.IsFound());
        EXPECT_EQ(Message(), "No device is available");
        EXPECT_EQ(PanelColour(), ButtonFace());
    }
    EXPECT_TRUE(sim->Log().empty());
}

struct FoundCase {
    SimIdentity identity;
    int ticks;  // searches until it is found
    const char* message;
};

std::string IdentityName(SimIdentity id) {
    switch (id) {
        case SimIdentity::Normal: return "Normal";
        case SimIdentity::Update7C3D: return "Update7C3D";
        case SimIdentity::Update0B7E: return "Update0B7E";
    }
    return "Unknown";
}

void PrintTo(const FoundCase& c, std::ostream* os) { *os << IdentityName(c.identity); }

class DetectionFoundTest : public DetectionTest, public ::testing::WithParamInterface<FoundCase> {};

TEST_P(DetectionFoundTest, ShowsWhichDeviceWasFound) {
    sim->SetIdentity(GetParam().identity);
    StartWindow();
    Tick(GetParam().ticks - 1);
    EXPECT_FALSE(gDevice.IsFound());
    Tick();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(Message(), GetParam().message);
    EXPECT_EQ(PanelColour(), kLime);
    EXPECT_EQ(std::string(gDevice.DevicePath()), sim->InterfacePath());
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_EQ(sim->OpenHandles(), 0u);  // the probe's handle is closed again
}

INSTANTIATE_TEST_SUITE_P(
    Identities, DetectionFoundTest,
    ::testing::Values(FoundCase{SimIdentity::Normal, 1, "Device 6012 is exist"},
                      FoundCase{SimIdentity::Update7C3D, 2, "Firmware update device 7C3D is exist"},
                      FoundCase{SimIdentity::Update0B7E, 4, "Firmware update device 0B7E is exist"}),
    [](const auto& info) { return IdentityName(info.param.identity); });

TEST_F(DetectionTest, WatchesAFoundDeviceAndSearchesOnWhenItGoes) {
    StartWindow();
    Tick();
    ASSERT_TRUE(gDevice.IsFound());
    form->Timer1->setInterval(300);
    sim->ClearLog();

    // Watching: every second, a presence check with the path and string that found it.
    Tick(3);
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_EQ(gDevice.GetKsPath(), 1);
    EXPECT_STREQ(gDevice.MatchString(), "vid_7c3d&pid_6012");
    EXPECT_TRUE(sim->Log().empty());  // a presence check sends nothing
    EXPECT_EQ(Message(), "Device 6012 is exist");

    sim->Unplug();
    Tick();
    EXPECT_FALSE(gDevice.IsFound());
    EXPECT_EQ(Message(), "No device is available");
    EXPECT_EQ(PanelColour(), ButtonFace());
    EXPECT_EQ(form->Timer1->interval(), 1000);

    // The cycle goes on from where it stood: the normal device was last, so an update device.
    Tick();
    EXPECT_EQ(gDevice.GetKsPath(), 0);
    EXPECT_STREQ(gDevice.MatchString(), "vid_7c3d&pid_6000");
    EXPECT_EQ(form->Timer1->interval(), 300);

    sim->Plug();
    Tick();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(Message(), "Device 6012 is exist");
}

TEST_F(DetectionTest, SwitchingOffGreysAndClearsThenOnUsesTheEdits) {
    TForm1& w = StartWindow();
    Tick();
    ASSERT_TRUE(gDevice.IsFound());

    SetDetect(false);
    EXPECT_EQ(gDetectEnabled, 0);
    EXPECT_EQ(PanelColour(), kGrey);
    EXPECT_TRUE(w.ui.lbledtVID->isEnabled());
    EXPECT_TRUE(w.ui.lbledtPID->isEnabled());
    EXPECT_FALSE(gDevice.IsFound());
    EXPECT_EQ(Message(), "Device 6012 is exist");  // the last message stays

    // Ticks do nothing while detection is off.
    sim->ClearLog();
    const uint8_t ks = gDevice.GetKsPath();
    Tick(3);
    EXPECT_EQ(gDevice.GetKsPath(), ks);
    EXPECT_EQ(PanelColour(), kGrey);
    EXPECT_FALSE(gDevice.IsFound());

    // On again: the edits' 6013 (shown since start-up) is what the search uses now.
    SetDetect(true);
    EXPECT_FALSE(w.ui.lbledtVID->isEnabled());
    EXPECT_EQ(gPid, "6013");
    EXPECT_EQ(gMatchString, "vid_7c3d&pid_6013");
    Tick(3);  // 7C3D, normal, 0B7E: the 6012 chip is not it
    EXPECT_FALSE(gDevice.IsFound());
    sim->SetNormalIds(0x7c3d, 0x6013);
    Tick();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(Message(), "Device 6013 is exist");
}

TEST_F(DetectionTest, UpperCaseVidStillFindsTheDevice) {
    TForm1& w = StartWindow();
    SetDetect(false);
    w.ui.lbledtVID->setText(QStringLiteral("7C3D"));
    w.ui.lbledtPID->setText(QStringLiteral("6012"));
    SetDetect(true);
    EXPECT_EQ(gVid, "7C3D");
    EXPECT_EQ(gMatchString, "vid_7c3d&pid_6012");
    Tick();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(Message(), "Device 6012 is exist");
}

TEST_F(DetectionTest, EnterInAnEditSetsItsIdWithoutLowering) {
    TForm1& w = StartWindow();
    SetDetect(false);
    w.ui.lbledtPID->setText(QStringLiteral("60AB"));
    w.ui.lbledtVID->setText(QStringLiteral("7C3D"));
    PressEnter(w.ui.lbledtPID);
    EXPECT_EQ(gPid, "60AB");
    EXPECT_EQ(gVid, "7c3d");  // the VID edit's text is taken on its own Enter only
    EXPECT_EQ(gMatchString, "vid_7c3d&pid_60AB");

    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(w.ui.lbledtVID, &other);
    EXPECT_EQ(gVid, "7c3d");
    PressEnter(w.ui.lbledtVID);
    EXPECT_EQ(gVid, "7C3D");  // four characters at most
    EXPECT_EQ(gMatchString, "vid_7C3D&pid_60AB");
}

TEST_F(DetectionTest, TicksChangeNothingWhileTheDeviceIsHeld) {
    StartWindow();
    Tick();
    ASSERT_TRUE(gDevice.IsFound());
    sim->Unplug();  // a tick that ran would notice
    form->Timer1->setInterval(300);

    for (const bool byAutoRun : {true, false}) {
        SCOPED_TRACE(byAutoRun ? "gIspBusy" : "device action");
        auto action = std::make_unique<DeviceAction>();
        if (byAutoRun) {
            action.reset();
            gIspBusy = 1;
        }
        Tick(3);
        EXPECT_TRUE(gDevice.IsFound());
        EXPECT_EQ(Message(), "Device 6012 is exist");
        EXPECT_EQ(PanelColour(), kLime);
        EXPECT_EQ(form->Timer1->interval(), 300);
        gIspBusy = 0;
    }
    Tick();
    EXPECT_FALSE(gDevice.IsFound());
    EXPECT_EQ(Message(), "No device is available");
}

TEST(DeviceActionTest, OneActionAtATime) {
    ASSERT_FALSE(DeviceAction::Held());
    {
        DeviceAction outer;
        EXPECT_TRUE(outer);
        EXPECT_TRUE(DeviceAction::Held());
        DeviceAction nested;
        EXPECT_FALSE(nested);
        {
            DeviceAction another;
            EXPECT_FALSE(another);
        }
        EXPECT_TRUE(DeviceAction::Held());  // a refused guard releases nothing
    }
    EXPECT_FALSE(DeviceAction::Held());
    DeviceAction next;
    EXPECT_TRUE(next);
}

TEST_F(DetectionTest, Timer1DrivesDetectionFromTheMessageLoop) {
    form = std::make_unique<TForm1>(services, Settings());  // Timer1 left running
    ASSERT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 1000);
    // The interval shortened so that the message loop takes the tick at once; the device
    // sits on the virtual clock, so nothing waits for real.
    form->Timer1->setInterval(0);
    for (int i = 0; i < 20 && !gDevice.IsFound(); ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_EQ(Message(), "Device 6012 is exist");
    EXPECT_EQ(PanelColour(), kLime);
    // The next tick watches the device and sets the interval to a second again.
    for (int i = 0; i < 20 && form->Timer1->interval() == 0; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_TRUE(gDevice.IsFound());
    EXPECT_TRUE(form->Timer1->isActive());
}

}  // namespace
