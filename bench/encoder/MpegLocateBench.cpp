// Benchmark of finding an MP3 frame by its number, as the encoder tool does for a cut:
// the walk over every header from the first audio frame (FindMpegFrame) against the
// frame locator (LocateMpegFrame), at 00:00:20 and 00:55:00 of a 60-minute 128 kbit/s
// constant-rate MP3 (with the Info frame that LAME and FFmpeg write), and at 00:18:00 of
// a 20-minute variable-rate one, with the file in the page cache (warm) and dropped from
// it before each run (cold: posix_fadvise POSIX_FADV_DONTNEED). Medians of wall time,
// runs interleaved, and the bytes each read.
//
//   mpeg_locate_bench [work-folder [runs]]     (default /tmp/tallowick-locate-bench, 9 runs)
#include "bench/support/Programs.h"

#include "encoder/MpegFileReader.h"
#include "encoder/MpegFrameLocator.h"
#include "encoder/MpegFrames.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads the whole file, so that it is in the page cache.
void Warm(const std::string& path)
{
    av::MpegFileReader reader(path, 1 << 20);
    for (std::int64_t pos = 0; pos < reader.size(); pos += 1 << 20)
        reader.At(pos, 1);
}

// The first audio frame: after the ID3v2 tag and the Xing frame.
std::int64_t FirstAudioFrame(const std::string& path)
{
    av::MpegFileReader reader(path, 4096);
    std::int64_t pos = 0;
    while (const std::uint8_t* tag = reader.At(pos, 10)) {
        if (tag[0] != 'I' || tag[1] != 'D' || tag[2] != '3')
            break;
        pos += 10 + ((std::int64_t(tag[6]) << 21) | (tag[7] << 14) | (tag[8] << 7) | tag[9]) + ((tag[5] & 0x10) ? 10 : 0);
    }
    const std::uint8_t* bytes = reader.At(pos, 4);
    auto header = bytes ? av::ParseMpegFrameHeader(bytes) : std::nullopt;
    if (!header)
        return -1;
    return av::ReadLameTag(path, pos + header->frameBytes) ? pos + header->frameBytes : pos;
}

struct Timed {
    double seconds = 0;
    av::MpegFrameSearch search;
    std::int64_t bytes = 0;
    av::MpegLocateMethod method = av::MpegLocateMethod::None;
};

Timed Walk(const std::string& path, std::int64_t first, std::int64_t frame)
{
    Timed t;
    const auto start = std::chrono::steady_clock::now();
    av::MpegFileReader reader(path, 256 * 1024);
    t.search = av::FindMpegFrame(reader, first, frame);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.bytes = reader.bytesRead();
    t.method = av::MpegLocateMethod::Walk;
    return t;
}

Timed Locate(const std::string& path, std::int64_t first, std::int64_t frame)
{
    Timed t;
    av::MpegLocateReport report;
    const auto start = std::chrono::steady_clock::now();
    t.search = av::LocateMpegFrame(path, first, frame, &report);
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.bytes = report.bytesRead;
    t.method = report.method;
    return t;
}

const char* MethodName(av::MpegLocateMethod method)
{
    switch (method) {
    case av::MpegLocateMethod::Walk:
        return "walk";
    case av::MpegLocateMethod::ConstantRate:
        return "constant rate";
    case av::MpegLocateMethod::FromTheEnd:
        return "from the end";
    case av::MpegLocateMethod::None:
        break;
    }
    return "none";
}

struct Point {
    const char* file;
    const char* time;
    int seconds;
};

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "/tmp/tallowick-locate-bench";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    mkdir(folder.c_str(), 0755);
    const std::string hour = folder + "/hour-128k.mp3";
    const std::string minute = folder + "/minute-vbr.mp3";
    const std::string twenty = folder + "/twenty-minutes-vbr.mp3";
    if (!bench::Exists(hour) && bench::RunProgram({"ffmpeg", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=3600", "-ac", "2",
                              "-c:a", "libmp3lame", "-b:a", "128k", hour}) != 0) {
        std::fprintf(stderr, "cannot make %s with ffmpeg\n", hour.c_str());
        return 1;
    }
    if (!bench::Exists(twenty) &&
        (bench::RunProgram({"ffmpeg", "-y", "-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.5:d=60", "-af",
              "volume='0.05+0.95*abs(sin(t))':eval=frame", "-ac", "2", "-c:a", "libmp3lame", "-q:a", "4", minute}) != 0 ||
         bench::RunProgram({"ffmpeg", "-y", "-stream_loop", "19", "-i", minute, "-c", "copy", twenty}) != 0)) {
        std::fprintf(stderr, "cannot make %s with ffmpeg\n", twenty.c_str());
        return 1;
    }

    const std::vector<Point> points = {{"hour-128k.mp3", "00:00:20", 20},
                                       {"hour-128k.mp3", "00:55:00", 55 * 60},
                                       {"twenty-minutes-vbr.mp3", "00:18:00", 18 * 60}};
    std::printf("%-24s %-9s %-5s %12s %12s %10s %12s %12s  %s\n", "file", "frame at", "cache", "walk ms", "locate ms",
                "ratio", "walk bytes", "locate bytes", "locator");
    for (const Point& point : points) {
        const std::string path = folder + "/" + point.file;
        const std::int64_t first = FirstAudioFrame(path);
        const std::int64_t frame = std::int64_t(point.seconds) * 44100 / 1152;
        for (const bool cold : {false, true}) {
            std::vector<double> walkTimes, locateTimes;
            Timed walk, locate;
            if (!cold)
                Warm(path);
            for (int run = 0; run < runs; ++run) {
                if (cold && !bench::DropFromPageCache(path)) {
                    std::fprintf(stderr, "cannot drop %s from the page cache\n", path.c_str());
                    return 1;
                }
                walk = Walk(path, first, frame);
                if (cold)
                    bench::DropFromPageCache(path);
                locate = Locate(path, first, frame);
                walkTimes.push_back(walk.seconds);
                locateTimes.push_back(locate.seconds);
                if (locate.search.result != walk.search.result || locate.search.position != walk.search.position) {
                    std::fprintf(stderr, "the locator and the walk disagree at %s of %s\n", point.time, point.file);
                    return 1;
                }
            }
            const double w = bench::Median(walkTimes) * 1000, l = bench::Median(locateTimes) * 1000;
            std::printf("%-24s %-9s %-5s %12.3f %12.3f %10.4f %12lld %12lld  %s\n", point.file, point.time,
                        cold ? "cold" : "warm", w, l, l / w, static_cast<long long>(walk.bytes),
                        static_cast<long long>(locate.bytes), MethodName(locate.method));
        }
    }
    return 0;
}
