// The I2C Access page: the registers of one slave behind the chip's I2C master, read by
// Read and by selecting a cell, written by keys and bit boxes; what reaches the slave is
// checked on the simulated bus and in the slave's registers.

#include <algorithm>
#include <optional>

#include "GridPageFixture.h"

namespace {

class I2cAccessPageTest : public GridPageFixture {
protected:
    void SetUp() override {
        GridPageFixture::SetUp();
        ShowPage(form->ui.PageMI2CCtrl);  // sets the master up
        grid = form->ui.StringGridMIIC;
        boxes = Boxes(form->ui.PageMI2CCtrl, "chkMI2CBit");
        sim->ClearLog();
        sim->I2c().ClearBus();
    }

    // The bytes the master sent on the bus, in order.
    std::vector<uint8_t> Sent() const {
        std::vector<uint8_t> sent;
        for (const SimI2cEvent& e : sim->I2c().Bus())
            if (e.kind == SimI2cEvent::Kind::Sent) sent.push_back(e.byte);
        return sent;
    }
    size_t SentCount(uint8_t byte) const {
        const std::vector<uint8_t> sent = Sent();
        return static_cast<size_t>(std::count(sent.begin(), sent.end(), byte));
    }
    void SetAddress(const char* text) {
        form->ui.edtMI2CAddr->setText(QString::fromLatin1(text));
        QTest::keyClick(form->ui.edtMI2CAddr, Qt::Key_Return);
    }
    QString Caption() const { return form->ui.btnReadMI2C->text(); }

    QTableWidget* grid = nullptr;
    std::array<QCheckBox*, 8> boxes{};
};

TEST_F(I2cAccessPageTest, SelectingACellReadsTheSlaveRegister) {
    sim->SetI2cSlaveRegister(0x20, 0x05, 0x3C);
    ClickCell(grid, 6, 1);
    // The address byte, the register, then the read address after the repeated start.
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x20, 0x05, 0x21}));
    EXPECT_EQ(form->ui.lblMI2CRegAddr->text(), "Reg 0x05");
    EXPECT_EQ(form->ui.lblMI2CRegData->text(), "= 0x3C");
    EXPECT_EQ(Cell(grid, 6, 1), "3C");
    EXPECT_EQ(BoxesValue(boxes), 0x3C);
    EXPECT_EQ(Background(grid, 6, 0), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_FALSE(gDevice.HasHandle());
}

TEST_F(I2cAccessPageTest, TheAddressBoxSetsTheSlaveOnEnter) {
    struct Case {
        const char* typed;
        const char* shown;
        uint8_t address;
        const char* error;
    };
    for (const Case& c : {Case{"4a", "4A", 0x4A, nullptr}, Case{"1f5", "F5", 0xF5, nullptr},
                          Case{"5", "05", 0x05, nullptr},
                          Case{"xyz", "xyz", 0x05, "'0xxyz' is not a valid integer value"},
                          Case{"", "", 0x05, "'0x' is not a valid integer value"}}) {
        SCOPED_TRACE(c.typed);
        services.errors.clear();
        SetAddress(c.typed);
        EXPECT_EQ(form->ui.edtMI2CAddr->text(), c.shown);
        EXPECT_EQ(gI2CSlaveAddress, c.address);
        if (c.error != nullptr) {
            EXPECT_EQ(services.errors, std::vector<std::string>{c.error});
        } else {
            EXPECT_TRUE(services.errors.empty());
        }
    }
    EXPECT_EQ(Requests(), 0u) << "setting the address sends nothing";

    // Other keys only edit the text.
    form->ui.edtMI2CAddr->clear();
    QTest::keyClicks(form->ui.edtMI2CAddr, "4a");
    QTest::keyClick(form->ui.edtMI2CAddr, Qt::Key_Tab);
    EXPECT_EQ(gI2CSlaveAddress, 0x05);
    QTest::keyClick(form->ui.edtMI2CAddr, Qt::Key_Enter);
    EXPECT_EQ(gI2CSlaveAddress, 0x4A);

    // The next transfer goes to the new address.
    sim->AddI2cSlave(0x4A).registers[0x12] = 0x99;
    ClickCell(grid, 3, 2);
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x4A, 0x12, 0x4B}));
    EXPECT_EQ(Cell(grid, 3, 2), "99");
}

