// Renders the window as it starts to window.png in the build folder, for a person to look at.

#include <QImage>
#include <QPixmap>

#include "WindowFixture.h"

namespace {

class WindowPictureTest : public WindowFixture {};

TEST_F(WindowPictureTest, RendersTheStartWindow) {
    TForm1& w = StartWindow();
    w.Timer1Timer();  // as a second after start, with the chip attached
    w.show();
    const QString path = QStringLiteral(QUORVEL_UI_PICTURE_DIR "/window.png");
    const QPixmap picture = w.grab();
    ASSERT_TRUE(picture.save(path));
    const QImage saved(path);
    EXPECT_EQ(saved.size(), QSize(606, 360));
    // The found panel is lime.
    const QPoint panel = w.ui.pnlUSBExist->mapTo(&w, QPoint(36, 11));
    EXPECT_EQ(saved.pixelColor(panel), QColor(0, 255, 0));
}

}  // namespace
