// The command-line tool on the system's USB stack (libusb over the emulated bus): the
// refusal to guess between several devices, the choice with --device, and the message for
// a device that may not be opened.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "LibusbChipFixture.h"
#include "cli/CliApp.h"

namespace {

class LibusbCli : public LibusbChipTest {
protected:
    int Run(std::vector<const char*> args) {
        args.insert(args.begin(), "quorvel-isp");
        out.str("");
        err.str("");
        return RunCli(static_cast<int>(args.size()), args.data(), out, err, false);
    }
    std::ostringstream out, err;
};

const char kFirstPath[] = "\\\\?\\usb#vid_7c3d&pid_6012#1-2.3#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}";
const char kSecondPath[] = "\\\\?\\usb#vid_7c3d&pid_6012#1-2.4#{7a31c2e8-5b94-4d07-a6f3-1e82c950b47d}";

TEST_F(LibusbCli, SeveralDevicesAreListedNotGuessed) {
    SimulatedChip second(clock);
    EmulatedUsbDevice& other = bed.Add(SpecOf(second, "1-2.4", 6));
    other.SetResponder(ServeFrom(second));

    EXPECT_EQ(Run({"detect"}), kExitOk);
    EXPECT_NE(out.str().find(kFirstPath), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(kSecondPath), std::string::npos) << out.str();

    EXPECT_EQ(Run({"chip-id"}), kExitFailed);
    EXPECT_NE(err.str().find("2 devices match"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find(kFirstPath), std::string::npos);
    EXPECT_NE(err.str().find(kSecondPath), std::string::npos);
    EXPECT_TRUE(device->Requests().empty());
    EXPECT_TRUE(other.Requests().empty());

    EXPECT_EQ(Run({"--device", kSecondPath, "chip-id"}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "0xC2,  0x20,  0x14,  \n");
    EXPECT_TRUE(device->Requests().empty()) << "only the chosen device is spoken to";
    EXPECT_FALSE(other.Requests().empty());
}

// The command-line tool on the system's USB stack names the rules file when the device is
// present but may not be opened.
TEST_F(LibusbCli, ExplainsARefusedOpen) {
    bed.DenyAccess(*device);
    WithoutPermissionOverride asUser;
    if (!asUser.Active()) GTEST_SKIP() << "cannot drop the permission override capability";

    EXPECT_EQ(Run({"chip-id"}), kExitFailed);
    EXPECT_NE(err.str().find("cannot open \\\\?\\usb#vid_7c3d&pid_6012#"), std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("70-quorvel-isp.rules"), std::string::npos) << err.str();
    EXPECT_TRUE(device->Requests().empty());
}

// The engineering commands reach the chip over the bus, one family each.
TEST_F(LibusbCli, EngineeringCommandsOverTheBus) {
    EXPECT_EQ(Run({"reg", "write", "2a", "5c"}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "2A = 5C\n");
    EXPECT_EQ(chip->Register(0, 0x2A), 0x5C);

    chip->SetI2cSlaveRegister(0x20, 0x05, 0x3C);
    EXPECT_EQ(Run({"i2c", "read", "20", "05"}), kExitOk) << err.str();
    EXPECT_EQ(out.str(), "05 = 3C\n");

    EXPECT_EQ(Run({"param", "set", "--mclk", "512"}), kExitOk) << err.str();
    EXPECT_EQ(chip->Eeprom().option[0], 0x20);

    chip->SetAudioStatus(0x04, 0, 0x01);
    EXPECT_EQ(Run({"info"}), kExitOk) << err.str();
    EXPECT_NE(out.str().find("176.4KHz"), std::string::npos) << out.str();
    EXPECT_EQ(Run({"hid", "vol-up"}), kExitOk) << err.str();
    EXPECT_EQ(chip->HidKeys(), std::vector<uint8_t>{0x01});
}

}  // namespace
