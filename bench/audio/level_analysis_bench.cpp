// The strip levels of a 60-minute 128 kbit/s MP3 against decoding the same file with
// `ffmpeg -threads 1 -i FILE -f null -`, in the same run (goal: at most half its time).
//
//   level_analysis_bench [FILE]
//
// Without FILE, a 60-minute stereo MP3 is made in a scratch folder (a minute of pink noise
// whose loudness swells and fades, encoded by LAME at 128 kbit/s, repeated 60 times) and
// removed at the end. Each side runs three times; the best wall time of each is compared,
// and CPU times are printed beside them.
#include "audio/ColumnLevels.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 3;
constexpr int kColumnsPerSecond = 5;

struct Times {
    double wall = 1e30;
    double cpu = 1e30;
};

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

double ChildrenCpu()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double SelfCpu()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

Times TimeFfmpeg(const std::string& file)
{
    Times best;
    for (int run = 0; run < kRuns; ++run) {
        const double cpuBefore = ChildrenCpu();
        const auto start = std::chrono::steady_clock::now();
        if (!Run("ffmpeg -hide_banner -loglevel error -threads 1 -i " + Quoted(file) + " -f null -")) {
            std::fprintf(stderr, "ffmpeg failed\n");
            std::exit(1);
        }
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        best.wall = std::min(best.wall, wall.count());
        best.cpu = std::min(best.cpu, ChildrenCpu() - cpuBefore);
    }
    return best;
}

Times TimeLevels(const std::string& file, std::size_t& columns)
{
    Times best;
    for (int run = 0; run < kRuns; ++run) {
        columns = 0;
        const double cpuBefore = SelfCpu();
        const auto start = std::chrono::steady_clock::now();
        ColumnLevels levels(file, kColumnsPerSecond);
        const auto outcome = levels.Run([&columns](const ColumnLevels::Level*, std::size_t count) { columns += count; });
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
        if (outcome != ColumnLevels::Outcome::Complete) {
            std::fprintf(stderr, "the level analysis failed\n");
            std::exit(1);
        }
        best.wall = std::min(best.wall, wall.count());
        best.cpu = std::min(best.cpu, SelfCpu() - cpuBefore);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string file;
    std::filesystem::path folder;
    if (argc > 1) {
        file = argv[1];
    } else {
        folder = std::filesystem::temp_directory_path() / ("tallowick-levels-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        const std::string minute = (folder / "minute.mp3").string();
        file = (folder / "hour.mp3").string();
        std::printf("making a 60-minute 128 kbit/s MP3 ...\n");
        if (!Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i "
                 "'anoisesrc=color=pink:amplitude=0.5:duration=60:sample_rate=44100' "
                 "-af \"volume='0.55+0.45*sin(t/3)':eval=frame\" -ac 2 -c:a libmp3lame -b:a 128k " +
                 Quoted(minute)) ||
            !Run("ffmpeg -hide_banner -loglevel error -y -stream_loop 59 -i " + Quoted(minute) + " -c copy " +
                 Quoted(file))) {
            std::fprintf(stderr, "making the file failed\n");
            return 1;
        }
    }
    std::size_t columns = 0;
    const Times ffmpeg = TimeFfmpeg(file);
    const Times levels = TimeLevels(file, columns);
    std::printf("file: %s\n", file.c_str());
    std::printf("ffmpeg -threads 1 -f null:  wall %.3f s  cpu %.3f s\n", ffmpeg.wall, ffmpeg.cpu);
    std::printf("strip levels (%zu columns): wall %.3f s  cpu %.3f s\n", columns, levels.wall, levels.cpu);
    std::printf("ratio levels / ffmpeg:      wall %.2f  cpu %.2f  (goal: at most 0.50)\n", levels.wall / ffmpeg.wall,
                levels.cpu / ffmpeg.cpu);
    if (!folder.empty())
        std::filesystem::remove_all(folder);
    return 0;
}
