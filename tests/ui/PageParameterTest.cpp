// The Parameter page against the simulated chip: what "Set", "Read back" and Enter in the
// edits put into the chip's EEPROM, and what each option control changes in the block.

#include <array>

#include "IspPageFixture.h"
#include "diag/OptionBlock.h"

namespace {

using Block = std::array<uint8_t, 4>;

class PageParameterTest : public IspPageFixture {
protected:
    Block Stored() const { return sim->Eeprom().option; }
    void ReadBack(const Block& chip) {
        sim->Eeprom().option = chip;
        form->ui.btnReadPara->click();
    }
    // The data-register bytes of each mailbox command, one vector per command.
    std::vector<std::vector<uint8_t>> DataBlocks() const {
        std::vector<std::vector<uint8_t>> blocks;
        std::vector<uint8_t> data;
        for (const auto& [reg, value] : RegisterWrites()) {
            if (reg >= 0x93 && reg <= 0x9A) data.push_back(value);
            if (reg == 0x90 && value == 0x10) {
                blocks.push_back(data);
                data.clear();
            }
        }
        return blocks;
    }
};

TEST_F(PageParameterTest, StartBlockIsShownAndSent) {
    TForm1& w = *form;
    EXPECT_EQ(w.ui.lblEepAvail->text().toStdString(), "EEPROM not Available");
    EXPECT_TRUE(w.ui.rbnI2Slen0->isChecked());
    EXPECT_TRUE(w.ui.rbnSPDIFlen1->isChecked());
    EXPECT_TRUE(w.ui.rbnMCLKOutFreq2->isChecked());
    EXPECT_TRUE(w.ui.rbnI2SFormat0->isChecked());
    EXPECT_TRUE(w.ui.rbnDSDOut0->isChecked());
    w.ui.btnSetPara->click();
    EXPECT_EQ(Stored(), (Block{0xA1, 0x00, 0x00, 0x00}));
    // "1024 Fs" changes bits 4-5 only.
    w.ui.rbnMCLKOutFreq3->click();
    w.ui.btnSetPara->click();
    EXPECT_EQ(Stored(), (Block{0xB1, 0x00, 0x00, 0x00}));
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(PageParameterTest, ReadBlockIsShownAndSentBackUnchanged) {
    TForm1& w = *form;
    ReadBack({0x5C, 0x80, 0x12, 0x80});
    EXPECT_EQ(w.ui.lblEepAvail->text().toStdString(), "EEPROM Exist");
    EXPECT_TRUE(w.ui.rbnI2Slen1->isChecked());
    EXPECT_TRUE(w.ui.rbnSPDIFlen1->isChecked());
    EXPECT_TRUE(w.ui.chkI2SLRSwap->isChecked());
    EXPECT_TRUE(w.ui.chkDSDLRSwap->isChecked());
    EXPECT_TRUE(w.ui.rbnMCLKOutFreq1->isChecked());
    EXPECT_TRUE(w.ui.rbnI2SFormat1->isChecked());
    EXPECT_TRUE(w.ui.rbnDSDOut1->isChecked());
    EXPECT_TRUE(w.ui.chkMCLKOutOff->isChecked());
    EXPECT_FALSE(w.ui.chkI2SOutOff->isChecked());
    EXPECT_FALSE(w.ui.chkSPDIFOutOff->isChecked());
    sim->Eeprom().option = {0, 0, 0, 0x80};
    w.ui.btnSetPara->click();
    EXPECT_EQ(Stored(), (Block{0x5C, 0x80, 0x12, 0x80}));
}

struct ClickCase {
    const char* control;
    Block sent;
};
void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.control; }

class PageParameterClickTest : public PageParameterTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(PageParameterClickTest, ClickChangesOnlyItsOwnBits) {
    // Bits without a control (byte 1 bits 0-4, byte 2, byte 3 bits 0-6) are set in the
    // chip's block, so a handler that touched them would show.
    ReadBack({0x5C, 0x9F, 0x12, 0xFF});
    auto* control = form->findChild<QAbstractButton*>(QString::fromLatin1(GetParam().control));
    ASSERT_NE(control, nullptr);
    control->click();
    form->ui.btnSetPara->click();
    EXPECT_EQ(Stored(), GetParam().sent);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, PageParameterClickTest,
    ::testing::Values(ClickCase{"rbnI2Slen0", {0x5D, 0x9F, 0x12, 0xFF}},
                      ClickCase{"rbnSPDIFlen0", {0x5E, 0x9F, 0x12, 0xFF}},
                      ClickCase{"chkI2SLRSwap", {0x58, 0x9F, 0x12, 0xFF}},
                      ClickCase{"chkDSDLRSwap", {0x54, 0x9F, 0x12, 0xFF}},
                      ClickCase{"rbnMCLKOutFreq0", {0x4C, 0x9F, 0x12, 0xFF}},
                      ClickCase{"rbnMCLKOutFreq3", {0x7C, 0x9F, 0x12, 0xFF}},
                      ClickCase{"rbnI2SFormat0", {0x1C, 0x9F, 0x12, 0xFF}},
                      ClickCase{"rbnDSDOut0", {0xDC, 0x9F, 0x12, 0xFF}},
                      ClickCase{"chkMCLKOutOff", {0x5C, 0x1F, 0x12, 0xFF}},
                      ClickCase{"chkI2SOutOff", {0x5C, 0xDF, 0x12, 0xFF}},
                      ClickCase{"chkSPDIFOutOff", {0x5C, 0xBF, 0x12, 0xFF}}),
    [](const auto& info) { return std::string(info.param.control); });

TEST_F(PageParameterTest, EnterSendsIdsAndStrings) {
    TForm1& w = *form;
    sim->Eeprom().vid = {0, 0, 0, 0};
    sim->Eeprom().pid = {0, 0, 0, 0};
    // Other keys send nothing.
    for (QLineEdit* edit : {w.ui.lbledSysVID, w.ui.lbledSysPID, w.ui.lbledSysStr1, w.ui.lbledSysStr3})
        PressKey(edit, Qt::Key_A);
    EXPECT_TRUE(sim->Log().empty());

    PressKey(w.ui.lbledSysVID, Qt::Key_Return);
    EXPECT_EQ(sim->Eeprom().vid, (Block{'7', 'c', '3', '0'}));
    PressKey(w.ui.lbledSysPID, Qt::Key_Enter);
    EXPECT_EQ(sim->Eeprom().pid, (Block{'6', '0', '1', '2'}));

    sim->ClearLog();
    PressKey(w.ui.lbledSysStr3, Qt::Key_Return);
    EXPECT_EQ(sim->Eeprom().StringText(3), "QVUA170203");
    const auto blocks = DataBlocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], (std::vector<uint8_t>{10, 'Q', 'V', 'U', 'A', '1', '7', '0'}));
    EXPECT_EQ(blocks[1], (std::vector<uint8_t>{'2', '0', '3'}));

    w.ui.lbledSysStr1->setText(QStringLiteral("Maker"));
    PressKey(w.ui.lbledSysStr1, Qt::Key_Return);
    PressKey(w.ui.lbledSysStr2, Qt::Key_Return);
    EXPECT_EQ(sim->Eeprom().StringText(1), "Maker");
    EXPECT_EQ(sim->Eeprom().StringText(2), "Quorvel-inc UAC2 22");
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(PageParameterTest, FailedTransfersAreShownAndAFailedReadKeepsTheBlock) {
    TForm1& w = *form;
    ReadBack({0x5C, 0x80, 0x12, 0x80});
    // One data register of the read is refused: nothing of that read reaches the block.
    sim->Eeprom().option = {0x01, 0x02, 0x03, 0x80};
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x91 && r.setup.wIndex == 0x94; }, 1);
    w.ui.btnReadPara->click();
    EXPECT_EQ(services.messages, (std::vector<std::string>{"Parameter read failed"}));
    EXPECT_TRUE(w.ui.chkI2SLRSwap->isChecked());
    EXPECT_EQ(gSysPara, (Block{0x5C, 0x80, 0x12, 0x80}));

    // A data register of the write is refused.
    sim->FailRequestsMatching(
        [](const SimRequest& r) { return r.setup.bRequest == 0x90 && r.setup.wIndex == 0x95; }, 1);
    w.ui.btnSetPara->click();
    EXPECT_EQ(services.messages.back(), "Parameter set failed");

    // The chip is gone: every entry says it failed.
    sim->Unplug();
    services.messages.clear();
    w.ui.btnSetPara->click();
    PressKey(w.ui.lbledSysVID, Qt::Key_Return);
    PressKey(w.ui.lbledSysPID, Qt::Key_Return);
    PressKey(w.ui.lbledSysStr2, Qt::Key_Return);
    w.ui.btnReadPara->click();
    EXPECT_EQ(services.messages, (std::vector<std::string>{"Parameter set failed", "VID set failed",
                                                           "PID set failed", "String 2 set failed",
                                                           "Parameter read failed"}));
    EXPECT_EQ(gSysPara, (Block{0x5C, 0x80, 0x12, 0x80}));
}

}  // namespace
