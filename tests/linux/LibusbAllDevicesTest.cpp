// auto --all over the system's USB stack: the installed tool, started as a process, finds
// two chips on the emulated bus and updates both, each from a child process of its own.
// The children reach the bus through the same emulation (they inherit its environment).

#include <gtest/gtest.h>

#include "../cli/StateDir.h"
#include "LibusbFixture.h"
#include "SimOnBus.h"

namespace {

class LibusbAllDevices : public LibusbTest {
protected:
    void SetUp() override {
        LibusbTest::SetUp();
        Add(Hub());
        for (int i = 0; i < 2; ++i) {
            // The children wait on the real clock, so the chips measure their busy times
            // on it too, scaled down as in the demo.
            chips[i] = std::make_unique<SimulatedChip>(clock);
            chips[i]->Flash().SetTimingScale(0.01);
            EmulatedUsbDevice& d = bed.Add(SpecOf(*chips[i], i == 0 ? "1-2.3" : "1-2.4", 5 + i));
            d.SetResponder(ServeFrom(*chips[i]));
        }
    }
    RealClock clock;
    std::unique_ptr<SimulatedChip> chips[2];
    WorkDir work;
};

TEST_F(LibusbAllDevices, UpdatesBothChips) {
    const Bytes image = Pattern(0x2000);
    const std::string file = (work.Path() / "image.bin").string();
    WriteBytes(file, image);

    const ToolResult run = RunTool(QUORVEL_STAGED_CLI, {"auto", file, "--all"}, work.Path());

    EXPECT_EQ(run.rc, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("\n1-2.3 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n1-2.4 "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 of 2 devices succeeded"), std::string::npos) << run.out;
    for (const auto& chip : chips) {
        const std::vector<uint8_t>& flash = chip->Flash().Contents();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
        EXPECT_FALSE(chip->InIspMode());
    }
}

}  // namespace
