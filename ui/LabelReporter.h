#pragma once
// Shows the flash operations' texts in the ISP page's labels and lets the window handle
// pending input while they run.
//
// A run sets its labels thousands of times (every status read, block and page), and each
// change would be repainted at the next message pump, which costs more host time than the
// update itself. So the texts are held and put into the labels at most about 30 times a
// second of the clock, when the window takes its input; the latest texts are always shown
// when the reporter is done (or asked to show them), so what is left on the screen is the
// last text of every step. Input is still handled every time the operation asks.

#include <QLabel>
#include <cstdint>
#include <optional>
#include <string>

#include "isp/IspReporter.h"
#include "ui/InputPump.h"

class LabelReporter final : public IspReporter, private HeldDisplay {
public:
    // About 30 label updates a second.
    static constexpr uint64_t kShowIntervalMicros = 33'333;

    LabelReporter(QLabel* processInfo, QLabel* processAddress, QLabel* statusRegister,
                  InputPump& pump);
    ~LabelReporter() override;
    LabelReporter(const LabelReporter&) = delete;
    LabelReporter& operator=(const LabelReporter&) = delete;

    void ProcessInfo(const std::string& text) override { processInfo_.Hold(text); }
    void ProcessAddress(const std::string& text) override { processAddress_.Hold(text); }
    void StatusRegister(const std::string& text) override { statusRegister_.Hold(text); }
    void Progress(IspStage, uint64_t, uint64_t) override {}
    void ProcessMessages() override { pump_.Pump(); }

    // Puts the latest texts into the labels now (before the window waits on the user).
    void Show();

private:
    // A label and the text it is to show next.
    class HeldLabel {
    public:
        explicit HeldLabel(QLabel* label) : label_(label) {}
        void Hold(const std::string& text) { text_ = text; }
        void Show();

    private:
        QLabel* label_;
        std::optional<std::string> text_;
    };

    void ShowIfDue() override;

    HeldLabel processInfo_;
    HeldLabel processAddress_;
    HeldLabel statusRegister_;
    InputPump& pump_;
    HeldDisplay* previousDisplay_;
    std::optional<uint64_t> lastShown_;
};
