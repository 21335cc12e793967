#include "base/RemoveOnSignal.h"

#include <csignal>
#include <cstring>
#include <limits.h>
#include <unistd.h>

namespace base {

namespace {

constexpr int kEndingSignals[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2,
                                  SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGABRT};

// Read by the handler, so a plain character array filled before the flag is set.
char gPath[PATH_MAX + 1];
volatile std::sig_atomic_t gArmed = 0;
bool gInstalled[NSIG] = {};

sigset_t EndingSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : kEndingSignals)
        sigaddset(&set, signalNumber);
    return set;
}

extern "C" void RemoveAndEnd(int signalNumber)
{
    if (gArmed)
        unlink(gPath);
    std::signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

}  // namespace

void RemoveOnSignal(const std::string& path)
{
    if (path.size() > PATH_MAX)
        return;
    gArmed = 0;
    std::memcpy(gPath, path.c_str(), path.size() + 1);
    gArmed = 1;
    for (int signalNumber : kEndingSignals) {
        if (gInstalled[signalNumber])
            continue;
        struct sigaction earlier;
        if (sigaction(signalNumber, nullptr, &earlier) != 0 || earlier.sa_handler != SIG_DFL ||
            (earlier.sa_flags & SA_SIGINFO))
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        // Every ending signal waits while the handler runs, so that two cannot race
        // over the file.
        action.sa_mask = EndingSignals();
        if (sigaction(signalNumber, &action, nullptr) == 0)
            gInstalled[signalNumber] = true;
    }
}

void KeepOnSignal()
{
    gArmed = 0;
    for (int signalNumber : kEndingSignals) {
        if (gInstalled[signalNumber]) {
            std::signal(signalNumber, SIG_DFL);
            gInstalled[signalNumber] = false;
        }
    }
}

EndingSignalsHeld::EndingSignalsHeld()
{
    const sigset_t held = EndingSignals();
    pthread_sigmask(SIG_BLOCK, &held, &earlier_);
}

EndingSignalsHeld::~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &earlier_, nullptr); }

}  // namespace base
