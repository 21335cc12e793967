// Benchmark of the encoder tool av on the ringtones for phones of today.
//
// Cuts a 30-second M4R and a 30-second Ogg ringtone at 00:05:00 out of a 10-minute
// 128 kbit/s MP3 with the export's command lines, and does the same work with the
// system's ffmpeg seeking in the input (-ss before -i, its fastest way there). Every
// command runs `runs` times, interleaved; the medians and their ratios are printed
// against the goal av <= 0.6 x ffmpeg.
//
//   ringtone_bench [work-folder [runs]]     (default /tmp/tallowick-ringtone-bench, 7 runs)
#include "bench/support/Programs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

double TimedRun(const std::vector<std::string>& argv)
{
    const auto start = std::chrono::steady_clock::now();
    if (bench::RunProgram(argv) != 0) {
        std::fprintf(stderr, "failed: %s\n", argv[0].c_str());
        return -1;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : "/tmp/tallowick-ringtone-bench";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    mkdir(folder.c_str(), 0755);
    const std::string source = folder + "/ten-minutes.mp3";
    if (!bench::Exists(source) &&
        bench::RunProgram({"ffmpeg", "-y", "-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.2:d=600,aformat=channel_layouts=stereo",
             "-ar", "44100", "-c:a", "libmp3lame", "-b:a", "128k", source}) != 0) {
        std::fprintf(stderr, "cannot make %s with ffmpeg\n", source.c_str());
        return 1;
    }
    struct Kind {
        const char* name;
        std::vector<std::string> av;
        std::vector<std::string> ffmpeg;
    };
    const std::vector<Kind> kinds = {
        {"M4R",
         {AV_TOOL_PATH, "-i", source, "-ss", "00:05:00", "-t", "00:00:30", "-f", "ipod", "-acodec", "aac", "-ab", "128",
          "-ac", "2", "-ar", "44100", folder + "/av.m4r"},
         {"ffmpeg", "-y", "-threads", "1", "-ss", "00:05:00", "-i", source, "-t", "00:00:30", "-vn", "-f", "ipod",
          "-c:a", "aac", "-b:a", "128k", "-ac", "2", "-ar", "44100", folder + "/ffmpeg.m4r"}},
        {"Ogg",
         {AV_TOOL_PATH, "-i", source, "-ss", "00:05:00", "-t", "00:00:30", "-f", "ogg", "-acodec", "libvorbis", "-ab",
          "128", "-ac", "2", "-ar", "44100", folder + "/av.ogg"},
         {"ffmpeg", "-y", "-threads", "1", "-ss", "00:05:00", "-i", source, "-t", "00:00:30", "-vn", "-f", "ogg",
          "-c:a", "libvorbis", "-b:a", "128k", "-ac", "2", "-ar", "44100", folder + "/ffmpeg.ogg"}},
    };
    int missed = 0;
    for (const Kind& kind : kinds) {
        std::vector<double> avTimes, ffmpegTimes;
        for (int i = 0; i < runs; ++i) {
            avTimes.push_back(TimedRun(kind.av));
            ffmpegTimes.push_back(TimedRun(kind.ffmpeg));
        }
        const double a = bench::Median(avTimes), f = bench::Median(ffmpegTimes);
        const double ratio = a / f;
        std::printf("%s 30 s at 00:05:00: av %.3f s, ffmpeg -ss before -i %.3f s, ratio %.2f (goal <= 0.60) %s\n",
                    kind.name, a, f, ratio, ratio <= 0.6 ? "met" : "MISSED");
        missed += ratio > 0.6;
    }
    return missed ? 2 : 0;
}
