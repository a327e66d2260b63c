#include "ui/LabelReporter.h"

#include "device/Clock.h"

LabelReporter::LabelReporter(QLabel* processInfo, QLabel* processAddress, QLabel* statusRegister,
                             InputPump& pump)
    : processInfo_(processInfo),
      processAddress_(processAddress),
      statusRegister_(statusRegister),
      pump_(pump),
      previousDisplay_(pump.Attach(this)) {}

LabelReporter::~LabelReporter() {
    pump_.Detach(previousDisplay_);
    Show();
}

void LabelReporter::HeldLabel::Show() {
    if (!text_) return;
    label_->setText(QString::fromStdString(*text_));
    text_.reset();
}

void LabelReporter::Show() {
    processInfo_.Show();
    processAddress_.Show();
    statusRegister_.Show();
    lastShown_ = CurrentClock().NowMicros();
}

void LabelReporter::ShowIfDue() {
    if (lastShown_ && CurrentClock().NowMicros() - *lastShown_ < kShowIntervalMicros) return;
    Show();
}
