// The Register page: the chip's registers of the selected bank, read by Read Bank and by
// selecting a cell, written by keys and bit boxes; what reaches the chip is checked in its
// registers and its request log.

#include <QApplication>
#include <algorithm>
#include <optional>

#include "GridPageFixture.h"

namespace {

class RegisterPageTest : public GridPageFixture {
protected:
    void SetUp() override {
        GridPageFixture::SetUp();
        ShowPage(form->ui.TabSheet1);
        grid = form->ui.RegStringGrid1;
        boxes = Boxes(form->ui.TabSheet1, "chkBit");
    }

    QString Caption() const { return form->ui.btnReadAll->text(); }
    int ReadingFlag() const { return GridPage::ReadingFlag(form->ui.btnReadAll); }

    QTableWidget* grid = nullptr;
    std::array<QCheckBox*, 8> boxes{};
};

TEST_F(RegisterPageTest, SelectingACellReadsItsRegister) {
    sim->SetRegister(0, 0x2A, 0xA5);
    sim->SetRegister(0, 0x2B, 0x0F);
    ClickCell(grid, 11, 3);  // row 20, column 0A

    EXPECT_EQ(RegisterReads(), std::vector<uint16_t>{0x2A});
    EXPECT_TRUE(RegisterWrites().empty());
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_EQ(form->ui.lblRegAddr->text(), "Reg 0x2A");
    EXPECT_EQ(form->ui.lblRegData->text(), "= 0xA5");
    EXPECT_EQ(Cell(grid, 11, 3), "A5");
    EXPECT_EQ(BoxesValue(boxes), 0xA5);
    EXPECT_EQ(Background(grid, 0, 3), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(Background(grid, 11, 0), QColor(0xC0, 0xC0, 0xC0));

    // The arrow keys select too; the headers left behind lose their highlight.
    sim->ClearLog();
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(RegisterReads(), std::vector<uint16_t>{0x2B});
    EXPECT_EQ(form->ui.lblRegAddr->text(), "Reg 0x2B");
    EXPECT_EQ(form->ui.lblRegData->text(), "= 0x0F");
    EXPECT_EQ(Background(grid, 11, 0), QApplication::palette().button().color());
    EXPECT_EQ(Background(grid, 12, 0), QColor(0xC0, 0xC0, 0xC0));

    // The header row is fixed: clicking it moves nothing and reads nothing.
    sim->ClearLog();
    ClickCell(grid, 5, 0);
    ClickCell(grid, 0, 7);
    EXPECT_EQ(Requests(), 0u);
    EXPECT_EQ(grid->currentRow(), 3);
    EXPECT_EQ(grid->currentColumn(), 12);
}

// A key on register 0x2A (or on cell 1,1, register 0x00, never selected).
struct RegisterKeyCase {
    const char* name;
    bool select;                  // the cell is selected (and read) first
    uint8_t chip;                 // the register's value in the chip
    bool readFails;               // the selection's read fails
    const char* typed;            // typed in the in-cell editor before the key; null: key on the grid
    Qt::Key key;
    std::optional<uint8_t> written;
    const char* cellAfter;
    const char* error;            // the conversion message, or null
};

void PrintTo(const RegisterKeyCase& c, std::ostream* os) { *os << c.name; }

class RegisterKeyTest : public RegisterPageTest, public ::testing::WithParamInterface<RegisterKeyCase> {};

TEST_P(RegisterKeyTest, SendsWhatTheKeyMakesOfTheCell) {
    const RegisterKeyCase& c = GetParam();
    const uint8_t reg = c.select ? 0x2A : 0x00;
    if (c.select) {
        sim->SetRegister(0, reg, c.chip);
        if (c.readFails) sim->FailRequestsMatching([](const SimRequest& r) { return r.setup.bRequest == 0x91; }, 1);
        ClickCell(grid, 11, 3);
    }
    const QString addr = form->ui.lblRegAddr->text(), data = form->ui.lblRegData->text();
    sim->ClearLog();
    const uint64_t before = clock.NowMicros();

    if (c.typed != nullptr)
        TypeInCell(grid, QString::fromLatin1(c.typed), c.key);
    else
        QTest::keyClick(grid, c.key);

    if (c.written) {
        EXPECT_EQ(RegisterWrites(), (std::vector<std::pair<uint16_t, uint8_t>>{{reg, *c.written}}));
        EXPECT_EQ(RegisterReads(), std::vector<uint16_t>{reg});
        EXPECT_EQ(clock.NowMicros() - before, 1000u) << "1 ms between the write and its read-back";
        EXPECT_EQ(gRegisterImage[reg], *c.written);
        EXPECT_EQ(BoxesValue(boxes), *c.written);
    } else {
        EXPECT_EQ(Requests(), 0u) << "nothing is sent";
    }
    EXPECT_EQ(Cell(grid, c.select ? 11 : 1, c.select ? 3 : 1), QString::fromLatin1(c.cellAfter));
    if (c.error != nullptr) {
        EXPECT_EQ(services.errors, std::vector<std::string>{c.error});
    } else {
        EXPECT_TRUE(services.errors.empty());
    }
    // A key leaves the labels as the last selection left them.
    EXPECT_EQ(form->ui.lblRegAddr->text(), addr);
    EXPECT_EQ(form->ui.lblRegData->text(), data);
    EXPECT_FALSE(gDevice.HasHandle());
}

const RegisterKeyCase kRegisterKeyCases[] = {
    {"Enter1f", true, 0x00, false, "1f", Qt::Key_Return, 0x1F, "1F", nullptr},
    {"Enter123", true, 0x00, false, "123", Qt::Key_Return, 0x23, "23", nullptr},
    {"EnterOnTheGrid", true, 0x4C, false, nullptr, Qt::Key_Enter, 0x4C, "4C", nullptr},
    {"InsertAtFF", true, 0xFF, false, nullptr, Qt::Key_Insert, std::nullopt, "FF", nullptr},
    {"DeleteAt00", true, 0x00, false, nullptr, Qt::Key_Delete, std::nullopt, "00", nullptr},
    {"DeleteSteps", true, 0x10, false, nullptr, Qt::Key_Delete, 0x0F, "0F", nullptr},
    // Insert and Delete step the image, not the text typed.
    {"InsertInEditorStepsTheImage", true, 0x10, false, "3C", Qt::Key_Insert, 0x11, "11", nullptr},
    // A failed read leaves the image as it was (never read: 0x00), and Insert steps that.
    {"InsertAfterAFailedRead", true, 0x77, true, nullptr, Qt::Key_Insert, 0x01, "01", nullptr},
    {"InsertNeverRead", false, 0x00, false, nullptr, Qt::Key_Insert, 0x01, "01", nullptr},
    {"EnterOnAnEmptyCell", false, 0x00, false, nullptr, Qt::Key_Return, std::nullopt, "",
     "'0x' is not a valid integer value"},
    {"EnterOnBadText", true, 0x42, false, "1G", Qt::Key_Return, std::nullopt, "1G",
     "'0x1G' is not a valid integer value"},
};

INSTANTIATE_TEST_SUITE_P(Keys, RegisterKeyTest, ::testing::ValuesIn(kRegisterKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegisterPageTest, ABitBoxWritesTheValueOfAllEightBoxes) {
    sim->SetRegister(0, 0x2A, 0x5A);
    ClickCell(grid, 11, 3);
    ASSERT_EQ(BoxesValue(boxes), 0x5A);

    struct Step {
        int box;
        Qt::MouseButton button;
        uint8_t written;
    };
    for (const Step& s : {Step{0, Qt::LeftButton, 0x5B}, Step{7, Qt::LeftButton, 0xDB},
                          // Any button's release writes; only the left one toggles.
                          Step{6, Qt::RightButton, 0xDB}, Step{1, Qt::LeftButton, 0xD9}}) {
        SCOPED_TRACE(s.box);
        sim->ClearLog();
        const uint64_t before = clock.NowMicros();
        QTest::mouseClick(boxes[s.box], s.button);
        EXPECT_EQ(RegisterWrites(), (std::vector<std::pair<uint16_t, uint8_t>>{{0x2A, s.written}}));
        EXPECT_EQ(RegisterReads(), std::vector<uint16_t>{0x2A});
        EXPECT_EQ(clock.NowMicros() - before, 3000u) << "3 ms between the write and its read-back";
        EXPECT_EQ(sim->Register(0, 0x2A), s.written);
        EXPECT_EQ(Cell(grid, 11, 3), QString::fromStdString(TwoHex(s.written)));
        EXPECT_EQ(BoxesValue(boxes), s.written);
        EXPECT_EQ(form->ui.lblRegAddr->text(), "Reg 0x2A");
        EXPECT_EQ(form->ui.lblRegData->text(), QString::fromStdString("= 0x" + TwoHex(s.written)));
    }
}

TEST_F(RegisterPageTest, WritingRegisterZeroChangesTheBankThatReadBankShows) {
    sim->SetRegister(5, 0x10, 0xB5);
    sim->SetRegister(0, 0x10, 0x33);
    TypeInCell(grid, QStringLiteral("5"), Qt::Key_Return);  // cell 1,1: register 0x00
    EXPECT_EQ(sim->SelectedBank(), 5);
    sim->ClearLog();

    form->ui.btnReadAll->click();
    std::vector<uint16_t> all(256);
    for (uint16_t r = 0; r < 256; ++r) all[r] = r;
    EXPECT_EQ(RegisterReads(), all);
    EXPECT_TRUE(RegisterWrites().empty()) << "Read Bank selects no bank";
    EXPECT_EQ(Cell(grid, 1, 2), "B5");
    EXPECT_EQ(Cell(grid, 1, 1), "05");
    EXPECT_EQ(Caption(), "Read Bank");
    EXPECT_EQ(ReadingFlag(), 0);
    EXPECT_FALSE(gDevice.HasHandle());
    // Pending input was handled after every register.
    EXPECT_GE(services.pumps, 256);
}

TEST_F(RegisterPageTest, ReadBankWithoutADeviceDoesNothing) {
    form->ui.chkDetectUSB->setChecked(false);
    ASSERT_FALSE(gDevice.IsFound());
    sim->ClearLog();
    form->ui.btnReadAll->click();
    EXPECT_EQ(Requests(), 0u);
    EXPECT_EQ(Caption(), "Read Bank");
    EXPECT_EQ(ReadingFlag(), 0);
    EXPECT_EQ(Cell(grid, 1, 1), "");
}

// What happens at the tenth pump of a Read Bank run, before the Stop click.
struct StopCase {
    const char* name;
    bool detectionOff;  // Detect Device is switched off first
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class ReadBankStopTest : public RegisterPageTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ReadBankStopTest, StopEndsTheRunAtTheNextRegister) {
    for (int r = 0; r < 256; ++r) sim->SetRegister(0, static_cast<uint8_t>(r), 0x80);
    sim->SetRegister(0, 0, 0);
    int pumps = 0;
    QString captionDuringRun;
    services.onProcessMessages = [&] {
        if (++pumps != 10) return;
        captionDuringRun = Caption();
        if (GetParam().detectionOff) form->ui.chkDetectUSB->setChecked(false);
        form->ui.btnReadAll->click();
    };
    form->ui.btnReadAll->click();
    services.onProcessMessages = nullptr;

    EXPECT_EQ(captionDuringRun, "Stop");
    const size_t read = RegisterReads().size();
    EXPECT_GE(read, 5u);
    EXPECT_LT(read, 12u);
    EXPECT_EQ(Cell(grid, 16, 16), "") << "the registers after the Stop are left untouched";
    EXPECT_EQ(Cell(grid, 2, 1), "80");
    EXPECT_EQ(Caption(), "Read Bank");
    EXPECT_EQ(ReadingFlag(), 0);
    EXPECT_FALSE(gDevice.HasHandle());
    if (GetParam().detectionOff) return;

    // The next click starts a whole new run.
    sim->ClearLog();
    form->ui.btnReadAll->click();
    EXPECT_EQ(RegisterReads().size(), 256u);
    EXPECT_EQ(Cell(grid, 16, 16), "80");
}

INSTANTIATE_TEST_SUITE_P(Stop, ReadBankStopTest,
                         ::testing::Values(StopCase{"Click", false}, StopCase{"ClickAfterDetectionOff", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegisterPageTest, DuringReadBankASelectionOrKeySendsNothingOfItsOwn) {
    sim->SetRegister(0, 0xF0, 0x42);
    int pumps = 0;
    services.onProcessMessages = [&] {
        if (++pumps != 5) return;
        ClickCell(grid, 1, 16);  // register 0xF0
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::mouseClick(boxes[3], Qt::LeftButton);
    };
    form->ui.btnReadAll->click();
    services.onProcessMessages = nullptr;

    const std::vector<uint16_t> reads = RegisterReads();
    EXPECT_EQ(std::count(reads.begin(), reads.end(), 0xF0), 1) << "only the run read it";
    EXPECT_TRUE(RegisterWrites().empty());
    EXPECT_EQ(form->ui.lblRegAddr->text(), "Reg 0xF0");
    // Selected before the run reached it: the image's value then, unread; the refused bit
    // click was undone.
    EXPECT_EQ(form->ui.lblRegData->text(), "= 0x00");
    EXPECT_EQ(BoxesValue(boxes), 0x00);
    EXPECT_EQ(Cell(grid, 1, 16), "42");

    // Once the run is over, the same key writes.
    sim->ClearLog();
    QTest::keyClick(grid, Qt::Key_Insert);
    EXPECT_EQ(RegisterWrites(), (std::vector<std::pair<uint16_t, uint8_t>>{{0xF0, 0x43}}));
    EXPECT_EQ(sim->Register(0, 0xF0), 0x43);
}

TEST_F(RegisterPageTest, ClosingTheWindowStopsReadBank) {
    int pumps = 0;
    bool closedAtOnce = true;
    services.onProcessMessages = [&] {
        if (++pumps == 3) closedAtOnce = form->close();
    };
    form->ui.btnReadAll->click();
    services.onProcessMessages = nullptr;
    EXPECT_FALSE(closedAtOnce) << "the close waited for the run";
    EXPECT_LT(RegisterReads().size(), 10u);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(sim->OpenHandles(), 0u);
}

}  // namespace
