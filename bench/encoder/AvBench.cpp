// Benchmark of the encoder tool av.
//
// Cuts a 10-second segment at 00:00:20 and at 00:55:00 out of a 60-minute 128 kbit/s
// MP3 with both command lines of the export, and does the same work with the system's
// ffmpeg both ways: seeking in the output (-ss after -i, as in our command lines: ffmpeg
// decodes everything up to the start) and seeking in the input (-ss before -i, what a
// user who knows ffmpeg types: a jump, then decoding). LAME alone encoding those 10
// seconds from a WAV file is the floor: encoding is the work that cannot be skipped.
// Every command runs `runs` times, interleaved; the medians and their ratios are printed
// against the goals:
//   early segment: av <= 0.4 x ffmpeg output seeking, <= 0.6 x ffmpeg input seeking
//   late segment:  av <= 0.1 x ffmpeg output seeking, <= 0.6 x ffmpeg input seeking
//   av late <= 1.2 x av early                av <= 2 x LAME alone
// With "cold", the source's pages are dropped from the page cache before every run
// (posix_fadvise DONTNEED), so each command reads the file from the disk.
// It also checks that av's cuts start on the same sample as ffmpeg's output-seeking
// cuts (which decode the whole file up to the start) by cross-correlating the outputs.
//
//   av_bench [work-folder [runs [cold]]]      (default /tmp/tallowick-av-bench, 9 runs, warm)
#include "bench/support/Programs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double TimedRun(const std::vector<std::string>& argv)
{
    const auto start = std::chrono::steady_clock::now();
    const int rc = bench::RunProgram(argv);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (rc != 0) {
        std::fprintf(stderr, "failed (%d): %s ...\n", rc, argv[0].c_str());
        std::exit(1);
    }
    return seconds;
}

std::vector<std::string> Ffmpeg(std::vector<std::string> args)
{
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-y", "-v", "error"});
    return args;
}

std::vector<float> DecodeMono(const std::string& path, const std::string& scratch)
{
    const std::string raw = scratch + "/decoded.raw";
    bench::RunProgram(Ffmpeg({"-i", path, "-ac", "1", "-f", "f32le", raw}));
    std::vector<float> samples;
    if (FILE* f = std::fopen(raw.c_str(), "rb")) {
        float chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, sizeof(float), 4096, f)) > 0)
            samples.insert(samples.end(), chunk, chunk + n);
        std::fclose(f);
    }
    return samples;
}

