#pragma once
// Interrupts of the command-line tool. SIGINT, SIGTERM and SIGHUP raise gStopRequest: the
// running operation finishes the request in flight, skips the remaining work, still
// protects the flash and leaves ISP mode, and the tool then exits with 128 + the signal
// number. A second signal during that clean-up ends the process at once, after a warning
// that the chip may be left unprotected. SIGPIPE is ignored, so output that cannot be
// written (a reader that went away) never stops a run.

// Installs the handlers; once per process, before any device work.
void InstallStopSignals();
// The first stop signal received, 0 while none was.
int ReceivedStopSignal();

// For a run whose child processes do the device work and the clean-up: a further signal
// no longer ends this process, it is only counted, so that the run can pass it on to the
// children (which then stop at once themselves).
void CountFurtherStopSignals();
// How many stop signals arrived, and the latest of them.
int StopSignalCount();
int LatestStopSignal();
// A descriptor that turns readable whenever a stop signal arrives, for a poll loop; -1
// before InstallStopSignals.
int StopSignalWakeFd();
