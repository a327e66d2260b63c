#pragma once
// The window's process-wide texts, tables and flags. They are plain globals, constructed
// before the window and destroyed after it, in the order declared here.

#include <array>
#include <cstdint>
#include <string>

extern std::string gVid;             // VID text that detection uses; saved as "UsbVIDSet"
extern std::string gPid;             // PID text that detection uses; saved as "UsbPIDSet"
extern std::string gMatchString;     // "vid_" + gVid + "&pid_" + gPid, the normal device
extern const std::string gVersionCaption;
extern std::string gModifyFileName;  // firmware file of the Gen. Bin File page
extern std::string gSaveFileName;    // output file of the Gen. Bin File page

// The Information page's texts (gConnectText, gPlayText, gFormatText, gRateNames) live
// with the status decoding that the command line shares.
#include "diag/PlayStatus.h"

// Window flags, 0 at process start.
extern uint8_t gDetectEnabled;       // the detection cycle runs
extern uint8_t gIspBusy;             // the Auto run is in its handler; detection pauses
extern uint8_t gUpdateDeviceToggle;  // 1: update device 7C3D was tried last; 0: 0B7E
extern bool gIspMode;                // the Enter ISP button put the chip into ISP mode

// The chip's four-byte option block, shown on the Parameter page.
extern std::array<uint8_t, 4> gSysPara;

// Back to the values at process start (tests).
void ResetWindowGlobals();
