// Start-up: what FormCreate leaves on the screen, in the globals and on the device.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>

#include "WindowFixture.h"

namespace {

class StartupTest : public WindowFixture {};

TEST_F(StartupTest, OffersOnlyTheIspPageWithDetectionOn) {
    TForm1& w = StartWindow();
    EXPECT_EQ(w.windowTitle().toStdString(), "Quorvel USB ISP Tool V1.00.200224");

    QTabWidget* pages = w.ui.MainPageControl;
    ASSERT_EQ(pages->count(), 6);
    const char* order[] = {"TabSheet1", "PageMI2CCtrl", "PageISPCtrl", "Parameter", "Information", "BinFile"};
    const char* captions[] = {"Register", "I2C Access", "ISP", "Parameter", "Information", "Gen. Bin File"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName().toStdString(), order[i]);
        EXPECT_EQ(pages->tabText(i).toStdString(), captions[i]);
        EXPECT_EQ(pages->isTabVisible(i), i == 2) << order[i];
    }
    EXPECT_EQ(pages->currentWidget(), w.ui.PageISPCtrl);

    EXPECT_TRUE(w.ui.pnlISPFuncTest->isHidden());
    EXPECT_TRUE(w.ui.gbxISPRange->isHidden());
    for (QWidget* box : {w.ui.chkISPMode, w.ui.chkProtect, w.ui.chkReadFile, w.ui.chkErase,
                         w.ui.chkBlank, w.ui.chkProgram, w.ui.chkVerify})
        EXPECT_TRUE(box->isHidden()) << box->objectName().toStdString();
    for (QWidget* shown : {static_cast<QWidget*>(w.ui.USBLoadFileBitBtn), static_cast<QWidget*>(w.ui.cbxReadISPFile),
                           static_cast<QWidget*>(w.ui.btnUSBISPAuto), static_cast<QWidget*>(w.ui.lblUSBProcessInfo)})
        EXPECT_FALSE(shown->isHidden()) << shown->objectName().toStdString();

    // The edits show 7c3d and 6013, while detection looks for 7c3d/6012.
    EXPECT_TRUE(w.ui.chkDetectUSB->isChecked());
    EXPECT_EQ(w.ui.lbledtVID->text(), "7c3d");
    EXPECT_EQ(w.ui.lbledtPID->text(), "6013");
    EXPECT_FALSE(w.ui.lbledtVID->isEnabled());
    EXPECT_FALSE(w.ui.lbledtPID->isEnabled());
    EXPECT_EQ(gVid, "7c3d");
    EXPECT_EQ(gPid, "6012");
    EXPECT_EQ(gMatchString, "vid_7c3d&pid_6012");
    EXPECT_EQ(gDetectEnabled, 1);
    EXPECT_EQ(gIspBusy, 0);
    EXPECT_EQ(w.Timer1->interval(), 1000);
    EXPECT_EQ(w.ui.lblDetectDevice->text(), "");

    // Creation talks to no device.
    EXPECT_TRUE(sim->Log().empty());
    EXPECT_FALSE(gDevice.IsFound());
}

TEST_F(StartupTest, LabelsBothGridsAndShowsTheOptionBlock) {
    TForm1& w = StartWindow();
    for (QTableWidget* grid : {w.ui.RegStringGrid1, w.ui.StringGridMIIC}) {
        ASSERT_EQ(grid->rowCount(), 17);
        ASSERT_EQ(grid->columnCount(), 17);
        EXPECT_EQ(grid->item(0, 1)->text(), "00");
        EXPECT_EQ(grid->item(0, 11)->text(), "0A");
        EXPECT_EQ(grid->item(0, 16)->text(), "0F");
        EXPECT_EQ(grid->item(1, 0)->text(), "00");
        EXPECT_EQ(grid->item(2, 0)->text(), "10");
        EXPECT_EQ(grid->item(16, 0)->text(), "F0");
        EXPECT_EQ(grid->item(5, 5)->text(), "") << "the cells are empty until something is read";
    }

    // A1 00 00 00: no EEPROM, I2S 32 bit, S/PDIF 24 bit, no swaps, MCLK 512 Fs, Standard,
    // DSD output, all outputs on.
    EXPECT_EQ(gSysPara, (std::array<uint8_t, 4>{0xA1, 0x00, 0x00, 0x00}));
    EXPECT_EQ(w.ui.lblEepAvail->text(), "EEPROM not Available");
    EXPECT_TRUE(w.ui.rbnI2Slen0->isChecked());
    EXPECT_TRUE(w.ui.rbnSPDIFlen1->isChecked());
    EXPECT_FALSE(w.ui.chkI2SLRSwap->isChecked());
    EXPECT_FALSE(w.ui.chkDSDLRSwap->isChecked());
    EXPECT_TRUE(w.ui.rbnMCLKOutFreq2->isChecked());
    EXPECT_FALSE(w.ui.rbnMCLKOutFreq0->isChecked());
    EXPECT_TRUE(w.ui.rbnI2SFormat0->isChecked());
    EXPECT_TRUE(w.ui.rbnDSDOut0->isChecked());
    EXPECT_FALSE(w.ui.chkMCLKOutOff->isChecked());
    EXPECT_FALSE(w.ui.chkI2SOutOff->isChecked());
    EXPECT_FALSE(w.ui.chkSPDIFOutOff->isChecked());
}

