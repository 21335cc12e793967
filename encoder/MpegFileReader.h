#pragma once
// Reading an MP3 file for the frame walk and the frame locator: one buffer refilled by
// pread, and a count of the bytes that came from the file, so that a test or a benchmark
// can tell how much of the file finding a frame cost.
#include "base/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace av {

class MpegFileReader {
public:
    // chunkBytes is how much one read asks for at least: large for a walk over the
    // file (the reads are sequential, and the headers are then picked from memory
    // that the processor's caches already hold; a memory mapping makes each header a
    // separate cache and TLB miss, several times slower), small for a jump that needs
    // a few frames only.
    MpegFileReader(const std::string& path, std::size_t chunkBytes);

    std::int64_t size() const { return size_; }
    bool isOpen() const { return size_ > 0; }

    // The bytes [pos, pos + want), or nullptr when the file cannot give all of them.
    // The pointer stays valid until the next call.
    const std::uint8_t* At(std::int64_t pos, std::int64_t want);

    void SetChunkBytes(std::size_t chunkBytes) { chunkBytes_ = chunkBytes; }
    std::int64_t bytesRead() const { return bytesRead_; }
    int reads() const { return reads_; }

private:
    base::UniqueFd fd_;
    std::int64_t size_ = 0;
    std::size_t chunkBytes_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = -1;
    std::int64_t length_ = 0;
    std::int64_t bytesRead_ = 0;
    int reads_ = 0;
};

}  // namespace av
