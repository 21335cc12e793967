#pragma once
// Synchronous calls from a worker thread to the main thread.
//
// Qt's blocking queued call would do the same, but it hands the call and its completion
// over inside Qt's own libraries, whose locking ThreadSanitizer cannot see, so every text
// a call touches would be reported as a race. Here one mutex of ours guards the queue and
// each call's completion, and an event descriptor only wakes the main loop.
#include <functional>

// Prepares the calls; must run once on the main thread before any worker uses them.
void PrepareMainThreadCalls();

// Runs the function on the main thread, from its event loop (also while a modal dialog
// is open), and waits until it has run. If the main loop has ended for good, the call
// never returns; the worker then simply ends with the process.
void RunOnMainThread(const std::function<void()>& function);
