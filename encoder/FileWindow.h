#pragma once
// Reads a file through an open descriptor and one buffer, without moving the descriptor's
// own offset: At(pos, n) gives n bytes at pos, read ahead in large sequential reads, so
// that stepping through a stream frame by frame costs few system calls.
#include <cstdint>
#include <vector>

namespace av {

class FileWindow {
public:
    FileWindow(int fd, std::int64_t size);

    std::int64_t size() const { return size_; }
    // The bytes [pos, pos + want), or nullptr when the file cannot give all of them.
    // Valid until the next call.
    const std::uint8_t* At(std::int64_t pos, std::int64_t want);

private:
    static constexpr std::size_t kReadAhead = 256 * 1024;
    int fd_;
    std::int64_t size_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = -1;
    std::int64_t length_ = 0;
};

}  // namespace av
