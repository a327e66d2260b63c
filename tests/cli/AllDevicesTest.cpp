// The installed tool on a simulated bench of several chips: one command for every device,
// each served by a child process, with one summary and an honest exit code.

#include <nlohmann/json.hpp>
#include <set>

#include "StateDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = QUORVEL_STAGED_CLI;
constexpr int kBench = 4;

std::string PathOf(int chip) {
    return "\\\\?\\usb#vid_7c3d&pid_6012#1-" + std::to_string(chip) +
           "#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}";
}

// One line from `fd`, without its newline; false at the end of the stream.
bool ReadLine(int fd, std::string& line) {
    line.clear();
    char c;
    while (::read(fd, &c, 1) == 1) {
        if (c == '\n') return true;
        line += c;
    }
    return !line.empty();
}

class AllDevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        image = Pattern(0x4000);
        imagePath = (work.Path() / "image.bin").string();
        WriteBytes(imagePath, image);
    }
    StateDir Chip(int index) const { return StateDir(work.Path() / "bench" / std::to_string(index)); }
    std::vector<std::string> Bench(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--sim-state", (work.Path() / "bench").string(), "--sim-count",
                                   std::to_string(kBench), "--sim-clock", "virtual"});
        return args;
    }
    bool Holds(const StateDir& chip, const Bytes& bytes) const {
        const Bytes flash = chip.Flash();
        return flash.size() >= bytes.size() && std::equal(bytes.begin(), bytes.end(), flash.begin());
    }
    WorkDir work;
    Bytes image;
    std::string imagePath;
};

TEST_F(AllDevicesTest, UpdatesEveryChipAndSumsUp) {
    const ToolResult run = RunTool(kTool, Bench({"auto", imagePath, "--all"}), work.Path());
    EXPECT_EQ(run.rc, 0) << run.out << run.err;
    for (int i = 1; i <= kBench; ++i) {
        SCOPED_TRACE(i);
        const StateDir chip = Chip(i);
        EXPECT_TRUE(Holds(chip, image));
        EXPECT_TRUE(chip.Protected());
        EXPECT_FALSE(chip.InIspMode());
        EXPECT_NE(run.out.find("\n1-" + std::to_string(i) + "     ok          0  Verifying Success\n"),
                  std::string::npos) << run.out;
    }
    EXPECT_NE(run.out.find("4 of 4 devices succeeded\n"), std::string::npos) << run.out;
}

TEST_F(AllDevicesTest, OneFaultyChipFailsAloneAndIsNamed) {
    Chip(3).Write(Bytes(1 << 20, 0xFF), "fault never-ready\n");
    const ToolResult run = RunTool(kTool, Bench({"auto", imagePath, "--all"}), work.Path());
    EXPECT_EQ(run.rc, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("1 of 4 devices did not succeed:\n  " + PathOf(3) + "\n"), std::string::npos)
        << run.err;
    for (int i : {1, 2, 4}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Holds(Chip(i), image));
        EXPECT_EQ(run.err.find(PathOf(i)), std::string::npos) << run.err;
    }
    EXPECT_FALSE(Holds(Chip(3), image));
    EXPECT_FALSE(Chip(3).InIspMode());
    EXPECT_NE(run.out.find("3 of 4 devices succeeded\n"), std::string::npos) << run.out;
}

TEST_F(AllDevicesTest, InterruptStopsEveryChipProtectedAndOutOfIspMode) {
    // On the real clock, each request costing real time, so the run can be interrupted
    // while all four chips are at work.
    const Bytes big = Pattern(0x10000, 3);
    WriteBytes(imagePath, big);
    const std::vector<std::string> args{"--sim-state", (work.Path() / "bench").string(),
                                        "--sim-count", std::to_string(kBench), "--sim-latency-us",
                                        "100", "auto", imagePath, "--all"};
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ToolProcess tool(kTool, args, work.Path(), out[1]);
    ::close(out[1]);
    std::string seen, line;
    std::set<std::string> blanking;
    // Each device reports its blank check before it programs; wait for all of them.
    while (blanking.size() < kBench && ReadLine(out[0], line)) {
        seen += line + "\n";
        const size_t colon = line.find(": Start Blanking Check");
        if (colon != std::string::npos) blanking.insert(line.substr(0, colon));
    }
    tool.Signal(SIGINT);
    char c;
    while (::read(out[0], &c, 1) == 1) seen += c;
    ::close(out[0]);
    const ToolResult run = tool.Wait();
    ASSERT_EQ(blanking.size(), static_cast<size_t>(kBench)) << seen;
    EXPECT_EQ(run.rc, 130) << seen << run.err;
    EXPECT_NE(seen.find("\nStopped\n"), std::string::npos) << seen;
    for (int i = 1; i <= kBench; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Chip(i).Protected()) << Chip(i).Value("flash-status");
        EXPECT_FALSE(Chip(i).InIspMode());
        EXPECT_FALSE(Holds(Chip(i), big)) << "the run stopped before verifying";
    }
    EXPECT_EQ(run.err.find("interrupted again"), std::string::npos) << run.err;
}