struct SizeCase {
    int pixelsPerInch;
    int width, height, pageHeight;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.pixelsPerInch << " ppi"; }

class WindowSizeTest : public WindowFixture, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(WindowSizeTest, FollowsTheScreenResolution) {
    services.pixelsPerInch = GetParam().pixelsPerInch;
    TForm1& w = StartWindow();
    EXPECT_EQ(w.width(), GetParam().width);
    EXPECT_EQ(w.height(), GetParam().height);
    EXPECT_EQ(w.ui.MainPageControl->height(), GetParam().pageHeight);
    EXPECT_EQ(w.ui.MainPageControl->geometry(), QRect(4, 88, 585, GetParam().pageHeight));
    EXPECT_EQ(w.ui.pnlUSB->geometry(), QRect(16, 8, 537, 65));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, WindowSizeTest,
                         ::testing::Values(SizeCase{96, 606, 360, 220}, SizeCase{119, 606, 360, 220},
                                           SizeCase{120, 746, 500, 360}, SizeCase{144, 746, 500, 360}),
                         [](const auto& info) { return "Dpi" + std::to_string(info.param.pixelsPerInch); });

// The form's controls: name, the caption or text it carries, and its design-time states.
struct Control {
    const char* name;
    const char* text;
    bool enabled = true;
    int checked = -1;  // -1: not a check box or radio button
};

