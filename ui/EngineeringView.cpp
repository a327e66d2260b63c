// The engineering view (--engineering): every page and the ISP page's engineering
// controls, in a window large enough for the tallest page.

#include "ui/Unit1.h"

namespace {

// The page control holds the Register and I2C grids (their bottom edge 449 pixels into
// the page) below its tab bar; the window adds the detection panel above it.
constexpr int kEngineeringPageHeight = 490;
constexpr int kEngineeringWindowHeight = 590;

}  // namespace

void TForm1::ShowEngineeringView() {
    QTabWidget* pages = ui.MainPageControl;
    for (int i = 0; i < pages->count(); ++i) pages->setTabVisible(i, true);
    ui.pnlISPFuncTest->show();
    ui.gbxISPRange->show();
    for (QCheckBox* box : IspOptionBoxes()) box->show();
    pages->resize(pages->width(), kEngineeringPageHeight + margin_);
    resize(width(), kEngineeringWindowHeight + margin_);
}
