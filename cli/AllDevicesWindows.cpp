#include "cli/AllDevices.h"
#include "cli/CliApp.h"

// The Windows build has no child processes for --all yet (their start, pipes and stop
// signals are POSIX, cli/ChildProcess.cpp): the run is refused before any device is
// touched, and says why.
int AllDevicesCommand(CliSession& session, const AllDevicesJob&) {
    session.err << "quorvel-isp: --all is not available in the Windows build; run the command "
                   "once per device with --device PATH\n";
    return kExitUsage;
}
