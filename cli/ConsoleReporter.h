#pragma once
// Prints the flash operations' status texts, one line each, and on a terminal a progress
// bar that is redrawn only when it changes.

#include <cstdint>
#include <ostream>
#include <string>

#include "isp/IspReporter.h"

class ConsoleReporter final : public IspReporter {
public:
    ConsoleReporter(std::ostream& out, bool progressBar) : out_(out), bar_(progressBar) {}
    ~ConsoleReporter() override { EndBar(); }

    // A status text is printed when it differs from the one before, so the busy-poll
    // repetitions of an erase collapse into one line each.
    void ProcessInfo(const std::string& text) override;
    void ProcessAddress(const std::string&) override {}
    void StatusRegister(const std::string&) override {}
    void Progress(IspStage stage, uint64_t done, uint64_t total) override;
    void ProcessMessages() override {}

    const std::string& LastInfo() const { return last_; }

private:
    void EndBar();

    std::ostream& out_;
    bool bar_;
    bool barShown_ = false;
    int lastPercent_ = -1;
    IspStage lastStage_ = IspStage::Erase;
    std::string last_;
};
