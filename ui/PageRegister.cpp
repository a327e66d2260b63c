// The Register page: the chip's 256 registers of the selected bank as a grid of bytes with
// a bit view. The page never selects a bank; writing register 0x00 from it does. Also the
// connections of both grid pages (this one and the I2C Access page) to their controls.

#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/EventHook.h"
#include "ui/GridPage.h"
#include "ui/HexGridView.h"
#include "ui/Unit1.h"

namespace {

// The eight bit boxes, found by their name prefix followed by the bit number.
std::array<QCheckBox*, 8> BitBoxes(QWidget* page, const QString& prefix) {
    std::array<QCheckBox*, 8> boxes{};
    for (int n = 0; n < 8; ++n) boxes[n] = page->findChild<QCheckBox*>(prefix + QString::number(n));
    return boxes;
}

}  // namespace

GridPage TForm1::RegisterGridPage() {
    const GridPageControls controls{ui.RegStringGrid1, ui.btnReadAll, BitBoxes(ui.TabSheet1, QStringLiteral("chkBit")),
                                    ui.lblRegAddr, ui.lblRegData};
    return GridPage(
        controls, kRegisterPageKind, [this](const std::function<void()>& work) { return RunDeviceAction(work); },
        [this] { pump_.Pump(); });
}

GridPage TForm1::I2cGridPage() {
    const GridPageControls controls{ui.StringGridMIIC, ui.btnReadMI2C,
                                    BitBoxes(ui.PageMI2CCtrl, QStringLiteral("chkMI2CBit")), ui.lblMI2CRegAddr,
                                    ui.lblMI2CRegData};
    return GridPage(
        controls, kI2cPageKind, [this](const std::function<void()>& work) { return RunDeviceAction(work); },
        [this] { pump_.Pump(); });
}

void TForm1::btnReadAllClick() { RegisterGridPage().ReadClick(); }

void TForm1::RegStringGridSelectCell(int column, int row) { RegisterGridPage().SelectCell(column, row); }

void TForm1::RegStringGridKeyDown(int key) { RegisterGridPage().KeyDown(key); }

void TForm1::chkBit0MouseUp() { RegisterGridPage().BitBoxReleased(); }

void TForm1::ConnectGridPages() {
    auto handler = [this](void (TForm1::*method)()) {
        return [this, method] { RunHandler([this, method] { (this->*method)(); }); };
    };
    connect(ui.btnReadAll, &QPushButton::clicked, this, handler(&TForm1::btnReadAllClick));
    connect(ui.btnReadMI2C, &QPushButton::clicked, this, handler(&TForm1::btnReadMI2CClick));

    using CellHandler = void (TForm1::*)(int, int);
    using KeyHandler = void (TForm1::*)(int);
    auto grid = [this](QTableWidget* widget, CellHandler select, KeyHandler key) {
        SetUpHexGrid(widget, {[this, select](int column, int row) {
                                  RunHandler([&] { (this->*select)(column, row); });
                              },
                              [this, key](int virtualKey) { RunHandler([&] { (this->*key)(virtualKey); }); }});
    };
    grid(ui.RegStringGrid1, &TForm1::RegStringGridSelectCell, &TForm1::RegStringGridKeyDown);
    grid(ui.StringGridMIIC, &TForm1::StringGridMIICSelectCell, &TForm1::StringGridMIICKeyDown);

    // A release that toggles a box toggles it before the handler looks at the boxes; the
    // handler runs for every mouse button.
    auto bitBoxes = [&](QWidget* page, const QString& prefix, void (TForm1::*method)()) {
        auto* hook = new EventHook(page, [this, method](QObject* watched, QEvent* event) {
            if (event->type() != QEvent::MouseButtonRelease) return false;
            watched->event(event);  // the box takes the release first
            RunHandler([this, method] { (this->*method)(); });
            return true;
        });
        for (QCheckBox* box : BitBoxes(page, prefix)) box->installEventFilter(hook);
    };
    bitBoxes(ui.TabSheet1, QStringLiteral("chkBit"), &TForm1::chkBit0MouseUp);
    bitBoxes(ui.PageMI2CCtrl, QStringLiteral("chkMI2CBit"), &TForm1::chkMI2CBitMouseUp);

    // The slave-address box reports its keys and goes on editing as usual.
    ui.edtMI2CAddr->installEventFilter(new EventHook(ui.edtMI2CAddr, [this](QObject*, QEvent* event) {
        if (event->type() == QEvent::KeyPress) {
            const int key = VirtualKeyOf(*static_cast<QKeyEvent*>(event));
            RunHandler([this, key] { edtMI2CAddrKeyDown(key); });
        }
        return false;
    }));
}