TEST_F(AllDevicesTest, OneJobAtATimeRunsThemInTurn) {
    const ToolResult run =
        RunTool(kTool, Bench({"--json", "auto", imagePath, "--all", "--jobs", "1"}), work.Path());
    EXPECT_EQ(run.rc, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::vector<std::string> order;  // the devices in the order their lines came
    nlohmann::json result;
    while (std::getline(lines, line)) {
        const nlohmann::json object = nlohmann::json::parse(line);
        if (object["type"] == "result") result = object;
        if (!object.contains("device")) continue;
        if (order.empty() || order.back() != object["device"]) order.push_back(object["device"]);
    }
    EXPECT_EQ(order, (std::vector<std::string>{PathOf(1), PathOf(2), PathOf(3), PathOf(4)}));
    ASSERT_TRUE(result.is_object()) << run.out;
    EXPECT_EQ(result["exit"], 0);
    ASSERT_EQ(result["data"]["devices"].size(), static_cast<size_t>(kBench));
    for (const auto& device : result["data"]["devices"]) {
        EXPECT_TRUE(device["ok"].get<bool>()) << device.dump();
        EXPECT_EQ(device["data"]["length"], image.size()) << device.dump();
    }
}

// verify and read-flash take each device's own flash: one file per device, named after
// its port, and a verify that fails only where the flash differs.
TEST_F(AllDevicesTest, VerifyAndReadFlashPerDevice) {
    for (int i = 1; i <= kBench; ++i) {
        Bytes flash(1 << 20, 0xFF);
        const Bytes own = i == 2 ? Pattern(image.size(), 99) : image;
        std::copy(own.begin(), own.end(), flash.begin());
        Chip(i).Write(flash, "");
    }
    const ToolResult verify = RunTool(kTool, Bench({"verify", imagePath, "--all"}), work.Path());
    EXPECT_EQ(verify.rc, 1) << verify.out << verify.err;
    EXPECT_NE(verify.err.find("did not succeed:\n  " + PathOf(2) + "\n"), std::string::npos)
        << verify.err;

    const fs::path folder = work.Path() / "read";
    const ToolResult read = RunTool(kTool, Bench({"read-flash", folder.string(), "--all"}), work.Path());
    EXPECT_EQ(read.rc, 0) << read.out << read.err;
    for (int i = 1; i <= kBench; ++i) {
        SCOPED_TRACE(i);
        const std::string text = ReadText(folder / ("1-" + std::to_string(i) + ".bin"));
        const Bytes file(text.begin(), text.end());
        EXPECT_EQ(file.size(), 0x20000u);
        EXPECT_TRUE(Holds(Chip(i), Bytes(file.begin(), file.begin() + 0x4000)));
    }
}

TEST_F(AllDevicesTest, RefusalsBeforeAnyDeviceIsTouched) {
    const std::string missing = (work.Path() / "missing.hex").string();
    struct Case {
        std::vector<std::string> args;
        int rc;
        std::string message;
    } cases[] = {
        {Bench({"--vid", "1234", "auto", imagePath, "--all"}), 1, "no device is available"},
        {Bench({"auto", missing, "--all"}), 2, "missing.hex"},
        {Bench({"--device", PathOf(1), "auto", imagePath, "--all"}), 2, "--all and --device"},
        {Bench({"read-flash", imagePath, "--all"}), 2, "not a folder"},
        {{"--sim-count", "2", "detect"}, 2, "--sim-count needs --sim or --sim-state"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const ToolResult run = RunTool(kTool, c.args, work.Path());
        EXPECT_EQ(run.rc, c.rc) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    for (int i = 1; i <= kBench; ++i) EXPECT_FALSE(fs::exists(Chip(i).Path() / "chip.txt")) << i;
}

}  // namespace
