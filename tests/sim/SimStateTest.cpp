// Saving and loading the simulated chip's lasting state.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <fstream>
#include <string>
#include <vector>

#include "device/Clock.h"
#include "sim/SimStateLock.h"
#include "sim/SimulatedChip.h"

namespace fs = std::filesystem;

namespace {

class SimState : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps two runs of the suite on one machine apart.
        dir = fs::temp_directory_path() /
              ("quorvel-simstate-" + std::to_string(::getpid()) + "-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void WriteFile(const std::string& name, const std::string& bytes) {
        fs::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    VirtualClock clock;
    fs::path dir;
};

TEST_F(SimState, RoundTrip) {
    SimulatedChip a(clock);
    a.SetIdentity(SimIdentity::Update0B7E);
    a.SetNormalIds(0x1234, 0x5678);
    a.Flash().SetJedecId(0xC2, 0x22, 0x12);
    a.Flash().Contents()[0] = 0x00;
    a.Flash().Contents().back() = 0x5A;
    a.Flash().SetStatus(0x9C);
    a.Eeprom().option = {1, 2, 3, 4};
    a.Eeprom().vid = {'A', 'B', 'C', 'D'};
    a.Eeprom().SetStringText(3, "serial 42");
    a.Eeprom().present = false;
    std::string error;
    ASSERT_TRUE(a.SaveState(dir.string(), &error)) << error;
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_NE(entry.path().extension(), ".tmp") << "temporary files are renamed";
    }

    SimulatedChip b(clock);
    ASSERT_TRUE(b.LoadState(dir.string(), &error)) << error;
    EXPECT_EQ(b.Identity(), SimIdentity::Update0B7E);
    EXPECT_EQ(b.InterfacePath(), a.InterfacePath());
    b.SetIdentity(SimIdentity::Normal);
    EXPECT_EQ(b.Vid(), 0x1234);
    EXPECT_EQ(b.Pid(), 0x5678);
    EXPECT_EQ(b.Flash().JedecId(), (std::array<uint8_t, 3>{0xC2, 0x22, 0x12}));
    EXPECT_EQ(b.Flash().Contents(), a.Flash().Contents());
    EXPECT_EQ(b.Flash().Status(), 0x9C);
    EXPECT_EQ(b.Eeprom(), a.Eeprom());
}

TEST_F(SimState, MissingDirectoryMeansDefaults) {
    SimulatedChip chip(clock);
    chip.Flash().Contents()[0] = 0;
    chip.Eeprom().SetStringText(1, "changed");
    ASSERT_TRUE(chip.LoadState(dir.string()));
    EXPECT_EQ(chip.Flash().Contents(), std::vector<uint8_t>(SimFlash::kDefaultSize, 0xFF));
    EXPECT_EQ(chip.Eeprom(), SimEeprom{});
    EXPECT_EQ(chip.Identity(), SimIdentity::Normal);
}

