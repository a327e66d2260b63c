#pragma once
// A 17 by 17 grid of hexadecimal bytes as the Register and I2C Access pages show it: a
// fixed header row and column (their texts come from FormCreate), 256 cells of two
// upper-case hexadecimal digits, in-cell editing, and the header highlight of the cell
// under the cursor.
//
// The grid reports to two handlers: a cell that becomes current (mouse or arrow keys,
// never a header cell), and the keys Enter, Insert and Delete, pressed on the grid or in
// its in-cell editor. Pressed in the editor, the text typed so far becomes the cell's text
// first, then the handler runs, then the editor closes; the three keys do not edit the
// text themselves. Other keys move the cursor or start editing as usual.

#include <QObject>
#include <QString>
#include <QTableWidget>
#include <cstdint>
#include <functional>

struct HexGridHandlers {
    std::function<void(int column, int row)> selectCell;
    std::function<void(int virtualKey)> keyDown;
};

// Gives every cell an empty editable item, makes cell (1, 1) current without reporting it,
// and connects the grid to `handlers` through an object owned by the grid.
void SetUpHexGrid(QTableWidget* grid, HexGridHandlers handlers);

// The cell's text; empty for a cell never filled.
QString CellText(const QTableWidget* grid, int column, int row);
// The cell shows `value` as two upper-case hexadecimal digits.
void SetCellByte(QTableWidget* grid, int column, int row, uint8_t value);

// The header cells back in the button-face colour, then the row header of `row` and the
// column header of `column` in silver.
void HighlightHeaders(QTableWidget* grid, int column, int row);
