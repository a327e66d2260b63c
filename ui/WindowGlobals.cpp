#include "ui/WindowGlobals.h"

std::string gVid;
std::string gPid;
std::string gMatchString;
const std::string gVersionCaption = "Quorvel USB ISP Tool V1.00.200224";
std::string gModifyFileName;
std::string gSaveFileName;

const std::array<std::string, 2> gConnectText = {"USB connected", "USB Disconnected"};
const std::array<std::string, 2> gPlayText = {"Playing", "Mute"};
const std::array<std::string, 2> gFormatText = {"PCM", "DSD"};

// Entries 0 to 15 name PCM rates, 16 to 31 DSD rates; every text is eight characters.
const std::array<std::string, 32> gRateNames = {
    " 44.1KHz", "   48KHz", " 88.2KHz", "   96KHz", "176.4KHz", "  192KHz", "352.8KHz",
    "  384KHz", "705.6KHz", "  768KHz", "        ", "        ", "        ", "        ",
    "        ", "        ", " DoP  64", " DoP 128", " DoP 256", " DoP 512", "        ",
    "        ", "        ", "        ", " DSD  64", " DSD 128", " DSD 256", " DSD 512",
    "        ", "        ", "        ", "        "};

uint8_t gDetectEnabled = 0;
uint8_t gIspBusy = 0;
uint8_t gUpdateDeviceToggle = 0;
bool gIspMode = false;

std::array<uint8_t, 4> gSysPara = {};

void ResetWindowGlobals() {
    gVid.clear();
    gPid.clear();
    gMatchString.clear();
    gModifyFileName.clear();
    gSaveFileName.clear();
    gDetectEnabled = 0;
    gIspBusy = 0;
    gUpdateDeviceToggle = 0;
    gIspMode = false;
    gSysPara = {};
}
