#pragma once
// The Register and I2C Access pages are twins: a grid of the 256 registers with a bit view
// of the selected one, a Read button that reads them all (and, showing "Stop", ends a run),
// one read when a cell is selected, and writes by key or bit box, each read back after a
// short wait. GridPage carries the steps they share on the window's controls; the image,
// the transfers and what a key makes of the cell's text come from diag/, and what differs
// between the two pages is in GridPageKind.
//
// Every step that talks to the device runs as one device action: while another action
// holds the device (a Read run handles input between its registers), a selection shows
// the image's value without reading it, and a key or bit click writes nothing.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "diag/ByteImages.h"

struct GridPageControls {
    QTableWidget* grid = nullptr;
    QPushButton* readButton = nullptr;
    std::array<QCheckBox*, 8> bits{};  // box n shows bit n
    QLabel* regAddr = nullptr;         // "Reg 0x.."
    QLabel* regData = nullptr;         // "= 0x.."
};

struct GridPageKind {
    ByteTarget target;
    const char* idleCaption;  // the Read button's caption while no run is in progress
    uint32_t bitSettleMs;     // wait between a bit box's write and its read-back
};

class GridPage {
public:
    // Runs the work as one device action; false (and nothing run) while another holds the
    // device.
    using DeviceActionRunner = std::function<bool(const std::function<void()>&)>;

    // Wait between a key's write and its read-back, on both pages.
    static constexpr uint32_t kKeySettleMs = 1;

    GridPage(const GridPageControls& controls, const GridPageKind& kind, DeviceActionRunner runAction,
             std::function<void()> handleInput);

    // The Read button: with no run in progress and a device found, reads all 256 registers
    // into the image and the cells, handling pending input after each; during a run, ends
    // it before its next register.
    void ReadClick();
    // Cell (column, row) becomes current: header highlight, the register read, the cell,
    // the bit boxes and both labels.
    void SelectCell(int column, int row);
    // Enter, Insert or Delete on the current cell; raises EConvertError for a cell text
    // that does not convert.
    void KeyDown(int virtualKey);
    // A mouse button released over a bit box: the eight boxes' value is written to the
    // current cell's register and read back.
    void BitBoxReleased();

    // The reading flag, kept in the Read button's tag: 1 while a run is in progress.
    static int ReadingFlag(const QPushButton* button);

private:
    std::array<uint8_t, 256>& Image() const;
    void SetReadingFlag(int flag);
    void ShowBits(uint8_t value);
    void ShowCell(uint8_t reg);

    GridPageControls controls_;
    GridPageKind kind_;
    DeviceActionRunner runAction_;
    std::function<void()> handleInput_;
};

// The Register page's and the I2C Access page's differences.
inline constexpr GridPageKind kRegisterPageKind{ByteTarget::ChipRegisters, "Read Bank", 3};
inline constexpr GridPageKind kI2cPageKind{ByteTarget::I2cSlave, "Read", 30};
