#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/MainLoopWakeUp.h"

namespace {

// Calls waiting for the main thread. The queue and each call's completion are guarded by
// one mutex, so everything a call reads or writes is handed between the threads by it;
// an event file descriptor only wakes the main thread's event loop, which also runs
// inside modal dialogs.
class MainThreadCalls {
public:
    MainThreadCalls() : wakeUp_([this] { RunWaitingCalls(); }) {}

    void Run(const std::function<void()>& function)
    {
        Call call{function};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back(&call);
        }
        MainLoopWakeUp::Signal(wakeUp_.handle());
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [&call] { return call.done; });
    }

private:
    struct Call {
        const std::function<void()>& function;
        bool done = false;
    };

    void RunWaitingCalls()
    {
        for (;;) {
            Call* call = nullptr;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (waiting_.empty())
                    return;
                call = waiting_.front();
                waiting_.pop_front();
            }
            call->function();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                call->done = true;
            }
            finished_.notify_all();
        }
    }

    MainLoopWakeUp wakeUp_;
    std::mutex mutex_;
    std::condition_variable finished_;
    std::deque<Call*> waiting_;
};

// Made on the main thread and kept until the process ends, so that a worker never
// reaches something that the window's destruction has freed.
std::atomic<MainThreadCalls*> calls{nullptr};

}  // namespace

void PrepareMainThreadCalls()
{
    if (!calls.load())
        calls.store(new MainThreadCalls);
}

void RunOnMainThread(const std::function<void()>& function)
{
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        function();
        return;
    }
    calls.load()->Run(function);
}
