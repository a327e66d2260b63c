// The Gen. Bin File page: a firmware image is loaded and searched for its user-parameter
// table, and a copy with a new VID, PID and texts is written to a new file. The page never
// talks to the device.

#include <QLineEdit>
#include <cstdio>

#include "files/ParameterTable.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }
std::string Bytes(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }

}  // namespace

void TForm1::CurrentFileBitBtnClick() {
    const std::optional<std::string> name = services_.OpenFile(OpenBinFileDialog);
    if (!name) return;
    if (!ReadModifyFile(*name)) {
        ui.lblStatusReport->setText(QStringLiteral("Load file is invalid for modify"));
        return;
    }
    if (FindParameterTable()) {
        ui.GroupBox9->setEnabled(true);
        ui.btnSaveBitBin->setEnabled(true);
        ui.lblStatusReport->setText(QStringLiteral("Load file ready"));
    } else {
        ui.lblStatusReport->setText(QStringLiteral("Load file is invalid for modify"));
    }
}

bool TForm1::ReadModifyFile(const std::string& name) {
    const ProgramFileLoad load = LoadModifyImageFile(name);
    if (!load.ok) {
        // The working copy is still the previous file's, and so are the name and the
        // caption that stand for it.
        services_.MessageBox(load.message);
        return false;
    }
    gModifyFileName = name;
    ui.lblCurrentFilePath->setText(Text(gModifyFileName));
    ui.btnCheck->setEnabled(true);
    return true;
}

void TForm1::btnCheckClick() {
    ui.lblSaveDone->clear();
    if (FindParameterTable()) ui.GroupBox9->setEnabled(true);
}

void TForm1::btnSaveBitBinClick() {
    const std::optional<std::string> name = services_.SaveFile(SaveBinFIleDialog);
    if (!name) return;
    gSaveFileName = *name;
    ui.lblSaveBinPath->setText(Text(gSaveFileName));
    ui.btnSaveBin->setEnabled(true);
}

void TForm1::btnSaveBinClick() {
    TableTexts texts;
    for (size_t i = 0; i < texts.size(); ++i)
        texts[i] = Bytes(findChild<QLineEdit*>(QStringLiteral("edtNewStr%1").arg(i)));
    const TableWrite write =
        WriteModifiedImage(gSaveFileName, Bytes(ui.labedtNewVID), Bytes(ui.labedtNewPID), texts);
    switch (write.error) {
        case TableWriteError::None: {
            char sum[8];
            std::snprintf(sum, sizeof sum, "%04X", write.sum);
            ui.lblSaveDone->setText(QString::fromLatin1(sum));
            return;
        }
        case TableWriteError::InvalidInteger:
            // Stops before the file is written; the last sum stays shown.
            services_.ShowError(write.message);
            return;
        case TableWriteError::NoTable:
            // The last search found no table: nothing is patched or written.
            ui.lblSaveDone->clear();
            ui.lblStatusReport->setText(QStringLiteral("Load file is invalid for modify"));
            return;
        case TableWriteError::WriteFailed:
            ui.lblSaveDone->setText(QStringLiteral("Save failed"));
            return;
    }
}

void TForm1::ConnectGenBinPage() {
    const std::pair<QAbstractButton*, void (TForm1::*)()> clicks[] = {
        {ui.CurrentFileBitBtn, &TForm1::CurrentFileBitBtnClick},
        {ui.btnCheck, &TForm1::btnCheckClick},
        {ui.btnSaveBitBin, &TForm1::btnSaveBitBinClick},
        {ui.btnSaveBin, &TForm1::btnSaveBinClick},
    };
    for (const auto& [button, handler] : clicks)
        connect(button, &QAbstractButton::clicked, this,
                [this, handler = handler] { RunHandler([this, handler] { (this->*handler)(); }); });
}