TEST_F(I2cAccessPageTest, ReadFillsEveryCellAndHandlesInputAfterEach) {
    for (int r = 0; r < 256; ++r) sim->SetI2cSlaveRegister(0x20, static_cast<uint8_t>(r), static_cast<uint8_t>(r ^ 0xA5));
    form->ui.btnReadMI2C->click();
    for (int r = 0; r < 256; r += 17)
        EXPECT_EQ(Cell(grid, (r & 15) + 1, (r >> 4) + 1), QString::fromStdString(TwoHex(static_cast<uint8_t>(r ^ 0xA5))))
            << r;
    EXPECT_EQ(gI2CImage[0xFF], 0xFF ^ 0xA5);
    std::vector<uint8_t> expected;  // one read transfer per register, in ascending order
    for (int r = 0; r < 256; ++r) expected.insert(expected.end(), {0x20, static_cast<uint8_t>(r), 0x21});
    EXPECT_EQ(Sent(), expected);
    EXPECT_GE(services.pumps, 256);
    EXPECT_EQ(Caption(), "Read");
    EXPECT_EQ(GridPage::ReadingFlag(form->ui.btnReadMI2C), 0);
    EXPECT_FALSE(gDevice.HasHandle());
}

TEST_F(I2cAccessPageTest, AReadFromAnAbsentSlaveKeepsTheOldValuesAndStopEndsIt) {
    sim->SetI2cSlaveRegister(0x20, 0x07, 0x77);
    form->ui.btnReadMI2C->click();
    ASSERT_EQ(Cell(grid, 8, 1), "77");
    SetAddress("30");  // no slave answers there
    sim->I2c().ClearBus();

    form->ui.btnReadMI2C->click();
    EXPECT_EQ(SentCount(0x30), 2560u) << "10 address attempts for each of the 256 registers";
    EXPECT_EQ(SentCount(0x31), 0u);
    EXPECT_EQ(Cell(grid, 8, 1), "77");
    EXPECT_EQ(Cell(grid, 1, 1), "00");
    EXPECT_EQ(gI2CImage[0x07], 0x77);

    // Stop ends a run early.
    sim->I2c().ClearBus();
    int pumps = 0;
    QString captionDuringRun;
    services.onProcessMessages = [&] {
        if (++pumps != 3) return;
        captionDuringRun = Caption();
        form->ui.btnReadMI2C->click();
    };
    form->ui.btnReadMI2C->click();
    services.onProcessMessages = nullptr;
    EXPECT_EQ(captionDuringRun, "Stop");
    EXPECT_GT(SentCount(0x30), 0u);
    EXPECT_LE(SentCount(0x30), 30u);
    EXPECT_EQ(Caption(), "Read");
    EXPECT_EQ(GridPage::ReadingFlag(form->ui.btnReadMI2C), 0);
    EXPECT_FALSE(gDevice.HasHandle());
}

TEST_F(I2cAccessPageTest, ReadWithoutADeviceDoesNothing) {
    form->ui.chkDetectUSB->setChecked(false);
    sim->ClearLog();
    form->ui.btnReadMI2C->click();
    EXPECT_EQ(Requests(), 0u);
    EXPECT_EQ(Caption(), "Read");
}

// A key on slave register 0x05 (or on cell 1,1, never filled).
struct I2cKeyCase {
    const char* name;
    bool select;        // the cell is selected (and read) first
    uint8_t slave;      // the register's value in the slave
    const char* typed;  // typed in the in-cell editor before the key; null: key on the grid
    Qt::Key key;
    std::optional<uint8_t> written;
    uint8_t imageAfter;
    const char* error;
};

void PrintTo(const I2cKeyCase& c, std::ostream* os) { *os << c.name; }

class I2cKeyTest : public I2cAccessPageTest, public ::testing::WithParamInterface<I2cKeyCase> {};

