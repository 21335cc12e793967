// The time from an open song to its ringtone suggestion: decoding (audio/SongDecoder) and
// finding the hook (audio/HookFinder) of 3-, 4-, 5- and 10-minute synthesised songs saved
// as 128 kbit/s MP3, beside the strip levels of the same file (audio/ColumnLevels), which
// the window finds at the same time on a thread of their own.
//
//   hook_analysis_bench
//
// Goal: a 4-minute song's suggestion ready within 1 s of its levels. Each figure is the best
// of three runs (wall time); the songs are made in a scratch folder, removed at the end.
#include "audio/ColumnLevels.h"
#include "audio/HookFinder.h"
#include "audio/SongDecoder.h"
#include "support/SongSynth.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace {

constexpr int kRuns = 3;

double BestWall(const std::function<void()>& work)
{
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// A song of verses, choruses and a bridge, cut to the given length.
songs::Song SongOfMinutes(int minutes)
{
    using songs::Section;
    songs::SongPlan plan{"bench", 120, 4, 2, true, {Section::Intro}, 0, 0, 0};
    const Section cycle[] = {Section::Verse, Section::Chorus, Section::Verse, Section::Chorus, Section::Bridge};
    // 32 s a section at 120 BPM.
    for (int i = 0; 16 + 32 * int(plan.sections.size() - 1) < minutes * 60 + 32; ++i)
        plan.sections.push_back(cycle[i % 5]);
    songs::Song song = songs::Synthesise(plan, 44100);
    song.samples.resize(std::size_t(minutes) * 60 * 44100);
    return song;
}

}  // namespace

int main()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tallowick_hook_bench";
    std::filesystem::create_directories(dir);
    std::printf("%-8s %12s %12s %12s %12s %16s\n", "song", "levels s", "decode s", "analysis s", "hook s",
                "hook - levels s");
    int status = 0;
    for (int minutes : {3, 4, 5, 10}) {
        const std::string wav = (dir / "song.wav").string(), mp3 = (dir / "song.mp3").string();
        const songs::Song song = SongOfMinutes(minutes);
        if (!songs::WriteWav(wav, song.samples, song.rate) ||
            std::system(("ffmpeg -y -hide_banner -loglevel error -i '" + wav + "' -ac 2 -c:a libmp3lame -b:a 128k '" + mp3 + "'").c_str()) != 0) {
            std::fprintf(stderr, "cannot make the %d-minute song\n", minutes);
            status = 1;
            break;
        }
        const double levels = BestWall([&] {
            ColumnLevels(mp3, 5).Run([](const ColumnLevels::Level*, std::size_t) {});
        });
        std::vector<float> samples;
        const double decode = BestWall([&] { SongDecoder(mp3, HookFinder::kSampleRate).Run(samples); });
        std::size_t suggestions = 0;
        const double analysis = BestWall([&] {
            suggestions = HookFinder(samples, HookFinder::kSampleRate).Suggestions(30).size();
        });
        std::printf("%-8s %12.3f %12.3f %12.3f %12.3f %16.3f   (%zu suggestions)\n",
                    (std::to_string(minutes) + " min").c_str(), levels, decode, analysis, decode + analysis,
                    decode + analysis - levels, suggestions);
    }
    std::filesystem::remove_all(dir);
    return status;
}
