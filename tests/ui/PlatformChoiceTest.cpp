// The device platform the window starts with.

#include <gtest/gtest.h>

#include "sim/SimulatedChip.h"
#include "ui/PlatformChoice.h"

namespace {

TEST(PlatformChoiceTest, SimulatedChipOnlyWithSim) {
    const auto sim = ChooseDevicePlatform({"quorvel-isp-tool", "--sim"});
    auto* chip = dynamic_cast<SimulatedChip*>(sim.get());
    ASSERT_NE(chip, nullptr);
    EXPECT_DOUBLE_EQ(chip->Flash().TimingScale(), kSimulatedFlashTimingScale);

    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"quorvel-isp-tool"}, {"quorvel-isp-tool", "--simulate"}, {"quorvel-isp-tool", "sim"}}) {
        const auto platform = ChooseDevicePlatform(args);
        ASSERT_NE(platform, nullptr);
        EXPECT_EQ(dynamic_cast<SimulatedChip*>(platform.get()), nullptr) << args.back();
    }
}

}  // namespace