TEST_P(I2cKeyTest, ConvertsTheTextThenSteps) {
    const I2cKeyCase& c = GetParam();
    const uint8_t reg = c.select ? 0x05 : 0x00;
    sim->SetI2cSlaveRegister(0x20, reg, c.slave);
    if (c.select) ClickCell(grid, 6, 1);
    sim->ClearLog();
    sim->I2c().ClearBus();
    const uint64_t before = clock.NowMicros();

    if (c.typed != nullptr)
        TypeInCell(grid, QString::fromLatin1(c.typed), c.key);
    else
        QTest::keyClick(grid, c.key);

    if (c.written) {
        // The write, then the read-back 1 ms later.
        EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x20, reg, *c.written, 0x20, reg, 0x21}));
        EXPECT_EQ(clock.NowMicros() - before, 1000u);
        EXPECT_EQ(sim->I2cSlaveRegister(0x20, reg), *c.written);
        EXPECT_EQ(Cell(grid, reg + 1, 1), QString::fromStdString(TwoHex(*c.written)));
        EXPECT_EQ(BoxesValue(boxes), *c.written);
    } else {
        EXPECT_EQ(Requests(), 0u) << "nothing is sent";
        EXPECT_EQ(sim->I2cSlaveRegister(0x20, reg), c.slave);
    }
    EXPECT_EQ(gI2CImage[reg], c.imageAfter);
    if (c.error != nullptr) {
        EXPECT_EQ(services.errors, std::vector<std::string>{c.error});
    } else {
        EXPECT_TRUE(services.errors.empty());
    }
}

const I2cKeyCase kI2cKeyCases[] = {
    {"InsertOnFF", true, 0xFF, nullptr, Qt::Key_Insert, std::nullopt, 0xFF, nullptr},
    {"InsertOn7F", true, 0x7F, nullptr, Qt::Key_Insert, 0x80, 0x80, nullptr},
    {"DeleteOn00", true, 0x00, nullptr, Qt::Key_Delete, std::nullopt, 0x00, nullptr},
    {"DeleteOn80", true, 0x80, nullptr, Qt::Key_Delete, 0x7F, 0x7F, nullptr},
    // The text typed counts, whatever was read last.
    {"Typed3CThenInsert", true, 0x10, "3C", Qt::Key_Insert, 0x3D, 0x3D, nullptr},
    {"TypedA7ThenEnter", true, 0x10, "a7", Qt::Key_Return, 0xA7, 0xA7, nullptr},
    // At the end of the range the typed value stays in the image, and nothing is written.
    {"TypedFFThenInsert", true, 0x10, "FF", Qt::Key_Insert, std::nullopt, 0xFF, nullptr},
    {"InsertOnANeverFilledCell", false, 0x10, nullptr, Qt::Key_Insert, std::nullopt, 0x00,
     "'0x' is not a valid integer value"},
    {"DeleteOnBadText", true, 0x10, "g1", Qt::Key_Delete, std::nullopt, 0x10, "'0xg1' is not a valid integer value"},
};

INSTANTIATE_TEST_SUITE_P(Keys, I2cKeyTest, ::testing::ValuesIn(kI2cKeyCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(I2cAccessPageTest, ABitBoxWritesTheComposedValueAndReadsItBack30MsLater) {
    sim->SetI2cSlaveRegister(0x20, 0x05, 0x01);
    ClickCell(grid, 6, 1);
    sim->I2c().ClearBus();
    const uint64_t before = clock.NowMicros();
    QTest::mouseClick(boxes[7], Qt::LeftButton);
    EXPECT_EQ(Sent(), (std::vector<uint8_t>{0x20, 0x05, 0x81, 0x20, 0x05, 0x21}));
    EXPECT_EQ(clock.NowMicros() - before, 30000u);
    EXPECT_EQ(sim->I2cSlaveRegister(0x20, 0x05), 0x81);
    EXPECT_EQ(Cell(grid, 6, 1), "81");
    EXPECT_EQ(BoxesValue(boxes), 0x81);
    EXPECT_EQ(form->ui.lblMI2CRegAddr->text(), "Reg 0x05");
    EXPECT_EQ(form->ui.lblMI2CRegData->text(), "= 0x81");
}

TEST_F(I2cAccessPageTest, ShowingThePageSelectsBank14ForTheRegisterPageToo) {
    ShowPage(form->ui.TabSheet1);
    TypeInCell(form->ui.RegStringGrid1, QStringLiteral("0"), Qt::Key_Return);  // register 0x00: bank 0
    ASSERT_EQ(sim->SelectedBank(), 0);
    sim->SetRegister(14, 0x11, 0x00);

    ShowPage(form->ui.PageMI2CCtrl);
    EXPECT_EQ(sim->SelectedBank(), 14);
    EXPECT_EQ(sim->Register(14, 0x11), 0x04);

    ShowPage(form->ui.TabSheet1);
    form->ui.btnReadAll->click();
    EXPECT_EQ(Cell(form->ui.RegStringGrid1, 1, 1), "0E");
    EXPECT_EQ(Cell(form->ui.RegStringGrid1, 2, 2), "04");
}

}  // namespace
