#pragma once
// One command on every matching device at once: each device is served by a child process
// of this tool (`--device PATH --json`), so a fault of one device or of its run stays in
// its own process. The parent shows the progress, passes stop signals on and sums up.

#include <functional>
#include <string>
#include <vector>

#include "cli/AllDevicesScreen.h"
#include "cli/CliSession.h"

struct AllDevicesJob {
    // Options given to every child before its --device (simulator, VID/PID, trace).
    std::vector<std::string> globalArguments;
    // The command's own arguments for one device, the command's name first.
    std::function<std::vector<std::string>(const DeviceRun&)> commandArguments;
    // How many children run at once; 0 for all.
    unsigned jobs = 0;
    bool terminal = false;
};

// Searches once, runs the children and waits for all of them. Returns 0 when every device
// succeeded, 1 when a device failed or none was found. Stop signals are passed on to the
// running children (which protect the flash and leave ISP mode) and no further child is
// started; a second signal is passed on too.
int AllDevicesCommand(CliSession& session, const AllDevicesJob& job);