// The shift (in samples) of b against a that correlates them best, within +-maxLag,
// over `window` samples from `from`. The window must hold a change of pitch: a steady
// sine correlates as well one period off.
int BestLag(const std::vector<float>& a, const std::vector<float>& b, int from, int maxLag, int window)
{
    int best = 0;
    double bestScore = -1e300;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double score = 0;
        for (int i = from; i < from + window; ++i) {
            const int j = i + lag;
            if (i < int(a.size()) && j >= 0 && j < int(b.size()))
                score += double(a[size_t(i)]) * b[size_t(j)];
        }
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string dir = argc > 1 ? argv[1] : "/tmp/tallowick-av-bench";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const bool cold = argc > 3 && std::strcmp(argv[3], "cold") == 0;
    const std::string av = AV_TOOL_PATH;
    mkdir(dir.c_str(), 0755);

    // The hour: a 7-second cycle of pitches (second k at 400 + 300 * (k mod 7) Hz),
    // looped and encoded once by LAME at 128 kbit/s (takes about half a minute).
    const std::string source = dir + "/hour-128k.mp3";
    if (!bench::Exists(source)) {
        std::printf("making %s ...\n", source.c_str());
        std::fflush(stdout);
        const std::string cycle = dir + "/cycle.wav";
        if (bench::RunProgram(Ffmpeg({"-f", "lavfi", "-i", "aevalsrc=sin(2*PI*(400+300*mod(floor(t)\\,7))*t):s=44100:d=7",
                        "-ac", "2", cycle})) != 0 ||
            bench::RunProgram(Ffmpeg({"-stream_loop", "515", "-i", cycle, "-t", "3600", "-c:a", "libmp3lame", "-b:a", "128k",
                        source})) != 0) {
            std::fprintf(stderr, "cannot make the source with ffmpeg\n");
            return 1;
        }
    }
    const std::string tenSeconds = dir + "/ten-seconds.wav";
    if (!bench::Exists(tenSeconds) && bench::RunProgram(Ffmpeg({"-i", source, "-ss", "00:00:20", "-t", "10", tenSeconds})) != 0) {
        std::fprintf(stderr, "cannot cut the WAV for LAME\n");
        return 1;
    }

    struct Case {
        std::string name;
        std::vector<std::string> argv;
    };
    auto ours = [&](const std::string& start, bool amr) {
        std::vector<std::string> a = {av, "-i", source, "-ss", start, "-t", "00:00:10"};
        std::vector<std::string> tail = amr ? std::vector<std::string>{"-f", "amr", "-acodec", "amr_nb", "-ab", "32",
                                                                      "-ac", "1", "-ar", "8000"}
                                            : std::vector<std::string>{"-acodec", "mp3", "-ab", "64", "-ac", "2"};
        a.insert(a.end(), tail.begin(), tail.end());
        a.push_back(dir + "/av-" + start.substr(3, 2) + (amr ? ".amr" : ".mp3"));
        return a;
    };
    // ffmpeg seeking in the output (inputSeek false) or in the input.
    auto theirs = [&](const std::string& start, bool amr, bool inputSeek) {
        std::vector<std::string> a = inputSeek ? std::vector<std::string>{"-ss", start, "-i", source, "-t", "00:00:10"}
                                               : std::vector<std::string>{"-i", source, "-ss", start, "-t", "00:00:10"};
        std::vector<std::string> tail =
            amr ? std::vector<std::string>{"-c:a", "libopencore_amrnb", "-b:a", "12.2k", "-ac", "1", "-ar", "8000"}
                : std::vector<std::string>{"-c:a", "libmp3lame", "-b:a", "64k", "-ac", "2"};
        a.insert(a.end(), tail.begin(), tail.end());
        a.push_back(dir + (inputSeek ? "/ffmpeg-in-" : "/ffmpeg-") + start.substr(3, 2) + (amr ? ".amr" : ".mp3"));
        return Ffmpeg(a);
    };
    const std::vector<Case> cases = {
        {"av mp3 00:00:20", ours("00:00:20", false)},
        {"av mp3 00:55:00", ours("00:55:00", false)},
        {"ffmpeg mp3 00:00:20", theirs("00:00:20", false, false)},
        {"ffmpeg mp3 00:55:00", theirs("00:55:00", false, false)},
        {"ffmpeg -ss -i mp3 00:00:20", theirs("00:00:20", false, true)},
        {"ffmpeg -ss -i mp3 00:55:00", theirs("00:55:00", false, true)},
        {"av amr 00:00:20", ours("00:00:20", true)},
        {"av amr 00:55:00", ours("00:55:00", true)},
        {"ffmpeg amr 00:00:20", theirs("00:00:20", true, false)},
        {"ffmpeg amr 00:55:00", theirs("00:55:00", true, false)},
        {"ffmpeg -ss -i amr 00:00:20", theirs("00:00:20", true, true)},
        {"ffmpeg -ss -i amr 00:55:00", theirs("00:55:00", true, true)},
        {"lame alone 10 s", {"lame", "--quiet", "-b", "64", tenSeconds, dir + "/lame.mp3"}},
    };

    std::map<std::string, std::vector<double>> times;
    for (const Case& c : cases)
        TimedRun(c.argv);  // warm the page cache and the loader
    for (int run = 0; run < runs; ++run) {
        for (const Case& c : cases) {
            if (cold) {
                bench::DropFromPageCache(source);
                bench::DropFromPageCache(tenSeconds);
            }
            times[c.name].push_back(TimedRun(c.argv));
        }
    }

    std::map<std::string, double> median;
    std::printf("%-28s %10s %10s %10s   (%d runs, %s page cache)\n", "command", "median s", "min s", "max s", runs,
                cold ? "cold" : "warm");
    for (const Case& c : cases) {
        const auto& t = times[c.name];
        median[c.name] = bench::Median(t);
        std::printf("%-28s %10.3f %10.3f %10.3f\n", c.name.c_str(), median[c.name],
                    *std::min_element(t.begin(), t.end()), *std::max_element(t.begin(), t.end()));
    }

    bool allMet = true;
    auto goal = [&](const char* what, double ratio, double limit) {
        const bool met = ratio <= limit;
        allMet = allMet && met;
        std::printf("%-44s %6.3f  (goal <= %.1f) %s\n", what, ratio, limit, met ? "met" : "MISSED");
    };
    std::printf("\n");
    for (const char* kind : {"mp3", "amr"}) {
        const std::string k = kind;
        auto ratio = [&](const std::string& a, const std::string& b) { return median[a] / median[b]; };
        goal(("av/ffmpeg " + k + " at 00:00:20").c_str(), ratio("av " + k + " 00:00:20", "ffmpeg " + k + " 00:00:20"), 0.4);
        goal(("av/ffmpeg -ss -i " + k + " at 00:00:20").c_str(),
             ratio("av " + k + " 00:00:20", "ffmpeg -ss -i " + k + " 00:00:20"), 0.6);
        goal(("av/ffmpeg " + k + " at 00:55:00").c_str(), ratio("av " + k + " 00:55:00", "ffmpeg " + k + " 00:55:00"), 0.1);
        goal(("av/ffmpeg -ss -i " + k + " at 00:55:00").c_str(),
             ratio("av " + k + " 00:55:00", "ffmpeg -ss -i " + k + " 00:55:00"), 0.6);
        goal(("av " + k + " late/early").c_str(), median["av " + k + " 00:55:00"] / median["av " + k + " 00:00:20"], 1.2);
    }
    goal("av mp3 00:00:20 / LAME alone", median["av mp3 00:00:20"] / median["lame alone 10 s"], 2.0);
    goal("av mp3 00:55:00 / LAME alone", median["av mp3 00:55:00"] / median["lame alone 10 s"], 2.0);

    // av's cuts against ffmpeg's output-seeking ones, which decode the file up to the
    // start. 00:00:20 and 00:55:00 are seconds 6 and 3 of the 7-second cycle: the pitch
    // changes 1 s into each cut.
    std::printf("\n");
    for (const char* minute : {"00", "55"}) {
        const auto a = DecodeMono(dir + "/ffmpeg-" + minute + ".mp3", dir);
        const auto b = DecodeMono(dir + "/av-" + minute + ".mp3", dir);
        const int lag = BestLag(a, b, 44100 - 2205, 441, 4410);
        std::printf("av's cut at minute %s against ffmpeg's: %+d samples (%+.2f ms); lengths %zu and %zu samples\n",
                    minute, lag, lag * 1000.0 / 44100, b.size(), a.size());
    }
    return allMet ? 0 : 2;
}
