// The common path of av (a plain MP3, WAV or FLAC source written as MP3 or AMR), which
// runs on mpg123, libsndfile, libsoxr, LAME and OpenCORE AMR-NB without the FFmpeg
// libraries: which files take it and which are left to FFmpeg, that it calls no FFmpeg
// function, that its sources place every sample where a full FFmpeg decode places it,
// and what its encoders write.
//
// Whether av called into FFmpeg is seen from outside, through the dynamic loader's log
// (LD_DEBUG=bindings,files): the loader logs each function of a shared library that the
// program binds on its first call, and each library that is loaded while it runs. A run
// that called no FFmpeg function logs no binding of av to libavcodec, libavformat,
// libavutil or libswresample, and, where these are loaded only when first needed, no
// loading of them either.
#include "encoder/MpegFrames.h"
#include "encoder/NativeSource.h"
#include "media/MpegHeader.h"
#include "media/SourceInput.h"

#include "support/AvRun.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fixtures::ReadFile;
using fixtures::ToolResult;

// --- helpers ----------------------------------------------------------------------------

struct TracedRun {
    ToolResult result;
    bool calledFfmpeg = false;
};

// Runs av with the loader's log in folder and tells whether av bound any function of the
// FFmpeg libraries or loaded them while it ran.
TracedRun RunAvTraced(const std::vector<std::string>& args, const std::string& folder)
{
    const std::string logs = folder + "/bindings";
    fs::remove_all(logs);
    fs::create_directory(logs);
    std::vector<std::string> argv = {"env", "-u", "LD_BIND_NOW", "LD_DEBUG=bindings,files", "LD_DEBUG_OUTPUT=" + logs + "/ld",
                                     AV_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    TracedRun run;
    run.result = fixtures::RunTool(argv);
    const std::string fromAv = std::string("binding file ") + AV_TOOL_PATH + " ";
    for (const auto& entry : fs::directory_iterator(logs)) {
        const std::string text = ReadFile(entry.path().string());
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(start, end - start);
            const bool ffmpeg = line.find("libavcodec.") != std::string::npos ||
                                line.find("libavformat.") != std::string::npos ||
                                line.find("libavutil.") != std::string::npos ||
                                line.find("libswresample.") != std::string::npos;
            const bool bound = line.find(fromAv) != std::string::npos;
            const bool loadedLate = line.find("dynamically loaded by") != std::string::npos;
            if (ffmpeg && (bound || loadedLate))
                run.calledFfmpeg = true;
            start = end + 1;
        }
    }
    fs::remove_all(logs);
    return run;
}

