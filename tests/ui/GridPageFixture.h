#pragma once
// The window in its engineering view on the simulated chip, with the device found, for the
// tests of the Register and I2C Access pages: mouse clicks on cells and bit boxes, keys on
// the grid, typing in the in-cell editor, as a user's input reaches them.

#include <QLineEdit>
#include <QTest>
#include <array>
#include <memory>

#include "WindowFixture.h"
#include "diag/ByteImages.h"
#include "diag/HexGrid.h"
#include "ui/GridPage.h"

class GridPageFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ResetByteImages();
        form = std::make_unique<TForm1>(services, Settings(), WindowOptions{true});
        form->Timer1->stop();
        Tick();  // the first search finds the normal device
        ASSERT_TRUE(gDevice.IsFound());
        form->show();
        sim->ClearLog();
    }

    void TearDown() override {
        services.onProcessMessages = nullptr;
        WindowFixture::TearDown();
        ResetByteImages();
    }

    void ShowPage(QWidget* page) {
        form->ui.MainPageControl->setCurrentWidget(page);
        ASSERT_EQ(form->ui.MainPageControl->currentWidget(), page);
    }

    static void ClickCell(QTableWidget* grid, int column, int row) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualItemRect(grid->item(row, column)).center());
    }
    static QString Cell(const QTableWidget* grid, int column, int row) { return grid->item(row, column)->text(); }

    // Opens the current cell's in-cell editor, types `text` into it and presses `key` there.
    static void TypeInCell(QTableWidget* grid, const QString& text, Qt::Key key) {
        grid->editItem(grid->currentItem());
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (e->isVisible()) editor = e;
        ASSERT_NE(editor, nullptr) << "the cell opened no editor";
        editor->clear();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
        EXPECT_FALSE(editor->isVisible()) << "the key closed the editor";
    }

    static std::array<QCheckBox*, 8> Boxes(QWidget* page, const char* prefix) {
        std::array<QCheckBox*, 8> boxes{};
        for (int n = 0; n < 8; ++n) {
            boxes[n] = page->findChild<QCheckBox*>(QString::fromLatin1(prefix) + QString::number(n));
            EXPECT_NE(boxes[n], nullptr);
        }
        return boxes;
    }
    // The value the eight boxes show.
    static int BoxesValue(const std::array<QCheckBox*, 8>& boxes) {
        int value = 0;
        for (int n = 0; n < 8; ++n)
            if (boxes[n]->isChecked()) value |= 1 << n;
        return value;
    }

    // Requests other than the audio driver's support queries.
    size_t Requests() const { return Summary().size(); }

    static QColor Background(const QTableWidget* grid, int column, int row) {
        return grid->item(row, column)->background().color();
    }
};
