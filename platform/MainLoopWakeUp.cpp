#include "platform/MainLoopWakeUp.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

MainLoopWakeUp::MainLoopWakeUp(std::function<void()> onWake)
    : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), onWake_(std::move(onWake))
{
    if (!fd_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_.get(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        std::uint64_t count = 0;
        while (read(fd_.get(), &count, sizeof count) < 0 && errno == EINTR) {
        }
        onWake_();
    });
}

void MainLoopWakeUp::Signal(int handle)
{
    const std::uint64_t one = 1;
    while (write(handle, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void MainLoopWakeUp::Stop()
{
    if (notifier_)
        notifier_->setEnabled(false);
}
