#pragma once
// The main window, Form1 of class TForm1: the detection panel at the top and the page
// control with its six pages. Its handlers carry the page logic; each page's handlers live
// in a file of their own (Unit1.cpp holds start-up, close and the page change, Detection.cpp
// the detection cycle, Settings.cpp the saved settings, Page*.cpp the pages).

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "isp/IspOperations.h"
#include "diag/PlayStatus.h"
#include "ui/InputHandlingPlatform.h"
#include "ui/InputPump.h"
#include "ui/LabelReporter.h"
#include "settings/SettingsStore.h"
#include "ui/UiServices.h"
#include "ui/WindowOptions.h"
#include "ui_Unit1.h"

class QColor;
class QKeyEvent;
class GridPage;

// Virtual-key codes the handlers look at.
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkInsert = 0x2D;
inline constexpr int kVkDelete = 0x2E;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    // Creates the window; FormCreate runs during creation. `services` and the settings
    // location are the window's view of the desktop, replaceable for tests. While the
    // window exists it wraps gDevice's platform, so that the requests of every wait on the
    // device let it handle input.
    explicit TForm1(UiServices& services, SettingsLocation settings = {},
                    WindowOptions options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // The form's components, by their names (ui.lbledtVID, ui.MainPageControl, ...).
    Ui::Form1 ui;
    // Drives detection; enabled, 1000 ms as designed.
    QTimer* Timer1;

    // The window's dialogs.
    static constexpr FileDialogSpec OpenBinFileDialog{"Hex File|*.hex;*.h00|Binary File|*.bin",
                                                      "*.hex"};
    static constexpr FileDialogSpec SaveBinFIleDialog{"Binary File|*.bin", "*.bin"};

    // Start-up, close and the page change.
    void FormCreate();
    void FormClose();
    // With --engineering: every page and the ISP page's hidden controls, in a window
    // large enough for them.
    void ShowEngineeringView();
    void MainPageControlChange();
    // The I2C Access page's step each time it becomes the active page.
    void PageMI2CCtrlActivate();

    // Detection.
    void Timer1Timer();
    void chkDetectUSBClick();
    void lbledtVIDPIDKeyDown(QLineEdit* sender, int key);
    void ShowVidPid();

    // Saved settings.
    void LoadSettings();
    void SaveSettings();

    // ISP page.
    void rbnRangeClick();
    void RememberProgramFile();
    void ReadProgramFile();
    void USBLoadFileBitBtnClick();
    void btnEnterISPClick();
    void btnUSBChipIDClick();
    void btnUSBReadStatusClick();
    void btnUSBWriteEnableClick();
    void btnUSBWriteDisableClick();
    void lbledtUSBWriteStatusKeyDown(int key);
    void btnUSBEraseClick();
    void btnUSBBlankClick();
    void btnUSBProgramClick();
    void btnUSBVerifyClick();
    void btnReadBackClick();
    void lbledISPStartKeyDown(int key);
    void btnUSBISPAutoClick();

    // Parameter, Information and Gen. Bin File pages.
    void ShowSysPara();
    void btnReadParaClick();
    void btnSetParaClick();
    void lbledSysVIDPIDKeyDown(QLineEdit* sender, int key);
    void lbledSysStrKeyDown(QLineEdit* sender, int key);
    void rbnI2SlenClick();
    void rbnSPDIFlenClick();
    void chkI2SLRSwapClick();
    void chkDSDLRSwapClick();
    void rbnMCLKOutFreqClick(QObject* sender);
    void rbnI2SFormatClick();
    void rbnDSDOutClick();
    void chkMCLKOutOffClick();
    void chkI2SOutOffClick();
    void chkSPDIFOutOffClick();
    void btnUpdateStatusClick();
    void btnHIDClick(QObject* sender);
    void srblen0Change();
    void srblen1Change();
    void edtMI2CAddr1KeyDown(int key);
    void btnWriteSpecI2CClick();
    void btnReadSpecI2CClick();
    void CurrentFileBitBtnClick();
    // Loads `name` into the working copy; a refused file is reported and changes nothing.
    bool ReadModifyFile(const std::string& name);
    void btnCheckClick();
    void btnSaveBitBinClick();
    void btnSaveBinClick();
    void ConnectParameterPage();
    void ConnectInformationPage();
    void ConnectGenBinPage();
    // edtI2Ccmd<i> or edtI2Cdat<i>, by name.
    QLineEdit* SpecI2cEdit(const char* prefix, int i) const;
    // The status registers as last read; a read that fails keeps the value held.
    StatusRegisters heldStatus;

    // Register and I2C Access pages (PageRegister.cpp, PageI2cGrid.cpp).
    void btnReadAllClick();
    void RegStringGridSelectCell(int column, int row);
    void RegStringGridKeyDown(int key);
    void chkBit0MouseUp();
    void edtMI2CAddrKeyDown(int key);
    void btnReadMI2CClick();
    void StringGridMIICSelectCell(int column, int row);
    void StringGridMIICKeyDown(int key);
    void chkMI2CBitMouseUp();

    // Runs `handler` as the window's message loop runs an event handler: a conversion error
    // (or any other error) it raises is shown with the standard error display and the
    // window stays open.
    void RunHandler(const std::function<void()>& handler);

    UiServices& Services() { return services_; }
    // The margin FormCreate added to the window's size for the screen's resolution.
    int Margin() const { return margin_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectHandlers();
    void SetUpControls();
    void SetPanelColour(QWidget* panel, const QColor& colour);
    void ConnectIspPage();
    // The frame of every handler that talks to the device: runs `work` unless another
    // device action holds the device, with a Stop left over from an earlier run cleared
    // first; a close that came meanwhile is carried out once the device is free again.
    // Returns whether `work` ran.
    bool RunDeviceAction(const std::function<void()>& work);
    // Closes the window when a close was deferred and no device action runs any more.
    void CloseIfPending();
    // Runs `requests` with the device open, in the device-action frame.
    bool WithOpenDevice(const std::function<void()>& requests);
    // Runs a flash operation that reports to the page's labels, in the device-action frame.
    void RunIspOperation(const std::function<void(LabelReporter&)>& operation);
    // At close, a chip that the Enter ISP button left in ISP mode is protected (when
    // "Flash Protect" is checked) and taken out of it, as an Auto run would end.
    void EndIspModeForClose();
    // The flash operations' texts go to the ISP page's three labels.
    LabelReporter IspReporterForPage();
    bool AssignRangeChecked() const;
    // The Auto run's options from the page's check boxes and range edits.
    AutoOptions AutoOptionsFromPage() const;
    // chkISPMode, chkProtect, chkReadFile, chkErase, chkBlank, chkProgram, chkVerify.
    std::array<QCheckBox*, 7> IspOptionBoxes() const;
    // Register and I2C Access pages: their controls' events, and the steps the two share
    // on each page's controls.
    void ConnectGridPages();
    GridPage RegisterGridPage();
    GridPage I2cGridPage();

    UiServices& services_;
    SettingsLocation settings_;
    WindowOptions options_;
    int margin_ = 0;
    InputPump pump_;
    InputHandlingPlatform devicePlatform_;
    ScopedDevicePlatform devicePlatformInstalled_;
    // A close came while a device action ran; the window closes when it has ended.
    bool closePending_ = false;
};

// The virtual-key code of a key press (Enter and Return both give kVkReturn), 0 for a key
// the handlers never look at.
int VirtualKeyOf(const QKeyEvent& event);
