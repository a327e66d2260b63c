// Every flash command of the installed tool against every fault of the simulated chip:
// each run ends in bounded time, never exits 0 with a wrong result, names what failed,
// and leaves a chip that still answers out of ISP mode (and, after an Auto run,
// protected).

#include <algorithm>
#include <functional>

#include "StateDir.h"

namespace {

const std::string kTool = QUORVEL_STAGED_CLI;
constexpr size_t kFlashSize = 1 << 20;
constexpr size_t kImageSize = 8 * 1024;

struct Operation {
    const char* name;
    std::vector<std::string> args;  // IMAGE and OUT stand for the files
    bool programmedBefore;          // the flash holds the image before the run (else old data)
    bool erasedBefore;              // the flash is erased before the run
    bool protectedBefore;
    // Whether the command's result matches the chip, given its flash after the run and
    // the read-back file.
    std::function<bool(const Bytes& flash, const Bytes& image, const Bytes& readBack)> right;
};

bool Holds(const Bytes& flash, const Bytes& image) {
    return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
}
bool Erased(const Bytes& flash) {
    return std::all_of(flash.begin(), flash.end(), [](uint8_t b) { return b == 0xFF; });
}

const Operation kOperations[] = {
    {"auto", {"auto", "IMAGE"}, false, false, true,
     [](const Bytes& f, const Bytes& i, const Bytes&) { return Holds(f, i); }},
    {"erase", {"erase"}, false, false, false,
     [](const Bytes& f, const Bytes&, const Bytes&) { return Erased(f); }},
    // The chip holds the image: a blank check that passes is always wrong.
    {"blank", {"blank", "IMAGE"}, true, false, false,
     [](const Bytes&, const Bytes&, const Bytes&) { return false; }},
    {"program", {"program", "IMAGE"}, false, true, false,
     [](const Bytes& f, const Bytes& i, const Bytes&) { return Holds(f, i); }},
    {"verify", {"verify", "IMAGE"}, true, false, false,
     [](const Bytes& f, const Bytes& i, const Bytes&) { return Holds(f, i); }},
    {"read-flash", {"read-flash", "OUT"}, true, false, false,
     [](const Bytes& f, const Bytes&, const Bytes& r) {
         return r.size() == 0x20000 && std::equal(r.begin(), r.end(), f.begin());
     }},
};

struct Fault {
    const char* line;
    bool chipAnswersAfter;  // whether the chip can still be asked to protect and leave
};

const Fault kFaults[] = {
    {"fault unplug-after 40", false},
    {"fault stall-request 15", true},  // in an Auto run: the chip erase itself
    {"fault wedged-after 40", false},
    {"fault never-ready", true},
    {"fault stuck-busy", true},
    {"fault corrupt-read 123", true},
    {"fault refuse-page-data 1", true},
    {"fault ignore-writes", true},
    {"fault short-read 8", true},  // in an Auto run: the fetch of the flash ID
};

// A cell whose wrong result the host cannot see: a flash byte that reads back wrong the
// same way every time gives two agreeing copies, and the device offers nothing else to
// check a read-back against.
bool Undetectable(const Operation& op, const Fault& fault) {
    return std::string(op.name) == "read-flash" && std::string(fault.line).rfind("fault corrupt-read", 0) == 0;
}

bool NamesAFailure(const std::string& text) {
    for (const char* what : {"Fail", "lost the device", "busy", "identification", "protected",
                             "Range beyond"})
        if (text.find(what) != std::string::npos) return true;
    return false;
}

TEST(FaultMatrix, EveryCommandUnderEveryFaultEndsHonestly) {
    const Bytes image = Pattern(kImageSize);
    for (const Fault& fault : kFaults) {
        for (const Operation& op : kOperations) {
            SCOPED_TRACE(std::string(op.name) + " with " + fault.line);
            WorkDir work;
            StateDir state(work.Path() / "state");
            Bytes flash(kFlashSize, 0xFF);
            if (op.programmedBefore) std::copy(image.begin(), image.end(), flash.begin());
            else if (!op.erasedBefore) std::fill_n(flash.begin(), 0x10000, 0x00);  // old firmware
            state.Write(flash, std::string(op.protectedBefore ? "flash-status 1c\n" : "") +
                                   fault.line + "\n");
            const auto imagePath = work.Path() / "image.bin";
            const auto outPath = work.Path() / "back.bin";
            WriteBytes(imagePath, image);
            std::vector<std::string> args = {"--sim-state", state.Arg(), "--sim-clock", "virtual"};
            for (const std::string& a : op.args)
                args.push_back(a == "IMAGE" ? imagePath.string() : a == "OUT" ? outPath.string() : a);

            const ToolResult run = RunTool(kTool, args, work.Path());
            const Bytes after = state.Flash();
            const std::string readBack = ReadText(outPath);
            const double seconds = SimulatedSeconds(run.err);
            EXPECT_GE(seconds, 0) << run.err;
            EXPECT_LT(seconds, 30.0) << "bounded time";
            EXPECT_TRUE(run.rc == 0 || run.rc == 1) << run.rc << run.err;
            if (run.rc == 0) {
                if (!Undetectable(op, fault))
                    EXPECT_TRUE(op.right(after, image, Bytes(readBack.begin(), readBack.end())))
                        << "exit 0 with a wrong result\n" << run.out << run.err;
            } else {
                EXPECT_TRUE(NamesAFailure(run.out + run.err)) << run.out << run.err;
            }
            if (fault.chipAnswersAfter) {
                EXPECT_FALSE(state.InIspMode()) << run.out << run.err;
                // A flash that hangs busy in its erase never takes the protection; the run
                // says so ("Flash Protect Fail") instead.
                const bool canProtect = std::string(fault.line) != "fault stuck-busy";
                if (std::string(op.name) == "auto" && canProtect)
                    EXPECT_TRUE(state.Protected()) << state.Value("flash-status") << run.out << run.err;
                if (std::string(op.name) == "auto" && !canProtect)
                    EXPECT_NE(run.out.find("Flash Protect Fail"), std::string::npos) << run.out;
            }
        }
    }
}

}  // namespace
