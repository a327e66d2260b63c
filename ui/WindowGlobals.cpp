#include "ui/WindowGlobals.h"

std::string gVid;
std::string gPid;
std::string gMatchString;
const std::string gVersionCaption = "Quorvel USB ISP Tool V1.00.200224";
std::string gModifyFileName;
std::string gSaveFileName;

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
