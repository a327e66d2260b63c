#include "cli/StopSignals.h"

#include <unistd.h>

#include <csignal>

#include "isp/IspState.h"

namespace {

volatile std::sig_atomic_t gFirstSignal = 0;

void OnStopSignal(int signal) {
    if (gFirstSignal != 0) {
        // Only async-signal-safe calls from here on.
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
