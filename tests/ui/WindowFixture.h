#pragma once
// The window on a simulated chip, a virtual clock and scripted desktop services, with its
// settings in a temporary folder. The chip is attached but not yet found: gDevice starts
// as at process start, so detection does the finding. Timer1 is stopped; tests call
// Timer1Timer themselves and read the interval it set.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "ScriptedUiServices.h"
#include "SimFixture.h"
#include "files/FileGlobals.h"
#include "files/ProgramFile.h"
#include "isp/IspState.h"
#include "settings/SettingsStore.h"
#include "ui/Unit1.h"
#include "ui/WindowGlobals.h"

class WindowFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        // Back to the link's state at process start.
        gDevice.ClearFound();
        gDevice.SetKsPath(0);
        gDevice.SetMatchString("vid_0b7e&pid_6000");
        ResetWindowGlobals();
        ResetFileGlobals();
        ResetIspGlobals();
        ASSERT_TRUE(dir.isValid());
    }

    void TearDown() override {
        form.reset();
        ResetWindowGlobals();
        ResetFileGlobals();
        ResetIspGlobals();
        SimFixture::TearDown();
    }

    TForm1& StartWindow() {
        form = std::make_unique<TForm1>(services, Settings());
        form->Timer1->stop();
        return *form;
    }

    // Closes the window as the user would, so FormClose runs.
    void CloseWindow() {
        form->close();
        form.reset();
    }

    // Detection ticks, one after another.
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) form->Timer1Timer();
    }

    SettingsLocation Settings() const { return {IniFile()}; }
    std::string IniFile() const { return dir.filePath(QStringLiteral("Quorvel/VARIvor.conf")).toStdString(); }

    // Writes the settings file as raw INI text.
    void WriteIni(const std::string& text) const {
        QDir().mkpath(dir.filePath(QStringLiteral("Quorvel")));
        QFile file(QString::fromStdString(IniFile()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.data(), static_cast<qint64>(text.size()));
    }

    // A file that exists, for the remembered program file.
    std::string MakeFile(const char* name) const {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\x01\x02\x03", 3);
        return path.toStdString();
    }

    QTemporaryDir dir;
    ScriptedUiServices services;
    std::unique_ptr<TForm1> form;
};
