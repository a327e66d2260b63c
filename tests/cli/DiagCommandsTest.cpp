// The engineering commands of the installed tool: the requests each one sends (from its
// --trace on the generic path), what they leave in the chip, and their usage errors.

#include <sstream>

#include "StateDir.h"

namespace {

const std::string kTool = QUORVEL_STAGED_CLI;

// One vendor request as the generic driver block of a trace line shows it.
struct Request {
    uint8_t bRequest;
    uint16_t wIndex;
    std::string data;  // the data stage in hex (what was sent or returned)
    friend bool operator==(const Request&, const Request&) = default;
};

std::ostream& operator<<(std::ostream& out, const Request& r) {
    return out << std::hex << int(r.bRequest) << "/" << r.wIndex << "=" << r.data;
}

// The vendor requests of a --trace, the device probe left out.
std::vector<Request> VendorRequests(const std::string& trace) {
    std::vector<Request> out;
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t in = line.find(" in="), data = line.find(" out=");
        if (line.rfind("ioctl 0x2224", 0) != 0 || in == std::string::npos) continue;
        const std::string block = line.substr(in + 4, 48);
        const auto byte = [&](size_t i) { return uint8_t(std::stoi(block.substr(2 * i, 2), nullptr, 16)); };
        if ((byte(4) & 0x60) != 0x40) continue;  // a standard request: the probe
        const std::string stage = line.substr(data + 5, line.rfind(' ') - data - 5);
        out.push_back({byte(5), uint16_t(byte(8) | byte(9) << 8), stage});
    }
    return out;
}

class DiagCommandsTest : public ::testing::Test {
protected:
    ToolResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--sim-state", state.Arg(), "--sim-device", "7c3d-6000"});
        return RunTool(kTool, args, work.Path());
    }
    WorkDir work;
    StateDir state{work.Path() / "state"};
};

TEST_F(DiagCommandsTest, RegisterCommandsSendWhatTheRegisterPageSends) {
    struct Case {
        std::vector<std::string> args;
        std::vector<Request> requests;
        std::string out;
    } cases[] = {
        // Enter on a cell: the write, then the read-back.
        {{"reg", "write", "2a", "5c"}, {{0x90, 0x2A, "5C"}, {0x91, 0x2A, "5C"}}, "2A = 5C\n"},
        // Selecting a cell: one read (the value written by the run before).
        {{"reg", "read", "0x2A"}, {{0x91, 0x2A, "5C"}}, "2A = 5C\n"},
        // Writing register 0 selects the bank.
        {{"reg", "bank", "5"}, {{0x90, 0x00, "05"}, {0x91, 0x00, "05"}}, "00 = 05\n"},
        {{"reg", "read", "2a"}, {{0x91, 0x2A, "00"}}, "2A = 00\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--trace"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = Run(args);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.rc, 0);
        EXPECT_EQ(VendorRequests(run.err), c.requests);
        EXPECT_EQ(run.out, c.out);
    }
    // Read Bank: the 256 registers in ascending order, printed as the page's grid.
    const ToolResult dump = Run({"--trace", "reg", "dump"});
    const std::vector<Request> reads = VendorRequests(dump.err);
    ASSERT_EQ(reads.size(), 256u);
    for (int r = 0; r < 256; ++r) EXPECT_EQ(reads[r].wIndex, r);
    std::istringstream grid(dump.out);
    std::string header, first;
    std::getline(grid, header);
    std::getline(grid, first);
    EXPECT_EQ(header.substr(0, 9), "   00 01 ");
    EXPECT_EQ(first.substr(0, 6), "00 05 ") << "register 0 reads the bank";
}

TEST_F(DiagCommandsTest, I2cCommandsReachTheSlaveAndItsRegistersLast) {
    ToolResult run = Run({"--trace", "i2c", "write", "20", "05", "3c", "3d"});
    EXPECT_EQ(run.rc, 0) << run.err;
    const std::vector<Request> requests = VendorRequests(run.err);
    ASSERT_GE(requests.size(), 2u);
    // The master is set up first: bank 14, then 0x04 to register 0x11.
    EXPECT_EQ(requests[0], (Request{0x90, 0x00, "0E"}));
    EXPECT_EQ(requests[1], (Request{0x90, 0x11, "04"}));
    EXPECT_EQ(run.out, "05 = 3C\n06 = 3D\n");
    EXPECT_EQ(state.Value("i2c"), "20 05 3c");

    run = Run({"i2c", "read", "20", "5", "2"});
    EXPECT_EQ(run.rc, 0) << run.err;
    EXPECT_EQ(run.out, "05 = 3C\n06 = 3D\n");
    run = Run({"i2c", "raw-read", "20", "--cmd", "06", "--count", "1"});
    EXPECT_EQ(run.out, "3D\n");

    run = Run({"i2c", "read", "40", "05"});
    EXPECT_EQ(run.rc, 1);
    EXPECT_NE(run.err.find("slave 40"), std::string::npos) << run.err;
    EXPECT_EQ(Run({"i2c", "raw-write", "40", "--cmd", "01"}).rc, 1);
}

