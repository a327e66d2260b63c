// The page-change hook: the I2C Access page sets up the chip's I2C master when it is shown.

#include "WindowFixture.h"
#include "ui/DeviceAction.h"

namespace {

class PageChangeTest : public WindowFixture {
protected:
    void ShowPage(QWidget* page) {
        QTabWidget* pages = form->ui.MainPageControl;
        pages->setTabVisible(pages->indexOf(page), true);
        pages->setCurrentWidget(page);
        ASSERT_EQ(pages->currentWidget(), page);
    }
};

TEST_F(PageChangeTest, I2cPageSetsUpTheMasterAndClosesTheDevice) {
    StartWindow();
    form->Timer1Timer();
    ASSERT_TRUE(gDevice.IsFound());
    sim->ClearLog();

    ShowPage(form->ui.PageMI2CCtrl);
    EXPECT_EQ(sim->SelectedBank(), 14);
    EXPECT_EQ(sim->Register(14, 0x11), 0x04);
    EXPECT_FALSE(sim->Log().empty());
    EXPECT_FALSE(gDevice.HasHandle());

    // Other pages send nothing.
    sim->ClearLog();
    ShowPage(form->ui.TabSheet1);
    ShowPage(form->ui.PageISPCtrl);
    EXPECT_TRUE(sim->Log().empty());
}

TEST_F(PageChangeTest, I2cSetUpWaitsForNoOtherDeviceAction) {
    StartWindow();
    form->Timer1Timer();
    sim->ClearLog();
    {
        DeviceAction running;
        ShowPage(form->ui.PageMI2CCtrl);
        EXPECT_TRUE(sim->Log().empty());
    }
    EXPECT_NE(sim->SelectedBank(), 14);
}

}  // namespace
