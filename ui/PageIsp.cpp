// The ISP page: the program file box and the flash range choice.

#include <string>
#include <vector>

#include "files/ProgramFile.h"
#include "isp/IspState.h"
#include "ui/ConvertError.h"
#include "ui/Unit1.h"

void TForm1::rbnRangeClick() {
    const bool assign = ui.rbnRange1->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(ui.lbledISPStart), static_cast<QWidget*>(ui.lbledISPStartLabel),
                             static_cast<QWidget*>(ui.lbledISPRange), static_cast<QWidget*>(ui.lbledISPRangeLabel),
                             static_cast<QWidget*>(ui.Label20), static_cast<QWidget*>(ui.Label21)})
        control->setEnabled(assign);
    if (!assign) {
        gRangeStart = 0;
        gRangeSize = 0x8000;
        return;
    }
    // One after the other: a start already assigned stays when the size does not convert.
    gRangeStart = static_cast<uint32_t>(DecimalEditValue(ui.lbledISPStart->text().toStdString()) * 1024);
    gRangeSize = static_cast<uint32_t>(DecimalEditValue(ui.lbledISPRange->text().toStdString()) * 1024);
}

void TForm1::RememberProgramFile() {
    std::vector<std::string> names;
    for (int i = 0; i < ui.cbxReadISPFile->count(); ++i)
        names.push_back(ui.cbxReadISPFile->itemText(i).toStdString());
    const size_t index = ::RememberProgramFile(names, gProgramFileName);
    if (static_cast<int>(index) >= ui.cbxReadISPFile->count())
        ui.cbxReadISPFile->addItem(QString::fromStdString(gProgramFileName));
    ui.cbxReadISPFile->setCurrentIndex(static_cast<int>(index));
}
