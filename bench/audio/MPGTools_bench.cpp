// TMPEGAudio speed:
//  - scanning 200 MB of random bytes (page-cached) for a frame-header pair, with the message
//    pump handling the events of a real, idle Qt event loop (goal: at least 1 GB/s);
//  - loading a 5-minute 128 kbit/s MP3 with an ID3v2 tag, against libavformat opening and
//    probing the same file (goal: at most 0.1 of its time).
// The files are made in a scratch folder under the temporary directory and removed at the end.
#include "audio/MPGTools.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string gFolder;
std::string gRandomFile;
std::string gMp3File;

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

// 200 MB of random bytes. A few random byte runs happen to form a frame-header pair; each
// found pair loses its first byte, so the scan runs through the whole file.
bool MakeRandomFile()
{
    constexpr std::size_t kSize = 200u * 1000 * 1000;
    std::vector<std::uint64_t> words(kSize / 8);
    std::mt19937_64 random(1234567);
    for (auto& word : words)
        word = random();
    const int fd = open(gRandomFile.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || write(fd, words.data(), kSize) != ssize_t(kSize))
        return false;
    for (int broken = 0;; ++broken) {
        TMPEGAudio reader;
        reader.SetFileName(gRandomFile);
        if (reader.Load() != 0) {
            std::fprintf(stderr, "random file: %d accidental frame pairs broken\n", broken);
            break;
        }
        const char zero = 0;
        if (pwrite(fd, &zero, 1, reader.FirstFramePos()) != 1)
            return false;
    }
    close(fd);
    return true;
}

bool MakeMp3File()
{
    return Run("ffmpeg -nostdin -y -hide_banner -loglevel error -f lavfi -i "
               "\"sine=frequency=440:sample_rate=44100:duration=300\" -ac 2 -c:a libmp3lame -b:a 128k "
               "-id3v2_version 3 -metadata title=\"Benchmark tone\" -metadata artist=Tallowick '" +
               gMp3File + "'");
}

void BM_ScanRandomBytesWithQtPump(benchmark::State& state)
{
    std::int64_t length = 0;
    for (auto _ : state) {
        TMPEGAudio reader;
        reader.SetAutoLoad(false);
        reader.SetMessagePump([] {
            QCoreApplication::processEvents();
            return true;
        });
        reader.SetFileName(gRandomFile);
        const std::int32_t result = reader.Load();
        if (result != -1 || reader.FirstFramePos() != reader.Length() + 1) {
            state.SkipWithError("the scan did not run through the whole file");
            break;
        }
        length = reader.Length();
    }
    state.SetBytesProcessed(state.iterations() * length);
}
BENCHMARK(BM_ScanRandomBytesWithQtPump)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMp3WithReader(benchmark::State& state)
{
    for (auto _ : state) {
        TMPEGAudio reader;
        reader.SetFileName(gMp3File);
        if (!reader.IsValid() || reader.FirstFramePos() == 0) {
            state.SkipWithError("the MP3 file was not read");
            break;
        }
        benchmark::DoNotOptimize(reader.Duration());
    }
}
BENCHMARK(BM_LoadMp3WithReader)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_OpenMp3WithAvformat(benchmark::State& state)
{
    for (auto _ : state) {
        AVFormatContext* context = nullptr;
        if (avformat_open_input(&context, gMp3File.c_str(), nullptr, nullptr) < 0) {
            state.SkipWithError("avformat_open_input failed");
            break;
        }
        if (avformat_find_stream_info(context, nullptr) < 0) {
            avformat_close_input(&context);
            state.SkipWithError("avformat_find_stream_info failed");
            break;
        }
        benchmark::DoNotOptimize(context->duration);
        avformat_close_input(&context);
    }
}
BENCHMARK(BM_OpenMp3WithAvformat)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    av_log_set_level(AV_LOG_ERROR);
    gFolder = (std::filesystem::temp_directory_path() / ("tallowick-bench-" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(gFolder);
    gRandomFile = gFolder + "/random.bin";
    gMp3File = gFolder + "/five-minutes.mp3";
    const bool ready = MakeRandomFile() && MakeMp3File();
    if (ready)
        benchmark::RunSpecifiedBenchmarks();
    else
        std::fprintf(stderr, "could not make the benchmark files in %s\n", gFolder.c_str());
    benchmark::Shutdown();
    std::filesystem::remove_all(gFolder);
    return ready ? 0 : 1;
}
