// Locates frames of arbitrary bytes with no walk budget, so that every jump is tried, and
// checks the answers against the walk over every header: a Found of both must be the same
// frame when the walk starts at a real first frame of a file whose Xing frame is the
// encoder's. The file lives in memory (memfd), reached by its /proc/self/fd path.
//
// Input: two bytes of frame number (high byte first), then the file.
#include "encoder/MpegFrameLocator.h"
#include "encoder/MpegFrames.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "mpeg_frame_locator_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    static const int fd = memfd_create("mpeg_frame_locator_fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    const std::int64_t frame = (std::int64_t(data[0]) << 8) | data[1];
    data += 2;
    size -= 2;
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;

    // The first audio frame: after ID3v2 tags and a frame, as the demuxer places it when
    // that frame is a Xing frame.
    std::size_t pos = 0;
    while (pos + 10 <= size && data[pos] == 'I' && data[pos + 1] == 'D' && data[pos + 2] == '3')
        pos += 10 + ((std::size_t(data[pos + 6] & 0x7F) << 21) | (std::size_t(data[pos + 7] & 0x7F) << 14) |
                     (std::size_t(data[pos + 8] & 0x7F) << 7) | (data[pos + 9] & 0x7F));
    if (pos + 4 > size)
        return 0;
    auto header = av::ParseMpegFrameHeader(data + pos);
    const std::int64_t first = std::int64_t(pos) + (header ? header->frameBytes : 0);

    av::MpegLocateOptions jump;
    jump.walkBytes = 0;
    av::MpegLocateReport report;
    const av::MpegFrameSearch located = av::LocateMpegFrame(path, first, frame, &report, jump);
    Check(report.bytesRead <= std::int64_t(size) * 3 + 65536, "bytes read");
    const av::MpegFrameSearch walked = av::FindMpegFrame(path, first, frame);
    if (report.method == av::MpegLocateMethod::Walk) {
        Check(located.result == walked.result && located.position == walked.position, "walk");
    }
    if (located.result == av::MpegFrameSearch::Found)
        Check(located.position >= first && located.position + 4 <= std::int64_t(size), "position in the file");
    return 0;
}
