// --engineering: every page and the ISP page's engineering controls are offered; without
// it the window starts as it always does (StartupTest).

#include "WindowFixture.h"

namespace {

class EngineeringViewTest : public WindowFixture {};

TEST_F(EngineeringViewTest, ShowsEveryPageAndTheHiddenControls) {
    form = std::make_unique<TForm1>(services, Settings(), WindowOptions{true});
    TForm1& w = *form;
    QTabWidget* pages = w.ui.MainPageControl;
    for (int i = 0; i < pages->count(); ++i) EXPECT_TRUE(pages->isTabVisible(i)) << i;
    EXPECT_EQ(pages->currentWidget(), w.ui.PageISPCtrl);
    for (QWidget* control : {static_cast<QWidget*>(w.ui.pnlISPFuncTest), static_cast<QWidget*>(w.ui.gbxISPRange),
                             static_cast<QWidget*>(w.ui.chkISPMode), static_cast<QWidget*>(w.ui.chkProtect),
                             static_cast<QWidget*>(w.ui.chkReadFile), static_cast<QWidget*>(w.ui.chkErase),
                             static_cast<QWidget*>(w.ui.chkBlank), static_cast<QWidget*>(w.ui.chkProgram),
                             static_cast<QWidget*>(w.ui.chkVerify)})
        EXPECT_FALSE(control->isHidden()) << control->objectName().toStdString();
    // Taller than the window without the option, as wide.
    EXPECT_EQ(w.width(), 606);
    EXPECT_GT(w.height(), 360);
    EXPECT_GT(pages->height(), 220);
}

TEST_F(EngineeringViewTest, LargeFontsAddTheMargin) {
    services.pixelsPerInch = 120;
    form = std::make_unique<TForm1>(services, Settings(), WindowOptions{true});
    const int height = form->height();
    form.reset();
    services.pixelsPerInch = 96;
    form = std::make_unique<TForm1>(services, Settings(), WindowOptions{true});
    EXPECT_EQ(height, form->height() + 140);
}

TEST(WindowOptionsFrom, ReadsTheEngineeringSwitch) {
    EXPECT_TRUE(WindowOptionsFrom({"quorvel-isp-tool", "--sim", "--engineering"}).engineering);
    EXPECT_FALSE(WindowOptionsFrom({"quorvel-isp-tool", "--sim"}).engineering);
    EXPECT_FALSE(WindowOptionsFrom({"quorvel-isp-tool", "--engineer"}).engineering);
}

}  // namespace
