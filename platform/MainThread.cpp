#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Calls waiting for the main thread. The queue and each call's completion are guarded by
// one mutex, so everything a call reads or writes is handed between the threads by it;
// an event file descriptor only wakes the main thread's event loop, which also runs
// inside modal dialogs.
class MainThreadCalls {
public:
    MainThreadCalls() : wakeUp_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
        notifier_ = new QSocketNotifier(wakeUp_, QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { RunWaitingCalls(); });
    }

    void Run(const std::function<void()>& function)
    {
        Call call{function};
        {
            std::lock_guard<std::mutex> lock(mutex_);
            waiting_.push_back(&call);
        }
        const std::uint64_t one = 1;
        while (write(wakeUp_, &one, sizeof one) < 0 && errno == EINTR) {
        }
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
        std::uint64_t count = 0;
        while (read(wakeUp_, &count, sizeof count) < 0 && errno == EINTR) {
        }
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

    int wakeUp_;
    QSocketNotifier* notifier_;
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