// Register writes as "RR=VV" and reads as "RR", in order: the mailbox's conversation.
std::vector<std::string> Conversation(const std::vector<Request>& requests) {
    std::vector<std::string> out;
    char text[16];
    for (const Request& r : requests) {
        if (r.bRequest == 0x90) std::snprintf(text, sizeof text, "%02X=%s", r.wIndex, r.data.c_str());
        else std::snprintf(text, sizeof text, "%02X", r.wIndex);
        out.push_back(text);
    }
    return out;
}

TEST_F(DiagCommandsTest, ParameterAndInformationCommandsSendWhatTheirPagesSend) {
    using Lines = std::vector<std::string>;
    struct Case {
        std::vector<std::string> args;
        Lines conversation;
    } cases[] = {
        {{"param", "read"}, {"00=00", "91=21", "92=00", "90=10", "90", "93", "94", "95", "96"}},
        {{"param", "set", "A1000000"},
         {"00=00", "93=A1", "94=00", "95=00", "96=00", "91=20", "92=00", "90=10", "90", "90=00"}},
        // The block is read (A1 .. 80 after the set above: the chip reports its EEPROM in
        // bit 7 of byte 3), only the MCLK bits change (0xA1 -> 0xB1), and it goes back.
        {{"param", "set", "--mclk", "1024"},
         {"00=00", "91=21", "92=00", "90=10", "90", "93", "94", "95", "96",
          "00=00", "93=B1", "94=00", "95=00", "96=80", "91=20", "92=00", "90=10", "90", "90=00"}},
        {{"param", "pid", "60"},
         {"00=00", "93=36", "94=30", "95=00", "96=00", "91=0A", "92=00", "90=10", "90", "90=00"}},
        {{"hid", "play"}, {"00=00", "91=10", "90=30", "90"}},
        {{"info"}, {"00=00", "A4", "A5", "A6"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--trace"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult run = Run(args);
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        EXPECT_EQ(run.rc, 0) << run.err;
        EXPECT_EQ(Conversation(VendorRequests(run.err)), c.conversation);
    }
    EXPECT_EQ(state.Value("pid"), "36 30 00 00");
    const ToolResult info = Run({"info"});
    EXPECT_EQ(info.out, "USB connected\nPlaying\nInput Format: PCM\nInput Freq:     48KHz\n");
    const ToolResult read = Run({"param", "read"});
    EXPECT_NE(read.out.find("option B1 00 00 80\nEEPROM Exist\n"), std::string::npos) << read.out;
    EXPECT_NE(read.out.find("\nmclk 1024\n"), std::string::npos) << read.out;
}

TEST_F(DiagCommandsTest, ChipWithoutEepromSaysSo) {
    state.Write(Bytes(1 << 20, 0xFF), "eeprom-present 0\n");
    const ToolResult run = Run({"param", "read"});
    EXPECT_EQ(run.rc, 0) << run.err;
    EXPECT_NE(run.out.find("\nEEPROM not Available\n"), std::string::npos) << run.out;
}

TEST_F(DiagCommandsTest, BadValuesAreUsageErrorsNamingTheArgument) {
    struct Case {
        std::vector<std::string> args;
        const char* names;
    } cases[] = {
        {{"reg", "read", "1FF"}, "REG"},
        {{"reg", "write", "10", "zz"}, "VALUE"},
        {{"reg", "bank", "0x"}, "N"},
        {{"i2c", "read", "120", "00"}, "SLAVE"},
        {{"i2c", "read", "20", "F0", "20"}, "COUNT"},
        {{"i2c", "write", "20", "00", "1", "100"}, "BYTE"},
        {{"i2c", "raw-write", "20", "--cmd", "01,,02"}, "--cmd"},
        {{"i2c", "raw-read", "20", "--cmd", "01", "--count", "0"}, "--count"},
        {{"param", "set", "A1"}, "HEX8"},
        {{"param", "set", "--i2s-length", "16"}, "--i2s-length"},
        {{"param", "set"}, "HEX8"},
        {{"param", "string", "4", "x"}, "N"},
        {{"hid", "louder"}, "KEY"},
    };
    for (const Case& c : cases) {
        const ToolResult run = Run(c.args);
        SCOPED_TRACE(run.err);
        EXPECT_EQ(run.rc, 2);
        EXPECT_NE(run.err.find(std::string("quorvel-isp: ") + c.names + ": "), std::string::npos);
    }
}

}  // namespace
