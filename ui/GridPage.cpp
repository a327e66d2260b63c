#include "ui/GridPage.h"

#include <QVariant>

#include "device/QuorvelUsb.h"
#include "diag/HexGrid.h"
#include "isp/IspState.h"
#include "ui/ConvertError.h"
#include "ui/HexGridView.h"

namespace {

constexpr const char* kTag = "tag";

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Puts the Read button back to idle however a run ends.
class ReadRunScope {
public:
    explicit ReadRunScope(std::function<void()> end) : end_(std::move(end)) {}
    ~ReadRunScope() { end_(); }
    ReadRunScope(const ReadRunScope&) = delete;
    ReadRunScope& operator=(const ReadRunScope&) = delete;

private:
    std::function<void()> end_;
};

}  // namespace

GridPage::GridPage(const GridPageControls& controls, const GridPageKind& kind, DeviceActionRunner runAction,
                   std::function<void()> handleInput)
    : controls_(controls), kind_(kind), runAction_(std::move(runAction)), handleInput_(std::move(handleInput)) {}

int GridPage::ReadingFlag(const QPushButton* button) { return button->property(kTag).toInt(); }

void GridPage::SetReadingFlag(int flag) { controls_.readButton->setProperty(kTag, flag); }

std::array<uint8_t, 256>& GridPage::Image() const { return ImageOf(kind_.target); }

void GridPage::ShowBits(uint8_t value) {
    const std::array<bool, 8> bits = BitsOf(value);
    for (int n = 0; n < 8; ++n) controls_.bits[n]->setChecked(bits[n]);
}

void GridPage::ShowCell(uint8_t reg) {
    SetCellByte(controls_.grid, ColumnOfRegister(reg), RowOfRegister(reg), Image()[reg]);
}

void GridPage::ReadClick() {
    // A Stop click ends the run in progress. It is looked at before the device's found
    // flag: with detection switched off during the run, the click must still stop it.
    if (ReadingFlag(controls_.readButton) == 1) {
        SetReadingFlag(0);
        controls_.readButton->setText(Text(kind_.idleCaption));
        return;
    }
    if (!gDevice.IsFound()) return;
    runAction_([this] {
        controls_.readButton->setText(QStringLiteral("Stop"));
        SetReadingFlag(1);
        const ReadRunScope idleAfter([this] {
            SetReadingFlag(0);
            controls_.readButton->setText(Text(kind_.idleCaption));
        });
        // A close of the window during the run stops it too.
        const WalkHooks hooks{
            [this] { return ReadingFlag(controls_.readButton) == 1 && !gStopRequest; },
            [this](uint8_t reg, bool) {
                // A failed read left the image's previous value, which the cell shows.
                ShowCell(reg);
                handleInput_();
            },
        };
        ReadAllRegisters(kind_.target, hooks);
    });
}

void GridPage::SelectCell(int column, int row) {
    const uint8_t reg = RegisterOfCell(column, row);
    HighlightHeaders(controls_.grid, column, row);
    controls_.regAddr->setText(Text("Reg 0x" + TwoHex(reg)));
    // Refused while another action holds the device: the image's value is shown unread.
    runAction_([this, reg] { ReadOneRegister(kind_.target, reg); });
    const uint8_t value = Image()[reg];
    SetCellByte(controls_.grid, column, row, value);
    ShowBits(value);
    controls_.regData->setText(Text("= 0x" + TwoHex(value)));
}

void GridPage::KeyDown(int virtualKey) {
    const GridKey key = GridKeyOf(virtualKey);
    const int column = controls_.grid->currentColumn();
    const int row = controls_.grid->currentRow();
    if (key == GridKey::Other || column < 1 || row < 1) return;
    const uint8_t reg = RegisterOfCell(column, row);
    const std::string text = CellText(controls_.grid, column, row).toStdString();
    const KeyResult result = kind_.target == ByteTarget::ChipRegisters ? RegisterGridKey(key, Image()[reg], text)
                                                                       : I2cGridKey(key, Image()[reg], text);
    if (result.conversionError) throw EConvertError(*result.conversionError);
    if (!result.write) {
        // On the I2C grid the converted text stays in the image even when the step at
        // 0xFF or 0x00 then writes nothing; on the Register grid this changes nothing.
        Image()[reg] = result.image;
        return;
    }
    // While another action holds the device nothing is written, and the typed text stays
    // in the cell for the key to be pressed again.
    if (!runAction_([&] { WriteAndReadBack(kind_.target, reg, result.image, kKeySettleMs); })) return;
    const uint8_t value = Image()[reg];
    SetCellByte(controls_.grid, column, row, value);
    ShowBits(value);
}

void GridPage::BitBoxReleased() {
    std::array<bool, 8> checked{};
    for (int n = 0; n < 8; ++n) checked[n] = controls_.bits[n]->isChecked();
    const uint8_t composed = ComposeBits(checked);
    const uint8_t reg = RegisterOfCell(controls_.grid->currentColumn(), controls_.grid->currentRow());
    if (!runAction_([&] { WriteAndReadBack(kind_.target, reg, composed, kind_.bitSettleMs); })) {
        // Nothing was written: the boxes go back to the register's value.
        ShowBits(Image()[reg]);
        return;
    }
    const uint8_t value = Image()[reg];
    SetCellByte(controls_.grid, controls_.grid->currentColumn(), controls_.grid->currentRow(), value);
    ShowBits(value);
    controls_.regAddr->setText(Text("Reg 0x" + TwoHex(reg)));
    controls_.regData->setText(Text("= 0x" + TwoHex(value)));
}