// A file decoded by ffmpeg from its beginning (the LAME tag's delay and padding applied),
// as interleaved float samples in its own channels.
// With rate > 0, resampled to that rate by FFmpeg's resampler.
std::vector<float> DecodeFloat(const std::string& path, int rate = 0)
{
    const std::string raw = path + ".f32";
    std::vector<float> samples;
    std::vector<std::string> args = {"-i", path, "-f", "f32le", "-c:a", "pcm_f32le", raw};
    if (rate > 0)
        args.insert(args.end() - 1, {"-ar", std::to_string(rate)});
    if (!fixtures::Ffmpeg(args))
        return samples;
    const std::string bytes = ReadFile(raw);
    fs::remove(raw);
    samples.resize(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

std::vector<std::string> M4rLine(const std::string& source, const std::string& target)
{
    return {"-i", source, "-ss", "00:00:01", "-t", "00:00:02", "-f", "ipod", "-acodec", "aac",
            "-ab", "128", "-ac", "2", "-ar", "44100", target};
}

// Noise, low-passed so that a 64 kbit/s MP3 keeps it: any shift of a sample shows.
std::string Noise(int rate, int seconds)
{
    return "anoisesrc=c=pink:a=0.4:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds) + ":seed=7";
}

bool MakeNoise(const std::string& target, int rate, int channels, int seconds, const std::vector<std::string>& encoder)
{
    std::vector<std::string> args = {"-f", "lavfi", "-i", Noise(rate, seconds), "-af", "lowpass=f=5000",
                                     "-ac", std::to_string(channels)};
    args.insert(args.end(), encoder.begin(), encoder.end());
    args.push_back(target);
    return fixtures::Ffmpeg(args);
}

// The shared fixtures: 16 s of noise in every kind of file the tests need.
class NativeFixtures {
public:
    NativeFixtures()
    {
        const std::vector<std::string> lame = {"-c:a", "libmp3lame"};
        auto with = [&](std::vector<std::string> extra) {
            extra.insert(extra.begin(), lame.begin(), lame.end());
            return extra;
        };
        ok = MakeNoise(dir.file("cbr.mp3"), 44100, 2, 16, with({"-b:a", "128k", "-metadata", "title=Tagged"})) &&
             MakeNoise(dir.file("vbr.mp3"), 48000, 2, 16, with({"-q:a", "4"})) &&
             MakeNoise(dir.file("noxing.mp3"), 44100, 2, 16, with({"-b:a", "96k", "-write_xing", "0"})) &&
             MakeNoise(dir.file("mono22.mp3"), 22050, 1, 16, with({"-b:a", "32k"})) &&
             MakeNoise(dir.file("pcm.wav"), 44100, 2, 16, {}) &&
             MakeNoise(dir.file("float.wav"), 22050, 1, 16, {"-c:a", "pcm_f32le"}) &&
             MakeNoise(dir.file("lossless.flac"), 44100, 2, 16, {}) &&
             MakeNoise(dir.file("layer2.mp2"), 44100, 2, 16, {"-c:a", "mp2", "-f", "mp2"}) &&
             MakeNoise(dir.file("wma.wma"), 44100, 2, 16, {"-c:a", "wmav2", "-b:a", "128k"}) &&
             MakeNoise(dir.file("three.wav"), 44100, 3, 16, {}) &&
             MakeNoise(dir.file("aiff.aiff"), 44100, 2, 16, {}) &&
             fixtures::MakeTone(dir.file("tiny.mp3"), 0.1, 44100, 2) &&
             MakeNoise(dir.file("more.mp3"), 44100, 2, 2, with({"-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"}));
        // Frames after those that the LAME tag counts: FFmpeg plays them.
        fixtures::WriteFile(dir.file("appended.mp3"), ReadFile(dir.file("cbr.mp3")) + ReadFile(dir.file("more.mp3")));
        // FLAC written to a pipe: its header cannot tell the length.
        const ToolResult piped = fixtures::RunTool({"ffmpeg", "-hide_banner", "-loglevel", "error", "-f", "lavfi", "-i",
                                                    Noise(44100, 16), "-ac", "2", "-f", "flac", "pipe:1"});
        ok = ok && piped.exitCode == 0 && !piped.standardOutput.empty();
        fixtures::WriteFile(dir.file("piped.flac"), piped.standardOutput);
        // Junk in the stream (2000 zero bytes at 30 %): frames cannot be counted past it.
        std::string bytes = ReadFile(dir.file("cbr.mp3"));
        if (bytes.size() > 10000)
            bytes.replace(bytes.size() * 3 / 10, 2000, 2000, '\0');
        fixtures::WriteFile(dir.file("junk.mp3"), bytes);
    }
    fixtures::ScratchDir dir;
    bool ok = false;
};

NativeFixtures& Fixtures()
{
    static NativeFixtures* fixtures = new NativeFixtures;
    return *fixtures;
}

// --- which files take the common path ------------------------------------------------------

enum class Line { Mp3, Amr, M4r, LoudMp3 };

struct PathCase {
    const char* name;
    const char* source;
    const char* start;
    Line line;
    bool native;
};

std::ostream& operator<<(std::ostream& out, const PathCase& c) { return out << c.name; }

class PathChoiceTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathChoiceTest, CommonPathCallsNoFfmpegFunctionAndTheRestStillWorks)
{
    NativeFixtures& f = Fixtures();
    ASSERT_TRUE(f.ok);
    const PathCase& c = GetParam();
    const std::string source = f.dir.file(c.source);
    const std::string target = f.dir.file(std::string("path-") + c.name + (c.line == Line::Amr ? ".amr" : c.line == Line::M4r ? ".m4r" : ".mp3"));
    std::vector<std::string> args = c.line == Line::Amr ? avrun::AmrLine(source, c.start, "00:00:02", target)
                                    : c.line == Line::M4r ? M4rLine(source, target)
                                                          : avrun::Mp3Line(source, c.start, "00:00:02", target);
    if (c.line == Line::LoudMp3)   // fades and loudness, measured in a first pass
        args.insert(args.end() - 1, {"-fade", "500", "-loudness", "-14"});
    const TracedRun run = RunAvTraced(args, f.dir.path());
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError;
    EXPECT_EQ(run.result.standardError, "");
    EXPECT_EQ(run.calledFfmpeg, !c.native);

    // Either way the cut is two seconds long.
    const std::vector<std::int16_t> output = avrun::DecodeToSamples(target);
    const double rate = c.line == Line::Amr ? 8000 : c.line == Line::M4r ? 44100 : 0;
    if (rate > 0) {
        const double channels = c.line == Line::Amr ? 1 : 2;
        EXPECT_NEAR(double(output.size()) / channels, 2 * rate, 160 + 2048);
    } else {
        EXPECT_GT(output.size(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, PathChoiceTest,
    ::testing::Values(PathCase{"Mp3CbrWithId3v2ToMp3", "cbr.mp3", "00:00:07", Line::Mp3, true},
                      PathCase{"Mp3CbrFromTheStartToAmr", "cbr.mp3", "00:00:00", Line::Amr, true},
                      PathCase{"Mp3VbrToAmr", "vbr.mp3", "00:00:11", Line::Amr, true},
                      PathCase{"Mp3WithoutXingToMp3", "noxing.mp3", "00:00:09", Line::Mp3, true},
                      PathCase{"Mp3MonoMpeg2ToMp3", "mono22.mp3", "00:00:12", Line::Mp3, true},
                      PathCase{"WavToMp3", "pcm.wav", "00:00:05", Line::Mp3, true},
                      PathCase{"FloatWavToAmr", "float.wav", "00:00:05", Line::Amr, true},
                      PathCase{"FlacToMp3", "lossless.flac", "00:00:10", Line::Mp3, true},
                      PathCase{"FadedAndLoudMp3ToMp3", "vbr.mp3", "00:00:08", Line::LoudMp3, true},
                      PathCase{"JunkBeforeTheCutIsLeftToFfmpeg", "junk.mp3", "00:00:11", Line::Mp3, false},
                      PathCase{"FlacWithoutLengthIsLeftToFfmpeg", "piped.flac", "00:00:03", Line::Mp3, false},
                      PathCase{"FramesBeyondTheLameTagAreLeftToFfmpeg", "appended.mp3", "00:00:15", Line::Mp3, false},
                      PathCase{"FramesBeyondTheLameTagDoNotMatterBeforeIt", "appended.mp3", "00:00:07", Line::Amr, true},
                      PathCase{"TinyMp3IsLeftToFfmpeg", "tiny.mp3", "00:00:00", Line::Mp3, false},
                      PathCase{"LayerIIIsLeftToFfmpeg", "layer2.mp2", "00:00:03", Line::Mp3, false},
                      PathCase{"WmaIsLeftToFfmpeg", "wma.wma", "00:00:03", Line::Amr, false},
                      PathCase{"ThreeChannelsAreLeftToFfmpeg", "three.wav", "00:00:03", Line::Mp3, false},
                      PathCase{"AiffIsLeftToFfmpeg", "aiff.aiff", "00:00:03", Line::Amr, false},
                      PathCase{"M4rIsWrittenWithFfmpeg", "pcm.wav", "00:00:01", Line::M4r, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the native sources against a full FFmpeg decode ---------------------------------------

struct StartCase {
    const char* name;
    const char* source;
    double startSeconds;
    double lengthSeconds;   // 0: to the end
    float tolerance;        // the largest difference of a sample: decoders differ in rounding
};

std::ostream& operator<<(std::ostream& out, const StartCase& c) { return out << c.name; }

class NativeSourceTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(NativeSourceTest, GivesExactlyTheSamplesOfAFullDecode)
{
    NativeFixtures& f = Fixtures();
    ASSERT_TRUE(f.ok);
    const StartCase& c = GetParam();
    const std::string path = f.dir.file(c.source);
    media::SourceFile file(path);
    std::unique_ptr<av::SampleSource> source = av::OpenNativeSource(file);
    ASSERT_TRUE(source) << "not taken natively";
    const int rate = source->sampleRate();
    const int channels = source->channels();

    av::Selection selection;
    selection.begin = std::int64_t(std::llround(c.startSeconds * rate));
    if (c.lengthSeconds > 0)
        selection.end = selection.begin + std::int64_t(std::llround(c.lengthSeconds * rate));
    ASSERT_TRUE(source->Prepare(selection));
    std::vector<float> got;
    // Two passes, as with "Make it loud": both give the same samples.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<float> samples;
        const std::int64_t passed = source->ReadSelection(selection, [&](const av::SampleBlock& block) {
            ASSERT_EQ(block.channels, channels);
            samples.insert(samples.end(), block.samples, block.samples + std::size_t(block.frames) * std::size_t(channels));
        });
        EXPECT_EQ(std::size_t(passed) * std::size_t(channels), samples.size());
        if (pass == 1) {
            EXPECT_EQ(samples, got);
        }
        got = std::move(samples);
    }

    const std::vector<float> whole = DecodeFloat(path);
    ASSERT_FALSE(whole.empty());
    const std::size_t first = std::size_t(selection.begin) * std::size_t(channels);
    const std::size_t last = c.lengthSeconds > 0 ? std::size_t(selection.end) * std::size_t(channels) : whole.size();
    ASSERT_LE(last, whole.size());
    ASSERT_EQ(got.size(), last - first);
    float largest = 0;
    std::size_t where = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const float difference = std::fabs(got[i] - whole[first + i]);
        if (difference > largest) {
            largest = difference;
            where = i;
        }
    }
    EXPECT_LE(largest, c.tolerance) << "at sample " << where / std::size_t(channels);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, NativeSourceTest,
    ::testing::Values(StartCase{"Mp3CbrAtTheStart", "cbr.mp3", 0, 2, 1e-4f},
                      StartCase{"Mp3CbrWithinThePreRoll", "cbr.mp3", 0.3, 2, 1e-4f},
                      StartCase{"Mp3CbrLate", "cbr.mp3", 7.25, 3, 1e-4f},
                      StartCase{"Mp3CbrToTheEnd", "cbr.mp3", 13.5, 0, 1e-4f},
                      StartCase{"Mp3VbrLate", "vbr.mp3", 9.1, 3, 1e-4f},
                      StartCase{"Mp3VbrToTheEnd", "vbr.mp3", 15.2, 0, 1e-4f},
                      StartCase{"Mp3WithoutXing", "noxing.mp3", 9.1, 3, 1e-4f},
                      StartCase{"Mp3WithoutXingToTheEnd", "noxing.mp3", 15.5, 0, 1e-4f},
                      StartCase{"Mp3MonoMpeg2", "mono22.mp3", 12.5, 2, 1e-4f},
                      StartCase{"Wav", "pcm.wav", 7.25, 3, 0},
                      StartCase{"WavToTheEnd", "pcm.wav", 15.5, 0, 0},
                      StartCase{"FloatWav", "float.wav", 3.3, 1, 0},
                      StartCase{"Flac", "lossless.flac", 9.75, 3, 0},
                      StartCase{"FlacToTheEnd", "lossless.flac", 14.1, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the MP3 that LAME writes ----------------------------------------------------------------

struct Mp3Case {
    const char* name;
    const char* source;
    int channels;
    int rate;   // 0: the source's
};

std::ostream& operator<<(std::ostream& out, const Mp3Case& c) { return out << c.name; }

class LameOutputTest : public ::testing::TestWithParam<Mp3Case> {};

// The file is the Info frame with LAME's tag, then 64 kbit/s frames of the chosen mode,
// nothing else; decoded with the tag's delay and padding it is exactly the selection,
// not a sample early or late.
TEST_P(LameOutputTest, InfoFrameGivesTheExactLengthAndTheCutStartsOnTheSample)
{
    NativeFixtures& f = Fixtures();
    ASSERT_TRUE(f.ok);
    const Mp3Case& c = GetParam();
    const std::string source = f.dir.file(c.source);
    const std::string target = f.dir.file(std::string("lame-") + c.name + ".mp3");
    std::vector<std::string> line = avrun::Mp3Line(source, "00:00:05", "00:00:03", target);
    line[line.size() - 2] = std::to_string(c.channels);   // -ac
    if (c.rate > 0)
        line.insert(line.end() - 1, {"-ar", std::to_string(c.rate)});
    const TracedRun run = RunAvTraced(line, f.dir.path());
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError;
    EXPECT_FALSE(run.calledFfmpeg);

    const std::string bytes = ReadFile(target);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    ASSERT_GT(bytes.size(), 4u);
    auto first = av::ParseMpegFrameHeader(data);
    ASSERT_TRUE(first) << "the file starts with a frame (no ID3 tag)";
    ASSERT_LE(std::size_t(first->frameBytes), bytes.size());
    auto tag = av::ParseLameTag(data, first->frameBytes);
    ASSERT_TRUE(tag);
    EXPECT_NE(bytes.substr(0, std::size_t(first->frameBytes)).find("LAME"), std::string::npos) << "LAME's own tag";
    std::size_t pos = std::size_t(first->frameBytes);
    std::int64_t frames = 0;
    while (pos + 4 <= bytes.size()) {
        const media::MpegHeader header = media::MpegHeader::fromBytes(data + pos);
        ASSERT_TRUE(header.isValid()) << "no frame at " << pos;
        EXPECT_EQ(header.bitRateKbps(), 64);
        EXPECT_EQ(header.channelMode(), c.channels == 1 ? media::MpegChannelMode::SingleChannel
                                                         : media::MpegChannelMode::JointStereo);
        pos += std::size_t(header.frameBytes());
        ++frames;
    }
    EXPECT_EQ(pos, bytes.size());
    EXPECT_EQ(tag->frames, frames);

    // Both mixed to mono: the cut against the source (resampled by FFmpeg where the
    // output's rate differs) from 5 s on.
    const std::vector<float> cut = DecodeFloat(target);
    const std::vector<float> whole = DecodeFloat(source, c.rate);
    const int rate = first->sampleRate;
    ASSERT_EQ(cut.size(), std::size_t(3 * rate * c.channels));
    auto mono = [](const std::vector<float>& s, int channels, std::size_t frame) {
        return channels == 1 ? s[frame] : (s[2 * frame] + s[2 * frame + 1]) / 2;
    };
    media::SourceFile file(source);
    const int inChannels = av::OpenNativeSource(file)->channels();
    double bestError = 1e300;
    int bestLag = 0;
    for (int lag = -20; lag <= 20; ++lag) {
        double error = 0;
        for (std::size_t i = std::size_t(rate) / 10; i < std::size_t(rate) * 29 / 10; i += 3) {
            const double d = mono(cut, c.channels, i) - mono(whole, inChannels, std::size_t(5 * rate + lag) + i);
            error += d * d;
        }
        if (error < bestError) {
            bestError = error;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, 0);
}

INSTANTIATE_TEST_SUITE_P(Sources, LameOutputTest,
                         ::testing::Values(Mp3Case{"StereoFromWav", "pcm.wav", 2, 0},
                                           Mp3Case{"MonoFromFlac", "lossless.flac", 1, 0},
                                           Mp3Case{"StereoFromMp3", "cbr.mp3", 2, 0},
                                           Mp3Case{"ResampledFrom48000To32000", "vbr.mp3", 2, 32000},
                                           Mp3Case{"MonoSpreadOverTwoChannelsAt22050", "mono22.mp3", 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- the AMR frame count --------------------------------------------------------------------

// An 8000 Hz mono WAV of count samples of a sine.
void WriteSine8k(const std::string& path, std::uint32_t count)
{
    std::string bytes = avrun::WavHeader(1, 16, 8000, 1, count * 2);
    for (std::uint32_t i = 0; i < count; ++i)
        avrun::AppendLittleEndian<std::int16_t>(bytes, std::int16_t(8000 * std::sin(2 * M_PI * 440 * i / 8000.0)));
    fixtures::WriteFile(path, bytes);
}

std::size_t AmrFrames(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    return bytes.size() < 6 ? 0 : (bytes.size() - 6) / 32;
}

class AmrFrameCountTest : public ::testing::TestWithParam<std::uint32_t> {};

// As many frames as FFmpeg's own AMR-NB encoder writes for the same samples: it adds a
// frame of silence after the last one unless that last one was mostly silence already.
TEST_P(AmrFrameCountTest, MatchesFfmpegsEncoder)
{
    fixtures::ScratchDir dir;
    const std::uint32_t samples = GetParam();   // what reaches the encoder
    constexpr std::uint32_t kLead = 40;         // av moves the cut by the codec's 5 ms look-ahead
    const std::string source = dir.file("sine.wav");
    WriteSine8k(source, samples + kLead);
    const std::string target = dir.file("ring.amr");
    const TracedRun run = RunAvTraced(avrun::AmrLine(source, "00:00:00", "00:10:00", target), dir.path());
    ASSERT_EQ(run.result.exitCode, 0) << run.result.standardError;
    EXPECT_FALSE(run.calledFfmpeg);
    const std::string reference = dir.file("reference.amr");
    ASSERT_TRUE(fixtures::Ffmpeg({"-i", source, "-af", "atrim=start_sample=" + std::to_string(kLead), "-c:a",
                                  "libopencore_amrnb", "-b:a", "12.2k", reference}));
    EXPECT_EQ(AmrFrames(target), AmrFrames(reference));
    EXPECT_GE(AmrFrames(target) * 160, samples);
}

INSTANTIATE_TEST_SUITE_P(Lengths, AmrFrameCountTest, ::testing::Values(8000u, 8040u, 8109u, 8110u, 8159u, 8161u, 16000u));

// --- failures on the common path are told as before ----------------------------------------------

struct FailureCase {
    const char* name;
    const char* start;
    bool amr;
    const char* message;
    bool native;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) { return out << c.name; }

class NativeFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(NativeFailureTest, ToldWordForWordAndNothingWritten)
{
    fixtures::ScratchDir dir;
    const FailureCase& c = GetParam();
    // "Empty": a WAV without samples, which tells no length and is left to FFmpeg; else
    // 3 s of MP3, and for "Zeros" the same followed by a megabyte of zeros, which the
    // common path leaves to FFmpeg too.
    const std::string name = c.name;
    std::string source;
    if (name.rfind("Empty", 0) == 0) {
        source = dir.file("empty.wav");
        ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t", "0", source}));
    } else {
        source = dir.file("song.mp3");
        ASSERT_TRUE(fixtures::MakeTone(source, 3, 44100, 1));
        if (name.find("Zeros") != std::string::npos)
            fs::resize_file(source, fs::file_size(source) + (1 << 20));
    }
    const std::string target = dir.file(c.amr ? "ring.amr" : "ring.mp3");
    const TracedRun run = RunAvTraced(c.amr ? avrun::AmrLine(source, c.start, "00:00:01", target)
                                            : avrun::Mp3Line(source, c.start, "00:00:01", target),
                                      dir.path());
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_EQ(run.result.standardError, std::string(c.message) + "\n");
    EXPECT_EQ(run.calledFfmpeg, !c.native);
    EXPECT_FALSE(fs::exists(target));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NativeFailureTest,
    ::testing::Values(FailureCase{"EmptyWav", "00:00:00", false, "The source holds no audio that can be decoded", false},
                      FailureCase{"EmptyWavToAmr", "00:00:00", true, "The source holds no audio that can be decoded", false},
                      FailureCase{"StartPastTheEnd", "00:00:05", false,
                                  "The selection is empty: the start lies beyond the end of the source", true},
                      FailureCase{"StartPastTheEndToAmr", "00:00:03", true,
                                  "The selection is empty: the start lies beyond the end of the source", true},
                      FailureCase{"StartInTheZeros", "00:00:10", false,
                                  "The selection is empty: the start lies beyond the end of the source", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
