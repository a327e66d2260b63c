#include "ui/Unit1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPalette>
#include <QRegularExpressionValidator>
#include <QTableWidget>

#include "device/QuorvelUsb.h"
#include "isp/IspState.h"
#include "ui/DeviceAction.h"
#include "ui/WindowGlobals.h"

TForm1::TForm1(UiServices& services, SettingsLocation settings, WindowOptions options,
               QWidget* parent)
    : QWidget(parent),
      Timer1(new QTimer(this)),
      services_(services),
      settings_(std::move(settings)),
      options_(options),
      pump_(services),
      devicePlatform_(gDevice.Platform(), pump_),
      devicePlatformInstalled_(gDevice, devicePlatform_) {
    ui.setupUi(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    SetUpControls();
    ConnectHandlers();
    FormCreate();
    // The page-change event belongs to the user's tab changes, not to the pages FormCreate
    // shows and hides.
    connect(ui.MainPageControl, &QTabWidget::currentChanged, this,
            [this] { RunHandler([this] { MainPageControlChange(); }); });
    // The first tick comes one interval after the message loop starts.
    Timer1->start();
}

TForm1::~TForm1() = default;

void TForm1::SetUpControls() {
    SetPanelColour(ui.pnlUSBExist, QApplication::palette().color(QPalette::Button));
    // The range edits take digits only, at most four.
    for (QLineEdit* edit : {ui.lbledISPStart, ui.lbledISPRange}) {
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]*")), edit));
        edit->setMaxLength(4);
    }
    // Key presses of the edits reach their key-down handlers.
    for (QLineEdit* edit : {ui.lbledtVID, ui.lbledtPID}) edit->installEventFilter(this);
}

void TForm1::ConnectHandlers() {
    // A check box's click event also runs when code changes its checked state.
    connect(ui.chkDetectUSB, &QCheckBox::toggled, this,
            [this] { RunHandler([this] { chkDetectUSBClick(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1Timer(); }); });
    for (QRadioButton* button : {ui.rbnRange0, ui.rbnRange1})
        connect(button, &QRadioButton::clicked, this,
                [this] { RunHandler([this] { rbnRangeClick(); }); });
    ConnectIspPage();
    // Register and I2C Access pages.
    ConnectGridPages();
    // Parameter, Information and Gen. Bin File pages.
    ConnectParameterPage();
    ConnectInformationPage();
    ConnectGenBinPage();
}

void TForm1::ConnectIspPage() {
    const std::pair<QAbstractButton*, void (TForm1::*)()> clicks[] = {
        {ui.USBLoadFileBitBtn, &TForm1::USBLoadFileBitBtnClick},
        {ui.btnEnterISP, &TForm1::btnEnterISPClick},
        {ui.btnUSBChipID, &TForm1::btnUSBChipIDClick},
        {ui.btnUSBReadStatus, &TForm1::btnUSBReadStatusClick},
        {ui.btnUSBWriteEnable, &TForm1::btnUSBWriteEnableClick},
        {ui.btnUSBWriteDisable, &TForm1::btnUSBWriteDisableClick},
        {ui.btnUSBErase, &TForm1::btnUSBEraseClick},
        {ui.btnUSBBlank, &TForm1::btnUSBBlankClick},
        {ui.btnUSBProgram, &TForm1::btnUSBProgramClick},
        {ui.btnUSBVerify, &TForm1::btnUSBVerifyClick},
        {ui.btnReadBack, &TForm1::btnReadBackClick},
        {ui.btnUSBISPAuto, &TForm1::btnUSBISPAutoClick},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler = handler] { RunHandler([this, handler] { (this->*handler)(); }); });
    }
    for (QLineEdit* edit : {ui.lbledtUSBWriteStatus, ui.lbledISPStart, ui.lbledISPRange})
        edit->installEventFilter(this);
}

void TForm1::RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        services_.ShowError(error.what());
    } catch (...) {
        services_.ShowError(std::string());
    }
}

