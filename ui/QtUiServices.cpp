#include "ui/QtUiServices.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

void QtUiServices::MessageBox(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Dialog"), QString::fromStdString(text),
                    QMessageBox::Ok, nullptr);
    box.exec();
}

void QtUiServices::ShowError(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    QString::fromStdString(message), QMessageBox::Ok, nullptr);
    box.exec();
}

QString QtFileFilter(const char* filter) {
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return entries.join(QStringLiteral(";;"));
}

namespace {

// Qt wants the default suffix without "*." ("*.hex" -> "hex").
QString DefaultSuffix(const char* defaultExt) {
    QString ext = QString::fromUtf8(defaultExt);
    while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
    return ext;
}

std::optional<std::string> RunDialog(const FileDialogSpec& wanted, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(nullptr);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(QtFileFilter(wanted.filter));
    dialog.setDefaultSuffix(DefaultSuffix(wanted.defaultExt));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace

std::optional<std::string> QtUiServices::OpenFile(const FileDialogSpec& dialog) {
    return RunDialog(dialog, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtUiServices::SaveFile(const FileDialogSpec& dialog) {
    return RunDialog(dialog, QFileDialog::AcceptSave);
}

int QtUiServices::PixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? qRound(screen->logicalDotsPerInchX()) : 96;
}

void QtUiServices::ProcessMessages() { QCoreApplication::processEvents(); }
