#include "encoder/MpegFileReader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace av {

MpegFileReader::MpegFileReader(const std::string& path, std::size_t chunkBytes) : chunkBytes_(chunkBytes)
{
    fd_.Reset(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (fd_ && fstat(fd_.get(), &info) == 0 && S_ISREG(info.st_mode))
        size_ = info.st_size;
}

const std::uint8_t* MpegFileReader::At(std::int64_t pos, std::int64_t want)
{
    if (pos < 0 || want < 0 || pos + want > size_)
        return nullptr;
    if (pos >= start_ && pos + want <= start_ + length_)
        return buffer_.data() + (pos - start_);
    // Never past the end of the file: the count of bytes read stays what was needed.
    const std::int64_t ask = std::min(size_ - pos, std::max(want, std::int64_t(chunkBytes_)));
    if (std::size_t(ask) > buffer_.size())
        buffer_.resize(std::size_t(ask));
    std::int64_t got = 0;
    while (got < ask) {
        ssize_t n = pread(fd_.get(), buffer_.data() + got, std::size_t(ask - got), off_t(pos + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ++reads_;
    bytesRead_ += got;
    start_ = pos;
    length_ = got;
    return got >= want ? buffer_.data() : nullptr;
}

}  // namespace av
