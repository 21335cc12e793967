#pragma once
// Wakes the main thread's event loop from another thread: the other thread signals
// through a descriptor, and the main loop (also inside a modal dialog) drains it and
// runs the handler. Whatever the threads hand over is guarded by the caller's own lock;
// the descriptor only wakes. Made, used and destroyed on the main thread.
#include <QSocketNotifier>
#include <functional>
#include <memory>

#include "base/UniqueFd.h"

class MainLoopWakeUp {
public:
    explicit MainLoopWakeUp(std::function<void()> onWake);
    MainLoopWakeUp(const MainLoopWakeUp&) = delete;
    MainLoopWakeUp& operator=(const MainLoopWakeUp&) = delete;

    // False when no descriptor could be made; the handler then never runs.
    bool valid() const { return fd_.valid(); }
    // What the other thread signals through; stays open while this object lives.
    int handle() const { return fd_.get(); }
    // From any thread.
    static void Signal(int handle);
    // The handler runs no more, even for a signal already given.
    void Stop();

private:
    base::UniqueFd fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onWake_;
};
