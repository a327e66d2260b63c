#include "ui/HexGridView.h"

#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <QPalette>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "diag/HexGrid.h"
#include "ui/Unit1.h"

namespace {

constexpr int kCells = 16;
const QColor kHighlight(0xC0, 0xC0, 0xC0);  // silver

// The in-cell editor hands Enter, Insert and Delete on to the grid's key handler, with
// what has been typed so far already in the cell.
class HexCellDelegate final : public QStyledItemDelegate {
public:
    HexCellDelegate(QObject* parent, std::function<void(int)> keyDown)
        : QStyledItemDelegate(parent), keyDown_(std::move(keyDown)) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = VirtualKeyOf(*static_cast<QKeyEvent*>(event));
            if (key != 0) {
                auto* editor = static_cast<QWidget*>(object);
                emit commitData(editor);
                keyDown_(key);
                // Closed after the handler, so that it is not deleted while its own key
                // event is still being delivered.
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::function<void(int)> keyDown_;
};

// Enter, Insert and Delete on the grid itself (no editor open) go to the key handler
// instead of the view's own handling.
class HexGridKeys final : public QObject {
public:
    HexGridKeys(QTableWidget* grid, std::function<void(int)> keyDown)
        : QObject(grid), keyDown_(std::move(keyDown)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = VirtualKeyOf(*static_cast<QKeyEvent*>(event));
            if (key != 0) {
                keyDown_(key);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> keyDown_;
};

}  // namespace

void SetUpHexGrid(QTableWidget* grid, HexGridHandlers handlers) {
    for (int row = 1; row <= kCells; ++row)
        for (int column = 1; column <= kCells; ++column) grid->setItem(row, column, new QTableWidgetItem());
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    {
        const QSignalBlocker quiet(grid);
        grid->setCurrentCell(1, 1);
    }
    grid->setItemDelegate(new HexCellDelegate(grid, handlers.keyDown));
    grid->installEventFilter(new HexGridKeys(grid, handlers.keyDown));

    QObject::connect(grid, &QTableWidget::currentCellChanged, grid,
                     [grid, select = std::move(handlers.selectCell)](int row, int column, int leftRow, int leftColumn) {
                         if (row >= 1 && column >= 1) {
                             select(column, row);
                             return;
                         }
                         // The header row and column are fixed: the cursor stays where it was.
                         const QSignalBlocker quiet(grid);
                         if (leftRow >= 1 && leftColumn >= 1)
                             grid->setCurrentCell(leftRow, leftColumn);
                         else
                             grid->setCurrentCell(1, 1);
                     });
}

QString CellText(const QTableWidget* grid, int column, int row) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item != nullptr ? item->text() : QString();
}

void SetCellByte(QTableWidget* grid, int column, int row, uint8_t value) {
    const QString text = QString::fromStdString(TwoHex(value));
    if (QTableWidgetItem* item = grid->item(row, column))
        item->setText(text);
    else
        grid->setItem(row, column, new QTableWidgetItem(text));
}

void HighlightHeaders(QTableWidget* grid, int column, int row) {
    const QBrush face = QApplication::palette().button();
    auto paint = [grid](int r, int c, const QBrush& brush) {
        if (QTableWidgetItem* header = grid->item(r, c)) header->setBackground(brush);
    };
    for (int i = 1; i <= kCells; ++i) {
        paint(i, 0, face);
        paint(0, i, face);
    }
    paint(row, 0, kHighlight);
    paint(0, column, kHighlight);
}
