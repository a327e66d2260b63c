// The screen of a run over every device: short names, file names, plain lines against
// a terminal's redrawn lines, and the summary.

#include <gtest/gtest.h>

#include <sstream>

#include "cli/AllDevicesScreen.h"

namespace {

TEST(AllDevicesScreenTest, ShortAndFileNames) {
    const struct {
        std::string path, name, file;
    } cases[] = {
        {"\\\\?\\usb#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}", "1-2.3", "1-2.3"},
        {"\\\\?\\usb#vid_0b7e&pid_6000#3-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", "3-1", "3-1"},
        {"no-fields-at-all", "no-fields-at-all", "no-fields-at-all"},
        {"a#b##c", "a#b##c", "a_b__c"},  // an empty port field: the whole path
        {"x#y#../up#z", "../up", "_.._up"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ShortDeviceName(c.path), c.name);
        EXPECT_EQ(FileNameFor(ShortDeviceName(c.path)), c.file);
    }
}

std::vector<DeviceRun> Runs() {
    std::vector<DeviceRun> runs(4);
    const char* names[] = {"1-1", "1-2", "1-3", "1-4"};
    for (int i = 0; i < 4; ++i) {
        runs[i].name = names[i];
        runs[i].path = std::string("P") + names[i];
        runs[i].state = DeviceRun::State::Finished;
    }
    runs[0].exit = 0, runs[0].message = "Verifying Success";
    runs[1].exit = 1, runs[1].message = "Flash ID Read Fail";
    runs[2].exit = 130, runs[2].message = "Stopped";
    runs[3].state = DeviceRun::State::NotStarted;
    return runs;
}

TEST(AllDevicesScreenTest, SummaryNamesEveryDeviceThatDidNotSucceed) {
    std::ostringstream out, err;
    AllDevicesScreen screen(out, err, false);
    screen.Summary(Runs());
    EXPECT_EQ(out.str(),
              "\ndevice  result   exit  last message\n"
              "1-1     ok          0  Verifying Success\n"
              "1-2     failed      1  Flash ID Read Fail\n"
              "1-3     stopped   130  Stopped\n"
              "1-4     not run     -  \n"
              "1 of 4 devices succeeded\n");
    EXPECT_EQ(err.str(), "quorvel-isp: 3 of 4 devices did not succeed:\n  P1-2\n  P1-3\n  P1-4\n");
}

TEST(AllDevicesScreenTest, PlainLinesAtOnceTerminalLinesRedrawnInPlace) {
    std::vector<DeviceRun> runs = Runs();
    runs[1].state = DeviceRun::State::Running;
    runs[1].stage = "program";
    runs[1].percent = 42;
    {
        std::ostringstream out, err;
        AllDevicesScreen plain(out, err, false);
        plain.Message(runs, runs[1], "Start Programming");
        plain.Error(runs[1], "quorvel-isp: lost the device");
        plain.Update(runs, true);
        EXPECT_EQ(out.str(), "1-2: Start Programming\n");
        EXPECT_EQ(err.str(), "1-2: quorvel-isp: lost the device\n");
    }
    std::ostringstream out, err;
    AllDevicesScreen terminal(out, err, true);
    terminal.Update(runs, true);
    terminal.Error(runs[1], "quorvel-isp: lost the device");
    EXPECT_EQ(err.str(), "") << "kept until the summary, not drawn over";
    terminal.Update(runs, true);
    const std::string drawn = out.str();
    EXPECT_NE(drawn.find("\x1b[4F"), std::string::npos) << "the second drawing goes back over the first";
    EXPECT_NE(drawn.find("1-2        program   42%  Flash ID Read Fail\n"), std::string::npos) << drawn;
    terminal.Summary(runs);
    EXPECT_EQ(err.str().rfind("1-2: quorvel-isp: lost the device\n", 0), 0u) << err.str();
}

}  // namespace