namespace {

void LabelGridHeadings(QTableWidget* grid) {
    auto heading = [](int value) {
        auto* item = new QTableWidgetItem(QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(QApplication::palette().button());
        return item;
    };
    for (int i = 0; i < 16; ++i) {
        grid->setItem(0, i + 1, heading(i));
        grid->setItem(i + 1, 0, heading(16 * i));
    }
    auto* corner = new QTableWidgetItem();
    corner->setFlags(Qt::ItemIsEnabled);
    corner->setBackground(QApplication::palette().button());
    grid->setItem(0, 0, corner);
}

}  // namespace

void TForm1::FormCreate() {
    // 1. The screen's resolution: large fonts get a larger window.
    margin_ = services_.PixelsPerInch() >= 120 ? 140 : 0;
    // 2.
    setWindowTitle(QString::fromStdString(gVersionCaption));
    // 3.
    LoadSettings();
    // 4.
    LabelGridHeadings(ui.RegStringGrid1);
    LabelGridHeadings(ui.StringGridMIIC);
    // 5.
    ui.MainPageControl->setCurrentWidget(ui.TabSheet1);
    // 6.
    gDetectEnabled = 0;
    gIspBusy = 0;
    // 7, 8.
    ShowVidPid();
    gMatchString = "vid_" + gVid + "&pid_" + gPid;
    // 9. Checking the box runs chkDetectUSBClick, which switches detection on.
    ui.chkDetectUSB->setChecked(true);
    // 10.
    gSysPara = {0xA1, 0x00, 0x00, 0x00};
    ShowSysPara();
    // 11. Hiding the active page's tab shows the next one, so "ISP" ends up shown.
    for (QWidget* page : {ui.TabSheet1, ui.PageMI2CCtrl, ui.Parameter, ui.Information, ui.BinFile})
        ui.MainPageControl->setTabVisible(ui.MainPageControl->indexOf(page), false);
    // 12.
    ui.MainPageControl->resize(ui.MainPageControl->width(), 220 + margin_);
    resize(606 + margin_, 360 + margin_);
    // 13.
    ui.pnlISPFuncTest->hide();
    ui.gbxISPRange->hide();
    // 14. Only what the disabled edits show changes; detection keeps gVid and gPid.
    ui.lbledtVID->setText(QStringLiteral("7c3d"));
    ui.lbledtPID->setText(QStringLiteral("6013"));
    // 15. Their checked states still steer the Auto sequence.
    for (QCheckBox* box : IspOptionBoxes()) box->hide();
    if (options_.engineering) ShowEngineeringView();
}

void TForm1::FormClose() {
    if (gIspMode) EndIspModeForClose();
    if (gDevice.IsFound()) gDevice.CloseDevice();
    SaveSettings();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (DeviceAction::Held()) {
        // Closing the handle now would cut the running action off mid-way, before it has
        // protected the flash and left ISP mode: it is asked to stop instead, and the
        // window closes when it has ended.
        closePending_ = true;
        gStopRequest = true;
        event->ignore();
        return;
    }
    closePending_ = false;
    // A settings error is shown, and the window still closes: its range edits are hidden,
    // so keeping it open would leave the user no way out.
    RunHandler([this] { FormClose(); });
    event->accept();
}

void TForm1::MainPageControlChange() {
    if (ui.MainPageControl->currentWidget() == ui.PageMI2CCtrl) PageMI2CCtrlActivate();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = VirtualKeyOf(*static_cast<QKeyEvent*>(event));
        if (watched == ui.lbledtVID || watched == ui.lbledtPID)
            RunHandler([this, watched, key] { lbledtVIDPIDKeyDown(static_cast<QLineEdit*>(watched), key); });
        if (watched == ui.lbledtUSBWriteStatus)
            RunHandler([this, key] { lbledtUSBWriteStatusKeyDown(key); });
        if (watched == ui.lbledISPStart || watched == ui.lbledISPRange)
            RunHandler([this, key] { lbledISPStartKeyDown(key); });
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::SetPanelColour(QWidget* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
}

int VirtualKeyOf(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_Insert:
            return kVkInsert;
        case Qt::Key_Delete:
            return kVkDelete;
        default:
            return 0;
    }
}