TEST_F(SimState, BadFilesChangeNothing) {
    struct Case {
        const char* name;
        std::string chip;
        size_t flashSize;
        const char* errorPart;
    };
    const Case cases[] = {
        {"unknown key", "colour blue\n", 0, "chip.txt:1"},
        {"bad byte", "# comment\n\noption 10 00 zz 80\n", 0, "chip.txt:3"},
        {"too few bytes", "jedec c2 20\n", 0, "chip.txt:1"},
        {"unknown identity", "identity other\n", 0, "chip.txt:1"},
        {"flash too large for its part", "jedec c2 20 10\n", 0x10001, "flash.bin"},
        // A cut-short copy would otherwise read as a partly erased chip.
        {"flash shorter than its part", "", 3, "flash.bin"},
        {"unknown fault", "fault melt\n", 0, "chip.txt:1"},
        {"fault without its count", "fault stall-request\n", 0, "chip.txt:1"},
        {"fault with a count of 0", "fault wedged-after 0\n", 0, "chip.txt:1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir);
        WriteFile("chip.txt", c.chip);
        if (c.flashSize > 0) WriteFile("flash.bin", std::string(c.flashSize, '\0'));
        SimulatedChip chip(clock);
        chip.Flash().Contents()[7] = 0x07;
        std::string error;
        EXPECT_FALSE(chip.LoadState(dir.string(), &error));
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_EQ(chip.Flash().Contents()[7], 0x07);
        EXPECT_EQ(chip.Flash().Size(), SimFlash::kDefaultSize);
    }
}

TEST_F(SimState, SaveIntoAPathThatIsAFileFails) {
    WriteFile("occupied", "x");
    SimulatedChip chip(clock);
    std::string error;
    EXPECT_FALSE(chip.SaveState((dir / "occupied").string(), &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SimState, FaultLinesSwitchOnFaultsAndAreNotSavedBack) {
    WriteFile("chip.txt", "fault never-ready\nfault corrupt-read 1a\nfault wedged-after 7\n");
    SimulatedChip chip(clock);
    ASSERT_TRUE(chip.LoadState(dir.string()));
    EXPECT_EQ(chip.Relay().Ready(), 0);
    // Reads through the relay see the byte at 0x1A inverted.
    chip.Flash().Select();
    for (uint8_t b : {0x03, 0x00, 0x00, 0x1A}) chip.Flash().Exchange(b);
    EXPECT_EQ(chip.Flash().Exchange(0), 0x00);
    chip.Flash().Deselect();
    ASSERT_TRUE(chip.SaveState(dir.string()));
    std::ifstream in(dir / "chip.txt");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("fault"), std::string::npos);
    SimulatedChip again(clock);
    ASSERT_TRUE(again.LoadState(dir.string()));
    EXPECT_EQ(again.Relay().Ready(), 1);
}

TEST_F(SimState, IspModeRegistersAndSlavesLastFromOneRunToTheNext) {
    SimulatedChip chip(clock);
    WriteFile("chip.txt", "isp-mode 1\n");
    ASSERT_TRUE(chip.LoadState(dir.string()));
    EXPECT_TRUE(chip.InIspMode());
    chip.SetRegister(0x0D, 0x07, 0x10);
    chip.SetRegister(0, 0xA4, 0x05);  // differs from its power-on value
    chip.SetRegister(0, 0, 0x0D);
    chip.SetI2cSlaveRegister(0x60, 0x10, 0x99);
    ASSERT_TRUE(chip.SaveState(dir.string()));
    SimulatedChip next(clock);
    ASSERT_TRUE(next.LoadState(dir.string()));
    EXPECT_TRUE(next.InIspMode());
    EXPECT_EQ(next.SelectedBank(), 0x0D);
    EXPECT_EQ(next.Register(0x0D, 0x07), 0x10);
    EXPECT_EQ(next.Register(0, 0xA4), 0x05);
    EXPECT_EQ(next.Register(0, 0xA6), 0x01);
    EXPECT_EQ(next.I2cSlaveRegister(0x60, 0x10), 0x99);
}

TEST_F(SimState, SecondLockOnTheSameDirectoryIsRefused) {
    SimStateLock first, second;
    std::string error;
    ASSERT_TRUE(first.Acquire(dir.string(), error)) << error;
    EXPECT_FALSE(second.Acquire(dir.string(), error));
    EXPECT_EQ(error, "state directory in use");
}

// A save killed at any point leaves the old state or the new one, never one file of each.
TEST_F(SimState, SaveKilledAtRandomPointsLeavesOneWholeState) {
    const auto mark = [](SimulatedChip& chip, uint8_t value) {
        chip.SetNormalIds(value, value);
        std::fill(chip.Flash().Contents().begin(), chip.Flash().Contents().end(), value);
    };
    SimulatedChip first(clock);
    mark(first, 1);
    ASSERT_TRUE(first.SaveState(dir.string()));
    std::mt19937 random(12345);
    for (int round = 0; round < 12; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Saves the two states in turn for ever, telling the parent after each save.
            ::close(ready[0]);
            SimulatedChip a(clock), b(clock);
            mark(a, 1);
            mark(b, 2);
            for (int n = 0;; ++n) {
                (n % 2 ? b : a).SaveState(dir.string());
                if (::write(ready[1], "s", 1) != 1) ::_exit(0);
            }
        }
        ::close(ready[1]);
        // Let a random number of saves complete, then kill the child inside the next.
        char byte;
        for (int n = static_cast<int>(random() % 4); n > 0; --n) ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);

        SimulatedChip loaded(clock);
        std::string error;
        ASSERT_TRUE(loaded.LoadState(dir.string(), &error)) << error;
        const uint16_t saved = loaded.Vid();
        ASSERT_TRUE(saved == 1 || saved == 2) << saved;
        const auto& flash = loaded.Flash().Contents();
        EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [&](uint8_t v) { return v == saved; }))
            << "round " << round << ": chip.txt of one save, flash.bin of another";
    }
}

}  // namespace
