#pragma once
// Removing one file when a signal ends the program: a temporary file that has a name
// must not outlive a run that is stopped midway.
#include <signal.h>
#include <string>

namespace base {

// From now on, a signal whose default action ends the program (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
// SIGIO, SIGPWR, SIGABRT) first removes the file at path and then ends the program as
// it would have. Signals that the program ignores or handles itself are left alone.
// One file at a time: a later call replaces the path.
void RemoveOnSignal(const std::string& path);

// Leaves the file in place again and gives the signals back their earlier handling.
void KeepOnSignal();

// Holds back the signals above while it lives, so that a file can be created and
// registered for removal with no moment between the two in which a signal would leave
// it behind. Held signals arrive when it goes away.
class EndingSignalsHeld {
public:
    EndingSignalsHeld();
    ~EndingSignalsHeld();
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t earlier_;
};

}  // namespace base