const Control kControls[] = {
    {"lbledtVIDLabel", "VID:"}, {"lbledtPIDLabel", "PID:"}, {"chkDetectUSB", "Detect Device", true, 1},
    // Register page
    {"btnReadAll", "Read Bank"}, {"Label1", "7 6 5 4 3 2 1 0"}, {"lblRegAddr", "Reg 0x00"},
    {"lblRegData", "= 0x00"}, {"chkBit0", "", true, 0}, {"chkBit7", "", true, 0},
    // I2C Access page
    {"btnReadMI2C", "Read"}, {"Label6", "Slave Address: 0x"}, {"edtMI2CAddr", "20"},
    {"Label15", "(enter)"}, {"Label3", "7 6 5 4 3 2 1 0"}, {"chkMI2CBit0", "", true, 0},
    {"chkMI2CBit7", "", true, 0}, {"lblMI2CRegAddr", "Reg 0x00"}, {"lblMI2CRegData", "= 0x00"},
    // ISP page
    {"USBLoadFileBitBtn", "File"}, {"btnUSBISPAuto", "Auto"}, {"lblUSBChecksum", "Checksum :"},
    {"lblUSBProcessInfo", "Status:"}, {"lblUSBISPStatusReg", "Status Register: 0x00"},
    {"lblUSBISPProcess", "Process Addr: 0x000000"}, {"chkISPMode", "ISP Mode", true, 1},
    {"chkProtect", "Flash Protect", true, 1}, {"chkReadFile", "Reload File", true, 1},
    {"chkErase", "Erase", true, 1}, {"chkBlank", "Blank", true, 1}, {"chkProgram", "Program", true, 1},
    {"chkVerify", "Verify", true, 1}, {"rbnRange0", "All", true, 1}, {"rbnRange1", "Assign Range", true, 0},
    {"lbledISPStartLabel", "Start Addr:", false}, {"lbledISPStart", "32", false},
    {"lbledISPRangeLabel", "Size: ", false}, {"lbledISPRange", "32", false}, {"Label20", "KB", false},
    {"Label21", "KB", false}, {"btnUSBChipID", "Chip ID"}, {"lblUSBChipID", "0x00"},
    {"btnEnterISP", "Enter ISP"}, {"btnUSBReadStatus", "Read Status"}, {"lblUSBStatus", "0x00"},
    {"lbledtUSBWriteStatusLabel", "Write Status : 0x"}, {"lbledtUSBWriteStatus", ""},
    {"btnUSBWriteEnable", "Write Enable"}, {"btnUSBWriteDisable", "Write Disable"},
    {"btnUSBErase", "Erase"}, {"btnUSBBlank", "Blank Check"}, {"btnUSBProgram", "Program"},
    {"btnUSBVerify", "Verify"}, {"btnReadBack", "Read Flash"},
    {"lbledIspCmdRDIDLabel", "Chip ID:"}, {"lbledIspCmdRDID", "9F"}, {"lbledIspCmdWRENLabel", "Write Enable:"},
    {"lbledIspCmdWREN", "06"}, {"lbledIspCmdWRDSLabel", "Write Disable:"}, {"lbledIspCmdWRDS", "04"},
    {"lbledIspCmdRDSDLabel", "Read Status:"}, {"lbledIspCmdRDSD", "05"},
    {"lbledIspCmdWRSDLabel", "Write Status: "}, {"lbledIspCmdWRSD", "01"},
    {"lbledIspCmdERALLabel", "Erase All:"}, {"lbledIspCmdERAL", "C7"},
    {"lbledIspCmdPPLabel", "Page Program: "}, {"lbledIspCmdPP", "02"},
    {"lbledIspCmdReadLabel", "Read:"}, {"lbledIspCmdRead", "03"},
    // Parameter page (radio states as ShowSysPara left them)
    {"btnReadPara", "Read back"}, {"btnSetPara", "Set"}, {"Label8", "System General Setting"},
    {"rbnDSDOut0", "DSD", true, 1}, {"rbnDSDOut1", "DoP", true, 0}, {"rbnI2Slen0", "32 bit", true, 1},
    {"rbnI2Slen1", "24 bit", true, 0}, {"rbnSPDIFlen0", "32 bit", true, 0}, {"rbnSPDIFlen1", "24 bit", true, 1},
    {"rbnMCLKOutFreq0", "128 Fs", true, 0}, {"rbnMCLKOutFreq1", "256 Fs", true, 0},
    {"rbnMCLKOutFreq2", "512 Fs", true, 1}, {"rbnMCLKOutFreq3", "1024 Fs", true, 0},
    {"rbnI2SFormat0", "Standard", true, 1}, {"rbnI2SFormat1", "Left Justify", true, 0},
    {"chkI2SLRSwap", "I2S Output Channel Swap", true, 0}, {"chkDSDLRSwap", "DSD Output Channel Swap", true, 0},
    {"chkMCLKOutOff", "MCLK Output Off", true, 0}, {"chkI2SOutOff", "I2S Output Off", true, 0},
    {"chkSPDIFOutOff", "SPDIF Output Off", true, 0}, {"lbledSysVIDLabel", "VID:"}, {"lbledSysVID", "7c30"},
    {"lbledSysPIDLabel", "PID:"}, {"lbledSysPID", "6012"},
    {"Label2", "Prodcut Information String (Max. 31 character)"}, {"lbledSysStr1Label", "String 1:"},
    {"lbledSysStr1", "Quorvel-inc"}, {"Label4", "(Manufacturer)"}, {"lbledSysStr2", "Quorvel-inc UAC2 22"},
    {"Label5", "(Model Name)"}, {"lbledSysStr3", "QVUA170203"}, {"Label7", "(Serial Number)"},
    // Information page
    {"lblConnect", "USB connected"}, {"lblMute", "Unmute"}, {"lblCurrentFormat0", "Input Format:"},
    {"lblCurrentFormat1", "PCM"}, {"lblCurrentFreq0", "Input Freq:  "}, {"lblCurrentFreq1", "176.4KHz"},
    {"btnUpdateStatus", "Update"}, {"btnHID0", "HID Prev"}, {"btnHID1", "HID Vol -"}, {"btnHID2", "HID Play"},
    {"btnHID3", "HID Vol +"}, {"btnHID4", "HID Next"}, {"Label16", "Slave Address: 0x"},
    {"edtMI2CAddr1", "60"}, {"Label17", "(enter)"}, {"Label18", "Command Len."}, {"lbllencmd", "1"},
    {"Label19", "Data Len."}, {"lbllendat", "1"}, {"Add", "Command"}, {"Label22", "Data"},
    {"edtI2Ccmd0", "00"}, {"edtI2Ccmd1", "00", false}, {"edtI2Ccmd4", "00", false},
    {"edtI2Cdat0", "00"}, {"edtI2Cdat1", "00", false}, {"edtI2Cdat4", "00", false},
    {"btnWriteSpecI2C", "Write"}, {"btnReadSpecI2C", "Read"},
    // Gen. Bin File page
    {"Label13", "Modify User parameter and save to new Binary File"}, {"CurrentFileBitBtn", "Current File"},
    {"lblCurrentFilePath", "..."}, {"btnCheck", "Check", false}, {"lblStatusReport", ""}, {"lblSaveDone", ""},
    {"labedtNewVIDLabel", "VID:"}, {"labedtNewVID", "7C3D"}, {"labedtNewPIDLabel", "PID:"},
    {"labedtNewPID", "6012"}, {"Label9", "Manufacture:"}, {"edtNewStr0", "Quorvel-inc"},
    {"Label10", "Product Name:"}, {"edtNewStr1", "Quorvel-inc DUR22"}, {"Label11", "Serial Number:"},
    {"edtNewStr2", "QVUA170405"}, {"Label12", "Play Port:"}, {"edtNewStr3", "Primary Play Interface"},
    {"Label14", "Record Port:"}, {"edtNewStr4", "Record Interface"}, {"btnSaveBitBin", "New File", false},
    {"lblSaveBinPath", "..."}, {"btnSaveBin", " Save", false},
};

