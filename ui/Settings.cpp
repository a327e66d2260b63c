// The saved settings: read once while the window is created, written once when it closes.

#include <QFile>
#include <QFileInfo>

#include "files/IntegerText.h"
#include "files/ProgramFile.h"
#include "ui/ConvertError.h"
#include "settings/SettingsStore.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

constexpr const char* kDefaultVid = "7c3d";
constexpr const char* kDefaultPid = "6012";

// Whether the remembered program file can still be opened for reading.
bool OpensForReading(const std::string& name) {
    QFile file(QString::fromStdString(name));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    file.close();
    return true;
}

uint32_t RangeKbForSaving(const QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    const auto kb = StoredRangeKb(text);
    if (!kb) throw EConvertError(InvalidIntegerMessage(text));
    return *kb;
}

}  // namespace

std::array<QCheckBox*, 7> TForm1::IspOptionBoxes() const {
    return {ui.chkISPMode, ui.chkProtect, ui.chkReadFile, ui.chkErase,
            ui.chkBlank,   ui.chkProgram, ui.chkVerify};
}

void TForm1::LoadSettings() {
    const std::optional<StoredSettings> stored = MakeSettingsStore(settings_)->Read();
    if (!stored) {
        // The ISP page keeps the states of its form description.
        gVid = kDefaultVid;
        gPid = kDefaultPid;
        return;
    }

    const auto boxes = IspOptionBoxes();
    if (stored->ispSetting) {
        const IspSetting setting = DecodeIspSetting(*stored->ispSetting);
        for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(setting.boxes[i]);
        (setting.rangeAll ? ui.rbnRange0 : ui.rbnRange1)->setChecked(true);
        ui.lbledISPRange->setText(QString::number(setting.sizeKb));
        ui.lbledISPStart->setText(QString::number(setting.startKb));
    } else {
        for (QCheckBox* box : boxes) box->setChecked(box != ui.chkProtect);
        ui.rbnRange0->setChecked(true);
        ui.lbledISPRange->setText(QStringLiteral("64"));
        ui.lbledISPStart->setText(QStringLiteral("64"));
    }
    rbnRangeClick();

    gProgramFileName.clear();
    if (stored->ispFileName && !stored->ispFileName->empty()) {
        gProgramFileName = *stored->ispFileName;
        // A file that no longer opens is forgotten and stays out of the file box.
        if (OpensForReading(gProgramFileName))
            RememberProgramFile();
        else
            gProgramFileName.clear();
    }

    gVid = stored->usbVidSet && !stored->usbVidSet->empty() ? *stored->usbVidSet : kDefaultVid;
    gPid = stored->usbPidSet && !stored->usbPidSet->empty() ? *stored->usbPidSet : kDefaultPid;
}

void TForm1::SaveSettings() {
    // Both numbers convert before anything is written: a bad one abandons the save.
    IspSetting setting;
    setting.startKb = RangeKbForSaving(ui.lbledISPStart);
    setting.sizeKb = RangeKbForSaving(ui.lbledISPRange);
    const auto boxes = IspOptionBoxes();
    for (size_t i = 0; i < boxes.size(); ++i) setting.boxes[i] = boxes[i]->isChecked();
    setting.rangeAll = ui.rbnRange0->isChecked();

    SettingsToSave values;
    values.ispSetting = ComposeIspSetting(setting);
    values.ispFileName = ui.cbxReadISPFile->currentText().toStdString();
    values.usbVidSet = gVid;
    values.usbPidSet = gPid;
    // A key that cannot be created saves nothing, without a message.
    MakeSettingsStore(settings_)->Write(values);
}
