// Renders the window to PNG files in the build folder, for a person to look at: as it
// starts (window.png), and with --engineering one picture per page (window-<page>.png).

#include <QFile>
#include <QImage>
#include <cstring>
#include <vector>
#include <QPixmap>

#include "WindowFixture.h"

namespace {

class WindowPictureTest : public WindowFixture {
protected:
    // The Register and I2C Access pages show values read from the chip and one selected
    // register.
    void ShowReadValues(TForm1& w, QWidget* page) {
        if (page == w.ui.TabSheet1) {
            for (int r = 1; r < 256; ++r) sim->SetRegister(0, static_cast<uint8_t>(r), static_cast<uint8_t>(r * 7));
            w.ui.btnReadAll->click();
            w.ui.RegStringGrid1->setCurrentCell(3, 11);  // register 0x2A
            EXPECT_EQ(w.ui.lblRegData->text(), "= 0x26");
        } else if (page == w.ui.PageMI2CCtrl) {
            for (int r = 0; r < 256; ++r) sim->SetI2cSlaveRegister(0x20, static_cast<uint8_t>(r), static_cast<uint8_t>(0xFF - r));
            w.ui.btnReadMI2C->click();
            w.ui.StringGridMIIC->setCurrentCell(1, 6);  // register 0x05
            EXPECT_EQ(w.ui.lblMI2CRegData->text(), "= 0xFA");
        }
    }
};

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

TEST_F(WindowPictureTest, EngineeringViewFitsEveryPage) {
    form = std::make_unique<TForm1>(services, Settings(), WindowOptions{true});
    form->Timer1->stop();
    TForm1& w = *form;
    w.Timer1Timer();
    // The Parameter, Information and Gen. Bin File pages show what they read.
    sim->Eeprom().option = {0x5C, 0x80, 0x12, 0x80};
    w.ui.btnReadPara->click();
    sim->SetAudioStatus(0x05, 0x00, 0x01);
    w.ui.btnUpdateStatus->click();
    std::vector<char> image(0x2000, '\x5A');
    std::memcpy(image.data() + 0x100, "DEVIR_Odave01", 13);
    const QString firmware = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(firmware);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(image.data(), qint64(image.size()));
    file.close();
    services.openAnswers.push_back(firmware.toStdString());
    w.ui.CurrentFileBitBtn->click();
    services.saveAnswers.push_back(dir.filePath(QStringLiteral("new.bin")).toStdString());
    w.ui.btnSaveBitBin->click();
    w.ui.btnSaveBin->click();
    ASSERT_EQ(w.ui.lblStatusReport->text().toStdString(), "Load file ready");
    ASSERT_EQ(w.ui.lblCurrentFreq1->text().toStdString(), "  192KHz");
    w.show();
    QTabWidget* pages = w.ui.MainPageControl;
    for (int i = 0; i < pages->count(); ++i) {
        QWidget* page = pages->widget(i);
        SCOPED_TRACE(page->objectName().toStdString());
        pages->setCurrentIndex(i);
        ShowReadValues(w, page);
        const QString path = QStringLiteral(QUORVEL_UI_PICTURE_DIR "/window-%1.png").arg(page->objectName());
        ASSERT_TRUE(w.grab().save(path));
        EXPECT_EQ(QImage(path).size(), w.size());
        // Nothing on the page is cut off by the page's edges or the window's.
        for (QWidget* control : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (control->isHidden()) continue;
            EXPECT_TRUE(page->rect().contains(control->geometry()))
                << control->objectName().toStdString() << " reaches past the page";
        }
        EXPECT_TRUE(w.rect().contains(QRect(page->mapTo(&w, QPoint(0, 0)), page->size())));
    }
}

}  // namespace