QString TextOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    return QStringLiteral("<no text>");
}

TEST_F(StartupTest, FormHoldsEveryControlWithItsTextAndState) {
    TForm1& w = StartWindow();
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.name);
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(TextOf(widget).toStdString(), c.text);
        // The control's own state; a disabled group disables its children as well.
        EXPECT_EQ(!widget->testAttribute(Qt::WA_ForceDisabled), c.enabled);
        if (c.checked >= 0) {
            auto* button = qobject_cast<QAbstractButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->isChecked(), c.checked == 1);
        }
    }
    // Group captions, with their blanks.
    EXPECT_EQ(w.ui.GroupBox2->title(), "Output when  DSD in");
    EXPECT_EQ(w.ui.GroupBox6->title(), "I2S Format ");
    EXPECT_EQ(w.ui.GroupBox9->title(), "User information New Setting ");
    EXPECT_FALSE(w.ui.GroupBox9->isEnabled());
    EXPECT_EQ(w.ui.gbxISPRange->title(), "Flash Access Range");
    EXPECT_EQ(w.ui.gbxFlashCMD->title(), "Flash Instruction");
    EXPECT_EQ(w.ui.GroupBox1->title(), "Function Test");
    EXPECT_EQ(w.ui.GroupBox7->title(), "Special I2C access");
    for (QScrollBar* bar : {w.ui.srblen0, w.ui.srblen1}) {
        EXPECT_EQ(bar->minimum(), 1);
        EXPECT_EQ(bar->maximum(), 5);
        EXPECT_EQ(bar->value(), 1);
    }
    // Bit boxes: bit 7 leftmost, 16 pixels apart.
    EXPECT_EQ(w.ui.chkBit7->geometry(), QRect(8, 16, 17, 17));
    EXPECT_EQ(w.ui.chkBit0->geometry(), QRect(120, 16, 17, 17));
    EXPECT_EQ(w.ui.RegStringGrid1->geometry(), QRect(8, 84, 565, 365));
    EXPECT_EQ(w.ui.pnlUSBExist->size(), QSize(73, 23));
    EXPECT_EQ(w.ui.lbledtVID->maxLength(), 4);
    EXPECT_EQ(w.ui.lbledtPID->maxLength(), 4);
}

}  // namespace
