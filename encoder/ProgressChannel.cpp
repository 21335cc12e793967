#include "encoder/ProgressChannel.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace av {

const char* const kProgressFdVariable = "AV_PROGRESS_FD";

namespace {

// The descriptor named by the text: digits only, above the three standard ones, and open.
int DescriptorFrom(const char* text)
{
    if (!text || !*text)
        return -1;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9' || value > 1000000)
            return -1;
        value = value * 10 + (*c - '0');
    }
    const int fd = int(value);
    if (fd <= STDERR_FILENO || fcntl(fd, F_GETFD) < 0)
        return -1;
    return fd;
}

}  // namespace

ProgressChannel ProgressChannel::FromEnvironment()
{
    return ProgressChannel(DescriptorFrom(std::getenv(kProgressFdVariable)));
}

ProgressChannel::ProgressChannel(int fd) : fd_(fd)
{
    if (!fd_)
        return;
    fcntl(fd_.get(), F_SETFD, FD_CLOEXEC);
    // A reader that has gone (the window ended) must not end the export: writing then
    // fails with EPIPE instead of raising SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}

void ProgressChannel::SetTotal(std::int64_t samples)
{
    total_ = std::max<std::int64_t>(samples, 0);
}

void ProgressChannel::Advance(std::int64_t samples)
{
    done_ += samples;
    if (total_ <= 0)
        return;
    // 100 is kept for the written target.
    const int percent = int(std::min<std::int64_t>(done_ * 100 / total_, 99));
    if (percent > told_)
        Tell(percent);
}

void ProgressChannel::Finish()
{
    Tell(100);
}

void ProgressChannel::Tell(int percent)
{
    told_ = percent;
    if (!fd_)
        return;
    const std::string line = std::to_string(percent) + "\n";
    ssize_t written;
    while ((written = write(fd_.get(), line.data(), line.size())) < 0 && errno == EINTR) {
    }
    if (written < 0)
        fd_.Reset();   // the reader has gone: nothing more is told
}

}  // namespace av
