#include "encoder/FileWindow.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace av {

FileWindow::FileWindow(int fd, std::int64_t size) : fd_(fd), size_(size), buffer_(kReadAhead) {}

const std::uint8_t* FileWindow::At(std::int64_t pos, std::int64_t want)
{
    if (pos < 0 || want < 0 || pos > size_ || want > size_ - pos)
        return nullptr;
    if (pos >= start_ && pos + want <= start_ + length_)
        return buffer_.data() + (pos - start_);
    if (std::size_t(want) > buffer_.size())
        buffer_.resize(std::size_t(want));
    const std::size_t wanted = std::size_t(std::min<std::int64_t>(std::int64_t(buffer_.size()), size_ - pos));
    std::size_t got = 0;
    while (got < wanted) {
        const ssize_t n = pread(fd_, buffer_.data() + got, wanted - got, off_t(pos + std::int64_t(got)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    start_ = pos;
    length_ = std::int64_t(got);
    return length_ >= want ? buffer_.data() : nullptr;
}

}  // namespace av
