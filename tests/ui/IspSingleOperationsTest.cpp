// The Function Test panel's buttons, clicked, checked on the chip: what reached the flash,
// its status register and the handle, not only the labels.

#include <algorithm>

#include "IspPageFixture.h"

namespace {

class IspSingleOperationsTest : public IspPageFixture {
protected:
    void SetUp() override {
        IspPageFixture::SetUp();
        form->ui.btnEnterISP->click();
        ASSERT_TRUE(sim->InIspMode());
    }
    // The first address whose image byte is not erased.
    static uint32_t FirstProgrammed(const std::vector<uint8_t>& image) {
        return uint32_t(std::find_if(image.begin(), image.end(), [](uint8_t b) { return b != 0xFF; }) -
                        image.begin());
    }
    static std::string Hex6(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%06X", value);
        return text;
    }
};

TEST_F(IspSingleOperationsTest, BlankCheckProgramAndVerifyWorkOnTheFlash) {
    auto image = Pattern(0x1000);
    image[0] = 0xFF;  // the first programmed byte is not the first one
    ChooseFile(WriteImage("fw.bin", image));

    form->ui.btnUSBBlank->click();
    EXPECT_EQ(Info(), "Blanking Success");
    EXPECT_EQ(form->ui.lblUSBISPProcess->text().toStdString(), "Blanking Addr: 0x001000");

    form->ui.btnUSBProgram->click();
    EXPECT_EQ(Info(), "Programming Success");
    EXPECT_TRUE(FlashHolds(image));

    // Blank check now fails at the first programmed byte; verify passes.
    form->ui.btnUSBBlank->click();
    EXPECT_EQ(Info(), "Blanking Fail at 0x" + Hex6(FirstProgrammed(image)));
    form->ui.btnUSBVerify->click();
    EXPECT_EQ(Info(), "Verifying Success");
    EXPECT_EQ(form->ui.lblUSBISPProcess->text().toStdString(), "Verifying Addr: 0x001000");

    // A byte that reads wrong fails the verify at its address.
    sim->CorruptReadByteAt(0x123, 0x01);
    form->ui.btnUSBVerify->click();
    EXPECT_EQ(Info(), "Verifying Fail at 0x000123");
}

TEST_F(IspSingleOperationsTest, EraseWithAllErasesTheWholeChip) {
    std::fill_n(sim->Flash().Contents().begin(), 0x100, uint8_t{0x00});
    sim->Flash().Contents()[0xFFFFF] = 0x00;  // the last byte of the 1 MB part
    form->ui.rbnRange0->click();
    form->ui.btnUSBErase->click();
    EXPECT_EQ(sim->Flash().Stats().chipErases, 1u);
    EXPECT_EQ(sim->Flash().Stats().sectorErases, 0u);
    EXPECT_TRUE(std::all_of(sim->Flash().Contents().begin(), sim->Flash().Contents().end(),
                            [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(form->ui.lblUSBISPStatusReg->text(), QStringLiteral("Status Register: 0x00"));
}

TEST_F(IspSingleOperationsTest, WriteEnableAndDisableSetAndClearTheLatch) {
    form->ui.btnUSBWriteEnable->click();
    EXPECT_EQ(sim->Flash().Status() & 0x02, 0x02);
    form->ui.btnUSBWriteDisable->click();
    EXPECT_EQ(sim->Flash().Status() & 0x02, 0x00);
}

TEST_F(IspSingleOperationsTest, ReadStatusShowsTheFlashStatus) {
    for (const auto& [status, shown] : {std::pair{0x1C, "0x1C"}, std::pair{0x02, "0x02"}, std::pair{0x00, "0x00"}}) {
        sim->Flash().SetStatus(uint8_t(status));
        form->ui.btnUSBReadStatus->click();
        EXPECT_EQ(form->ui.lblUSBStatus->text().toStdString(), shown);
    }
    // A flash that cannot be read shows 0xFF.
    sim->Unplug();
    form->ui.btnUSBReadStatus->click();
    EXPECT_EQ(form->ui.lblUSBStatus->text().toStdString(), "0xFF");
}

TEST_F(IspSingleOperationsTest, CloseClosesAHandleStillOpen) {
    form->ui.btnEnterISP->click();  // out of ISP mode: the close sends nothing
    sim->ClearLog();
    ASSERT_TRUE(gDevice.OpenDevice());
    ASSERT_EQ(sim->OpenHandles(), 1u);
    CloseWindow();
    EXPECT_EQ(sim->OpenHandles(), 0u);
    EXPECT_FALSE(gDevice.HasHandle());
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(IspSingleOperationsTest, CloseInIspModeLeavesItProtectingAsTheOptionSays) {
    for (const bool protect : {true, false}) {
        SCOPED_TRACE(protect);
        if (!form) {
            StartWindow();
            Tick();
            form->ui.btnEnterISP->click();
        }
        sim->Flash().SetStatus(0x00);
        form->ui.chkProtect->setChecked(protect);
        CloseWindow();
        EXPECT_FALSE(sim->InIspMode());
        EXPECT_EQ(sim->Flash().Status() & 0x1C, protect ? 0x1C : 0x00);
        EXPECT_EQ(sim->OpenHandles(), 0u);
        EXPECT_FALSE(gIspMode);
    }
}

}  // namespace
