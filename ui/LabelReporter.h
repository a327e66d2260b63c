#pragma once
// Shows the flash operations' texts in the ISP page's labels and lets the window handle
// pending input while they run.

#include <QLabel>

#include "isp/IspReporter.h"
#include "ui/UiServices.h"

class LabelReporter final : public IspReporter {
public:
    LabelReporter(QLabel* processInfo, QLabel* processAddress, QLabel* statusRegister,
                  UiServices& services)
        : processInfo_(processInfo),
          processAddress_(processAddress),
          statusRegister_(statusRegister),
          services_(services) {}

    void ProcessInfo(const std::string& text) override { Set(processInfo_, text); }
    void ProcessAddress(const std::string& text) override { Set(processAddress_, text); }
    void StatusRegister(const std::string& text) override { Set(statusRegister_, text); }
    void Progress(IspStage, uint64_t, uint64_t) override {}
    void ProcessMessages() override { services_.ProcessMessages(); }

private:
    static void Set(QLabel* label, const std::string& text) {
        label->setText(QString::fromStdString(text));
    }

    QLabel* processInfo_;
    QLabel* processAddress_;
    QLabel* statusRegister_;
    UiServices& services_;
};
