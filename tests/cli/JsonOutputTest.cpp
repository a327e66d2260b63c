// --json: every command's output parses line by line, ends with its result object, and
// carries its data.

#include <nlohmann/json.hpp>

#include "StateDir.h"

namespace {

const std::string kTool = QUORVEL_STAGED_CLI;

std::vector<nlohmann::json> ParseLines(const std::string& out) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_NO_THROW(objects.push_back(nlohmann::json::parse(line))) << line;
    }
    return objects;
}

TEST(JsonOutput, EveryCommandPrintsObjectsEndingWithItsResult) {
    WorkDir work;
    StateDir state(work.Path() / "state");
    const auto image = work.Path() / "image.bin";
    WriteBytes(image, Pattern(0x4000));
    const std::string sim = state.Arg();
    struct Case {
        std::vector<std::string> args;
        std::string command;
        int exit;
        std::function<void(const nlohmann::json& data)> check;
    } cases[] = {
        {{"detect"}, "detect", 0, [](const auto& d) { EXPECT_EQ(d["devices"].size(), 1u); }},
        {{"checksum", image.string()}, "checksum", 0, [](const auto& d) { EXPECT_EQ(d["length"], 0x4000); }},
        {{"auto", image.string()}, "auto", 0,
         [](const auto& d) { EXPECT_TRUE(d["failed_steps"].empty()); EXPECT_EQ(d["length"], 0x4000); }},
        {{"verify", image.string()}, "verify", 0, [](const auto&) {}},
        {{"chip-id"}, "chip-id", 0,
         [](const auto& d) { EXPECT_EQ(d["flash_id"], nlohmann::json({0xC2, 0x20, 0x14})); }},
        {{"status"}, "status", 0, [](const auto& d) { EXPECT_EQ(d["status"], 0x9C); }},  // protected by the Auto run
        {{"read-flash", (work.Path() / "back.bin").string()}, "read-flash", 0,
         [](const auto& d) { EXPECT_EQ(d["length"], 0x20000); }},
        {{"reg", "write", "2a", "5c"}, "reg write", 0,
         [](const auto& d) { EXPECT_EQ(d["registers"]["2A"], 0x5C); }},
        {{"reg", "dump"}, "reg dump", 0, [](const auto& d) { EXPECT_EQ(d["registers"].size(), 256u); }},
        {{"i2c", "read", "20", "0", "2"}, "i2c read", 0,
         [](const auto& d) { EXPECT_EQ(d["slave"], 0x20); EXPECT_EQ(d["registers"].size(), 2u); }},
        {{"i2c", "raw-read", "20", "--cmd", "00", "--count", "3"}, "i2c raw-read", 0,
         [](const auto& d) { EXPECT_EQ(d["bytes"].size(), 3u); }},
        {{"param", "read"}, "param read", 0,
         [](const auto& d) { EXPECT_EQ(d["fields"]["mclk"], 256); EXPECT_TRUE(d["eeprom"]); }},
        {{"info"}, "info", 0, [](const auto& d) { EXPECT_EQ(d["rate"], "   48KHz"); }},
        {{"hid", "next"}, "hid", 0, [](const auto& d) { EXPECT_EQ(d["code"], 0x20); }},
        {{"reg", "read", "zz"}, "reg read", 2, [](const auto&) {}},
        {{"--pid", "6O12", "detect"}, "detect", 2, [](const auto&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        std::vector<std::string> args = {"--json", "--sim-state", sim, "--sim-clock", "virtual"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = RunTool(kTool, args, work.Path());
        EXPECT_EQ(run.rc, c.exit) << run.err;
        const std::vector<nlohmann::json> objects = ParseLines(run.out);
        ASSERT_FALSE(objects.empty());
        for (size_t i = 0; i + 1 < objects.size(); ++i)
            EXPECT_TRUE(objects[i]["type"] == "message" || objects[i]["type"] == "progress") << objects[i];
        const nlohmann::json& result = objects.back();
        EXPECT_EQ(result["type"], "result");
        EXPECT_EQ(result["command"], c.command);
        EXPECT_EQ(result["exit"], c.exit);
        EXPECT_EQ(result["ok"], c.exit == 0);
        c.check(result["data"]);
    }
}

TEST(JsonOutput, ProgressNeverGoesBackWithinAStage) {
    WorkDir work;
    const auto image = work.Path() / "image.bin";
    WriteBytes(image, Pattern(0x40000));
    const ToolResult run =
        RunTool(kTool, {"--json", "--sim", "--sim-clock", "virtual", "auto", image.string()}, work.Path());
    ASSERT_EQ(run.rc, 0) << run.err;
    std::map<std::string, uint64_t> last;
    size_t progress = 0;
    for (const nlohmann::json& o : ParseLines(run.out)) {
        if (o["type"] != "progress") continue;
        ++progress;
        const std::string stage = o["stage"];
        const uint64_t done = o["done"];
        EXPECT_LE(done, o["total"].get<uint64_t>());
        EXPECT_GE(done, last[stage]) << stage;
        last[stage] = done;
    }
    EXPECT_GT(progress, 100u) << "blank check, program and verify each report their percentages";
}

}  // namespace
