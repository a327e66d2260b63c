// The installed tool off the happy path: interrupts, a reader that goes away, ranges that
// do not fit, odd output and input paths, and two runs on one state directory.

#include <sys/stat.h>

#include "StateDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = QUORVEL_STAGED_CLI;

class CliSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = Pattern(0x40000);
        imagePath = (work.Path() / "image.bin").string();
        WriteBytes(imagePath, image);
    }
    // An Auto run on the real clock, slow enough (each request costs real time) to be
    // interrupted while it programs; its stdout comes through `pipe`.
    std::vector<std::string> SlowAuto() const {
        return {"--sim-state", state.Arg(), "--sim-latency-us", "100", "auto", imagePath,
                "--skip", "blank,verify"};
    }
    WorkDir work;
    StateDir state{work.Path() / "state"};
    Bytes image;
    std::string imagePath;
};

// Starts a slow Auto run and signals it once programming has begun.
ToolResult InterruptWhileProgramming(const std::vector<std::string>& args, const fs::path& work,
                                     std::vector<int> signals) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    ToolProcess tool(kTool, args, work, out[1]);
    ::close(out[1]);
    std::string seen;
    const bool programming = ReadUntilLine(out[0], "Start Programming", seen);
    EXPECT_TRUE(programming) << seen;
    for (int s : signals) tool.Signal(s);
    char c;
    while (::read(out[0], &c, 1) == 1) seen += c;
    ::close(out[0]);
    ToolResult result = tool.Wait();
    result.out = seen;
    return result;
}

TEST_F(CliSafetyTest, InterruptDuringProgrammingProtectsLeavesIspModeAndExits128PlusSignal) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        state.Write(Bytes(1 << 20, 0x00), "flash-status 1c\n");
        const ToolResult run = InterruptWhileProgramming(SlowAuto(), work.Path(), {signal});
        EXPECT_EQ(run.rc, 128 + signal) << run.err;
        EXPECT_NE(run.out.find("\nStopped\n"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("Start Verifying Check"), std::string::npos);
        EXPECT_TRUE(state.Protected()) << state.Value("flash-status");
        EXPECT_FALSE(state.InIspMode());
    }
}

TEST_F(CliSafetyTest, SecondSignalDuringTheCleanUpEndsAtOnceWithAWarning) {
    state.Write(Bytes(1 << 20, 0x00), "");
    const ToolResult run = InterruptWhileProgramming(SlowAuto(), work.Path(), {SIGINT, SIGTERM});
    EXPECT_TRUE(run.rc == 128 + SIGINT || run.rc == 128 + SIGTERM) << run.rc;
    EXPECT_NE(run.err.find("may be left unprotected"), std::string::npos) << run.err;
}

TEST_F(CliSafetyTest, ReaderThatGoesAwayNeverStopsTheRun) {
    state.Write(Bytes(1 << 20, 0xFF), "");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::close(out[0]);  // like `| head -c0`: every write fails
    ToolProcess tool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "auto", imagePath},
                     work.Path(), out[1]);
    ::close(out[1]);
    const ToolResult run = tool.Wait();
    EXPECT_EQ(run.rc, 0) << run.err;
    const Bytes flash = state.Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

TEST_F(CliSafetyTest, RangesThatDoNotFitAreRefusedBeforeAnythingIsErased) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int rc;
        const char* says;
    } cases[] = {
        {"past the 1 MB flash", {"auto", imagePath, "--range", "1024", "64"}, 1, "Range beyond flash size"},
        {"erase of part of a sector", {"erase", "--range", "1", "4"}, 2, "multiples of 4 KB"},
        {"past the 16 MB of addresses", {"erase", "--range", "16380", "8"}, 2, "16 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state.Write(Bytes(1 << 20, 0x00), "flash-status 1c\n");
        std::vector<std::string> args = {"--sim-state", state.Arg(), "--sim-clock", "virtual"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = RunTool(kTool, args, work.Path());
        EXPECT_EQ(run.rc, c.rc) << run.err;
        EXPECT_NE((run.out + run.err).find(c.says), std::string::npos) << run.out << run.err;
        const Bytes flash = state.Flash();
        EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(state.Protected());
    }
}

TEST_F(CliSafetyTest, RangeEndingAtSixteenMegabytesDoesNotWrapToAddressZero) {
    Bytes flash(16 << 20, 0xFF);
    flash[0] = 0x00;  // the boot code that a wrapped address would hit
    state.Write(flash, "jedec c2 20 18\n");
    const Bytes small(image.begin(), image.begin() + 0x10000);
    WriteBytes(imagePath, small);
    const ToolResult run = RunTool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "auto",
                                           imagePath, "--range", "16320", "64"},
                                   work.Path());
    EXPECT_EQ(run.rc, 0) << run.out << run.err;
    const Bytes after = state.Flash();
    EXPECT_EQ(after[0], 0x00);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), after.begin() + (16320 << 10)));
}

