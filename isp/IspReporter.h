#pragma once
// How the flash operations tell their caller what they are doing. The window shows the
// three texts in its labels and pumps its event loop; the command-line tool prints them.

#include <cstdint>
#include <string>

enum class IspStage { Erase, BlankCheck, Program, Verify, ReadBack };

class IspReporter {
public:
    virtual ~IspReporter() = default;
    // The progress and result message (the window's lblUSBProcessInfo).
    virtual void ProcessInfo(const std::string& text) = 0;
    // The address being worked on (lblUSBISPProcess).
    virtual void ProcessAddress(const std::string& text) = 0;
    // The flash status register during an erase (lblUSBISPStatusReg).
    virtual void StatusRegister(const std::string& text) = 0;
    // Bytes (or sectors) done of a stage's total; never goes backwards within a stage.
    // A total of 0 means the amount of work is not known (a whole-chip erase).
    virtual void Progress(IspStage stage, uint64_t done, uint64_t total) = 0;
    // Lets the caller handle pending input (the window pumps its event loop here, so a
    // Stop click can arrive).
    virtual void ProcessMessages() = 0;
};

// A reporter that drops everything; for callers that only want the result.
class SilentReporter final : public IspReporter {
public:
    void ProcessInfo(const std::string&) override {}
    void ProcessAddress(const std::string&) override {}
    void StatusRegister(const std::string&) override {}
    void Progress(IspStage, uint64_t, uint64_t) override {}
    void ProcessMessages() override {}
};

// At least six upper-case hexadecimal digits, and the same behind "0x".
std::string HexDigits6(uint32_t address);
std::string HexAddress(uint32_t address);
// Two upper-case hexadecimal digits.
std::string HexByte(uint8_t value);
