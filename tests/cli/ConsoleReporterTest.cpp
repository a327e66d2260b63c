// What the command-line tool prints while a flash operation runs.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/ConsoleReporter.h"
#include "cli/TracingPlatform.h"

namespace {

TEST(ConsoleReporter, PrintsEachStatusOnceAndNoBarOffATerminal) {
    std::ostringstream out;
    {
        ConsoleReporter report(out, false);
        report.ProcessInfo("Flash Erase All ");
        report.ProcessInfo("Flash Erase All ");  // the busy poll repeats its text
        report.ProcessAddress("Blanking Addr: 0x000040");
        report.Progress(IspStage::BlankCheck, 64, 128);
        report.ProcessInfo("Blanking Success");
    }
    EXPECT_EQ(out.str(), "Flash Erase All \nBlanking Success\n");
}

TEST(ConsoleReporter, BarIsRedrawnOnlyWhenItChanges) {
    std::ostringstream out;
    {
        ConsoleReporter report(out, true);
        report.ProcessInfo("Start Programming");
        for (uint64_t done = 0; done <= 1000; done += 1) report.Progress(IspStage::Program, done, 1000);
        report.ProcessInfo("Programming Success");
    }
    const std::string text = out.str();
    size_t redraws = 0;
    for (char c : text) redraws += c == '\r';
    EXPECT_EQ(redraws, 101u) << "one per percent, 0 to 100";
    EXPECT_NE(text.find("100%\nProgramming Success\n"), std::string::npos) << text;
    EXPECT_EQ(text.rfind("Start Programming\n", 0), 0u);
}

TEST(TraceLine, FormatsCodeAndBytes) {
    const uint8_t in[] = {0x00, 0xAB, 0x0F};
    const uint8_t out[] = {0xC2};
    EXPECT_EQ(TraceLine(0x22242E, in, sizeof in, out, sizeof out, true),
              "ioctl 0x22242E in=00AB0F out=C2 ok");
    EXPECT_EQ(TraceLine(0x2F0003, in, 1, nullptr, 0, false), "ioctl 0x2F0003 in=00 out= fail");
}

}  // namespace
