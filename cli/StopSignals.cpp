#include "cli/StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

#include "isp/IspState.h"

namespace {

volatile std::sig_atomic_t gFirstSignal = 0;
volatile std::sig_atomic_t gLatestSignal = 0;
volatile std::sig_atomic_t gSignalCount = 0;
volatile std::sig_atomic_t gCountOnly = 0;
int gWakeRead = -1;
int gWakeWrite = -1;

void OnStopSignal(int signal) {
    // Only async-signal-safe calls in here. The handlers mask each other, so the counter
    // is never updated twice at once.
    gSignalCount = gSignalCount + 1;
    gLatestSignal = signal;
    if (gWakeWrite >= 0) {
        const ssize_t ignored = ::write(gWakeWrite, "!", 1);  // a full pipe is already readable
        (void)ignored;
    }
    if (gFirstSignal != 0) {
        if (gCountOnly) return;
        static const char kWarning[] =
            "quorvel-isp: interrupted again: stopping at once; the chip may be left "
            "unprotected and in ISP mode\n";
        const ssize_t ignored = ::write(STDERR_FILENO, kWarning, sizeof kWarning - 1);
        (void)ignored;
        ::_exit(128 + signal);
    }
    gFirstSignal = signal;
    gStopRequest = true;
}

}  // namespace

static_assert(std::atomic<bool>::is_always_lock_free, "gStopRequest must be safe to set from a signal");

void InstallStopSignals() {
    int wake[2];
    if (gWakeRead < 0 && ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
        gWakeRead = wake[0];
        gWakeWrite = wake[1];
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // The handlers never interrupt each other, so of two signals one is always the second.
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    // Restarted system calls: a request in flight is finished, not cut short.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int ReceivedStopSignal() { return gFirstSignal; }

void CountFurtherStopSignals() { gCountOnly = 1; }

int StopSignalCount() { return gSignalCount; }

int LatestStopSignal() { return gLatestSignal; }

int StopSignalWakeFd() { return gWakeRead; }
