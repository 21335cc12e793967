#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QObject>
#include <atomic>

namespace {

// The receiver of the calls lives on the main thread until the process ends, so a
// worker never posts to an object that the window's destruction has freed.
std::atomic<QObject*> receiver{nullptr};

}  // namespace

void PrepareMainThreadCalls()
{
    if (!receiver.load())
        receiver.store(new QObject);
}

void RunOnMainThread(const std::function<void()>& function)
{
    QMetaObject::invokeMethod(receiver.load(), function, Qt::BlockingQueuedConnection);
}
