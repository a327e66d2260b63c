#pragma once
// Prints the flash operations' status texts, one line each, and on a terminal a progress
// bar that is redrawn only when it changes.

#include <cstdint>
#include <ostream>
#include <string>

#include "isp/IspReporter.h"

class JsonLines;

class ConsoleReporter final : public IspReporter {
public:
    // With `json`, progress goes out as progress objects (when its percentage changes)
    // instead of a bar.
    ConsoleReporter(std::ostream& out, bool progressBar, JsonLines* json = nullptr)
        : out_(out), bar_(progressBar && json == nullptr), json_(json) {}
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
    JsonLines* json_;
    bool barShown_ = false;
    int lastPercent_ = -1;
    IspStage lastStage_ = IspStage::Erase;
    std::string last_;
};
