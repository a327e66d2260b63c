#include <io.h>
#include <windows.h>

#include <csignal>
#include <cstdlib>

#include "cli/StopSignals.h"
#include "isp/IspState.h"

// Windows has no SIGTERM or SIGHUP from outside and no SIGPIPE; a console's Ctrl+C and
// Ctrl+Break arrive as control events on a thread of their own. Ctrl+C counts as SIGINT,
// Ctrl+Break as SIGTERM, so the exit codes match those of the POSIX build.

namespace {

volatile std::sig_atomic_t gFirstSignal = 0;
volatile std::sig_atomic_t gLatestSignal = 0;
volatile std::sig_atomic_t gSignalCount = 0;
volatile std::sig_atomic_t gCountOnly = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    int signal = 0;
    if (event == CTRL_C_EVENT)
        signal = SIGINT;
    else if (event == CTRL_BREAK_EVENT)
        signal = SIGTERM;
    else
        return FALSE;  // closing the console or logging off: the system's default
    // Each event runs on a thread the system starts for it. The count is read only by
    // --all runs, which the Windows build does not have.
    gSignalCount = gSignalCount + 1;
    gLatestSignal = signal;
    if (gFirstSignal != 0) {
        if (gCountOnly) return TRUE;
        static const char kWarning[] =
            "quorvel-isp: interrupted again: stopping at once; the chip may be left "
            "unprotected and in ISP mode\n";
        ::_write(2, kWarning, sizeof kWarning - 1);
        std::_Exit(128 + signal);
    }
    gFirstSignal = signal;
    gStopRequest = true;
    return TRUE;
}

}  // namespace

void InstallStopSignals() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

int ReceivedStopSignal() { return gFirstSignal; }

void CountFurtherStopSignals() { gCountOnly = 1; }

int StopSignalCount() { return gSignalCount; }

int LatestStopSignal() { return gLatestSignal; }

// No descriptor turns readable on a console event; nothing here polls one (--all, which
// would, is not in the Windows build).
int StopSignalWakeFd() { return -1; }