TEST_F(CliSafetyTest, ReadBackIntoDevicesLinksAndFifos) {
    Bytes flash(1 << 20, 0xFF);
    std::copy(image.begin(), image.end(), flash.begin());
    state.Write(flash, "");
    const auto readFlash = [&](const std::string& out) {
        return RunTool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "read-flash", out},
                       work.Path());
    };
    EXPECT_EQ(readFlash("/dev/null").rc, 0);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    const fs::path real = work.Path() / "real.bin", link = work.Path() / "link.bin";
    WriteBytes(real, {1, 2, 3});
    fs::create_symlink(real, link);
    EXPECT_EQ(readFlash(link.string()).rc, 0);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    EXPECT_EQ(fs::file_size(real), 0x20000u);

    const fs::path fifo = work.Path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ToolProcess tool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "read-flash", fifo.string()},
                     work.Path());
    // Opening for reading waits for the tool to open the FIFO for writing; a tool that
    // replaced it by a file would never come, so the run's end is awaited in the read.
    const int reader = ::open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) got.append(buffer, size_t(n));
    ::close(reader);
    EXPECT_EQ(tool.Wait().rc, 0);
    EXPECT_EQ(got.size(), 0x20000u);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 100, image.begin(),
                           [](char a, uint8_t b) { return uint8_t(a) == b; }));
    EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(CliSafetyTest, ProgramFilesThatAreNotRegularFilesAreRefused) {
    const fs::path fifo = work.Path() / "firmware.hex";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zero = work.Path() / "zero.hex";
    fs::create_symlink("/dev/zero", zero);
    for (const fs::path& input : {fifo, zero}) {
        SCOPED_TRACE(input);
        const ToolResult run = RunTool(kTool, {"--sim", "auto", input.string()}, work.Path());
        EXPECT_EQ(run.rc, 2);
        EXPECT_NE(run.err.find("is not a regular file"), std::string::npos) << run.err;
    }
}

TEST_F(CliSafetyTest, SecondRunOnAStateDirectoryInUseFailsAtOnceAndChangesNothing) {
    state.Write(Bytes(1 << 20, 0xFF), "");
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ToolProcess first(kTool, SlowAuto(), work.Path(), out[1]);
    ::close(out[1]);
    std::string seen;
    ASSERT_TRUE(ReadUntilLine(out[0], "Enter ISP Mode", seen)) << seen;  // it holds the lock

    const WorkDir other;
    const ToolResult second = RunTool(
        kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "erase"}, other.Path());
    EXPECT_EQ(second.rc, 1);
    EXPECT_NE(second.err.find("state directory in use"), std::string::npos) << second.err;

    char c;
    while (::read(out[0], &c, 1) == 1) {
    }
    ::close(out[0]);
    EXPECT_EQ(first.Wait().rc, 0);
    const Bytes flash = state.Flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin())) << "the first run's update stands";
}

TEST_F(CliSafetyTest, BusyOrProtectedFlashIsNotTouchedAndSaysWhy) {
    Bytes programmed(1 << 20, 0xFF);
    std::copy(image.begin(), image.end(), programmed.begin());
    struct Case {
        const char* chip;
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        // A busy flash reads 0xFF: a blank check would pass on a programmed chip.
        {"fault always-busy\n", {"blank", imagePath}, "stays busy"},
        {"fault always-busy\n", {"read-flash", (work.Path() / "back.bin").string()}, "stays busy"},
        {"fault always-busy\n", {"erase"}, "stays busy"},
        // A protected flash ignores erase and program: they would change nothing.
        {"flash-status 1c\n", {"erase"}, "write-status 00"},
        {"flash-status 1c\n", {"program", imagePath}, "write-status 00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.chip) + c.args[0]);
        state.Write(programmed, c.chip);
        std::vector<std::string> args = {"--sim-state", state.Arg(), "--sim-clock", "virtual"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = RunTool(kTool, args, work.Path());
        EXPECT_EQ(run.rc, 1) << run.out;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(state.Flash(), programmed);
        EXPECT_FALSE(std::filesystem::exists(work.Path() / "back.bin")) << "no file of 0xFF";
    }
    // Cleared as the message says, the erase goes ahead.
    state.Write(programmed, "flash-status 1c\n");
    EXPECT_EQ(RunTool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "write-status", "00"},
                      work.Path()).rc, 0);
    EXPECT_EQ(RunTool(kTool, {"--sim-state", state.Arg(), "--sim-clock", "virtual", "erase"},
                      work.Path()).rc, 0);
    const Bytes erased = state.Flash();
    EXPECT_TRUE(std::all_of(erased.begin(), erased.end(), [](uint8_t b) { return b == 0xFF; }));
}

}  // namespace
