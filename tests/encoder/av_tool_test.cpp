// Runs the real av program on fixtures made by ffmpeg and checks what it writes:
// container, encoder, channels, sample rate, bit rate or AMR mode, length, where the
// cut starts (to the sample, with a fixture whose pitch changes every second), and
// how failures are told and what they leave behind.
#include "encoder/FfmpegPtr.h"
#include "encoder/MpegFrameLocator.h"
#include "encoder/MpegFrames.h"
#include "encoder/OutputChoice.h"

#include "support/Fixtures.h"
#include "support/HostileSources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using fixtures::ReadFile;
using fixtures::RunTool;
using fixtures::ToolResult;

ToolResult RunAv(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {AV_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv);
}

// The two command lines of the export, filled with source, start, length and target.
std::vector<std::string> Mp3Line(const std::string& source, const std::string& start, const std::string& length,
                                 const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-acodec", "mp3", "-ab", "64", "-ac", "2", target};
}
std::vector<std::string> AmrLine(const std::string& source, const std::string& start, const std::string& length,
                                 const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-f", "amr", "-acodec", "amr_nb",
            "-ab", "32", "-ac", "1", "-ar", "8000", target};
}

// A file as the FFmpeg libraries read it from its beginning: container, codec,
// channels, sample rate, and all its samples mixed to mono 16-bit at its own rate.
// (Read in this process: a test spawns av, not a decoder per check.)
struct AudioFile {
    std::string format;
    std::string codec;
    int channels = 0;
    int sampleRate = 0;
    std::vector<std::int16_t> samples;
};

AudioFile ReadAudio(const std::string& path)
{
    AudioFile file;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, ("file:" + path).c_str(), nullptr, nullptr) < 0)
        return file;
    av::InputPtr inputOwner(input);
    if (avformat_find_stream_info(input, nullptr) < 0)
        return file;
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return file;
    const AVCodecParameters* par = input->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    av::CodecPtr decoder(avcodec_alloc_context3(codec));
    if (!codec || !decoder || avcodec_parameters_to_context(decoder.get(), par) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return file;
    file.format = input->iformat->name;
    file.codec = codec->name;
    file.channels = par->ch_layout.nb_channels;
    file.sampleRate = par->sample_rate;

    SwrContext* swr = nullptr;
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    av::ResamplerPtr resampler;
    auto packet = av::NewPacket();
    auto block = av::NewFrame();
    auto take = [&]() {
        while (avcodec_receive_frame(decoder.get(), block.get()) == 0) {
            if (!resampler) {
                AVChannelLayout layout;
                if (block->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                    av_channel_layout_default(&layout, block->ch_layout.nb_channels);
                else
                    av_channel_layout_copy(&layout, &block->ch_layout);
                swr_alloc_set_opts2(&swr, &mono, AV_SAMPLE_FMT_S16, block->sample_rate, &layout,
                                    AVSampleFormat(block->format), block->sample_rate, 0, nullptr);
                av_channel_layout_uninit(&layout);
                resampler.reset(swr);
                swr_init(swr);
            }
            const std::size_t at = file.samples.size();
            file.samples.resize(at + std::size_t(block->nb_samples) + 64);
            std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(file.samples.data() + at)};
            const int got = swr_convert(resampler.get(), out, block->nb_samples + 64,
                                        const_cast<const std::uint8_t**>(block->extended_data), block->nb_samples);
            file.samples.resize(at + std::size_t(std::max(got, 0)));
            av_frame_unref(block.get());
        }
    };
    while (av_read_frame(input, packet.get()) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(decoder.get(), packet.get()) >= 0)
            take();
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(decoder.get(), nullptr);
    take();
    return file;
}

// The pitch fixture: second k is a sine of PitchAt(k) Hz. Every frequency is a whole
// number, so each second starts at phase 0 with a rising zero crossing.
int PitchAt(int second) { return 400 + 300 * (second % 7); }

bool MakePitchFixture(const std::string& target, int seconds, int rate, int channels,
                      const std::vector<std::string>& encoder)
{
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "aevalsrc=sin(2*PI*(400+300*mod(floor(t)\\,7))*t):s=" + std::to_string(rate) +
                                         ":d=" + std::to_string(seconds),
                                     "-ac", std::to_string(channels)};
    args.insert(args.end(), encoder.begin(), encoder.end());
    args.push_back(target);
    return fixtures::Ffmpeg(args);
}

// Where, near `expected` seconds, the pitch changes from `before` to `after` Hz: the
// rising zero crossing that best splits the periods around it into the two pitches.
std::optional<double> FindPitchChange(const std::vector<std::int16_t>& samples, int rate, double expected,
                                      int before, int after)
{
    std::vector<double> crossings;
    const std::size_t from = std::size_t(std::max(0.0, (expected - 0.15) * rate));
    const std::size_t to = std::min(samples.size(), std::size_t((expected + 0.15) * rate));
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to; ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0)
            crossings.push_back(double(i - 1) + double(samples[i - 1]) / double(samples[i - 1] - samples[i]));
    }
    if (crossings.size() < 10)
        return std::nullopt;
    // Classify each period between crossings as the lower or the higher pitch.
    std::vector<bool> isAfter;
    for (std::size_t i = 1; i < crossings.size(); ++i) {
        const double frequency = rate / (crossings[i] - crossings[i - 1]);
        isAfter.push_back(std::abs(frequency - after) < std::abs(frequency - before));
    }
    std::size_t best = 0, bestCost = SIZE_MAX;
    for (std::size_t split = 0; split <= isAfter.size(); ++split) {
        std::size_t cost = 0;
        for (std::size_t i = 0; i < isAfter.size(); ++i)
            cost += (i < split) == isAfter[i];
        if (cost < bestCost) {
            bestCost = cost;
            best = split;
        }
    }
    return crossings[best] / rate;
}

bool HasTemporaryFiles(const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(".av-", 0) == 0)
            return true;
    }
    return false;
}

// One line of text for a window: a message, one line break at its end.
void ExpectOneLine(const ToolResult& r, const std::string& wanted)
{
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.standardError, wanted + "\n");
    EXPECT_TRUE(r.standardOutput.empty());
}

// --- formats: both command lines on each kind of source -------------------------------

struct SourceKind {
    const char* name;       // test name and file name
    const char* extension;
    int rate;
    int channels;
    std::vector<std::string> encoder;
};

std::ostream& operator<<(std::ostream& out, const SourceKind& kind) { return out << kind.name; }

class FormatTest : public ::testing::TestWithParam<SourceKind> {
protected:
    static void SetUpTestSuite() { dir_ = new fixtures::ScratchDir; }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    std::string Source()
    {
        const SourceKind& kind = GetParam();
        const std::string path = dir_->file(std::string(kind.name) + kind.extension);
        if (!fs::exists(path)) {
            EXPECT_TRUE(fixtures::MakeTone(path, 4, kind.rate, kind.channels, kind.encoder));
        }
        return path;
    }
    static fixtures::ScratchDir* dir_;
};
fixtures::ScratchDir* FormatTest::dir_ = nullptr;

TEST_P(FormatTest, Mp3LineWritesConstantBitRateMp3WithXingHeader)
{
    const std::string target = dir_->file(std::string(GetParam().name) + " out.mp3");
    const ToolResult r = RunAv(Mp3Line(Source(), "00:00:01", "00:00:02", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_TRUE(r.standardError.empty());

    const int rate = av::NearestAllowed(GetParam().rate, av::Mp3SampleRates());
    const AudioFile output = ReadAudio(target);
    EXPECT_EQ(output.format, "mp3");
    EXPECT_EQ(output.codec, "mp3float");
    EXPECT_EQ(output.channels, 2);
    EXPECT_EQ(output.sampleRate, rate);

    // The first frame is the Xing/Info frame with the LAME extension; every frame
    // after it is 64 kbit/s at the chosen rate.
    const std::string bytes = ReadFile(target);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    auto first = av::ParseMpegFrameHeader(data);
    ASSERT_TRUE(first);
    auto tag = av::ParseLameTag(data, first->frameBytes);
    ASSERT_TRUE(tag);
    std::size_t pos = std::size_t(first->frameBytes);
    std::int64_t frames = 0;
    while (pos + 4 <= bytes.size()) {
        auto h = av::ParseMpegFrameHeader(data + pos);
        ASSERT_TRUE(h) << "no frame at " << pos;
        EXPECT_EQ(h->bitRate, 64000);
        EXPECT_EQ(h->sampleRate, rate);
        pos += std::size_t(h->frameBytes);
        ++frames;
    }
    EXPECT_EQ(pos, bytes.size());
    EXPECT_EQ(tag->frames, frames);

    // Decoded with the delay and padding of the LAME tag, it lasts 2 s to the sample
    // (one frame of tolerance).
    EXPECT_NEAR(double(output.samples.size()), 2.0 * rate, first->samples);
}

TEST_P(FormatTest, AmrLineWritesAmrAt12k2)
{
    const std::string target = dir_->file(std::string(GetParam().name) + " out.amr");
    const ToolResult r = RunAv(AmrLine(Source(), "00:00:01", "00:00:02", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;

    const AudioFile output = ReadAudio(target);
    EXPECT_EQ(output.format, "amr");
    EXPECT_EQ(output.codec, "amrnb");
    EXPECT_EQ(output.channels, 1);
    EXPECT_EQ(output.sampleRate, 8000);
    EXPECT_NEAR(double(output.samples.size()), 2.0 * 8000, 160);

    // "#!AMR\n", then frames of 32 bytes whose first byte says mode 7 (12.2 kbit/s).
    const std::string bytes = ReadFile(target);
    ASSERT_EQ(bytes.substr(0, 6), "#!AMR\n");
    ASSERT_EQ((bytes.size() - 6) % 32, 0u);
    for (std::size_t pos = 6; pos < bytes.size(); pos += 32)
        ASSERT_EQ(std::uint8_t(bytes[pos]), (av::AmrNbMode(12200) << 3) | 0x04) << pos;
    const std::size_t frames = (bytes.size() - 6) / 32;
    EXPECT_NEAR(double(frames), 100.0, 1.0);   // 2 s of 20 ms frames
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FormatTest,
    ::testing::Values(SourceKind{"Mp3Cbr44100Stereo", ".mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}},
                      SourceKind{"Mp3Vbr48000Stereo", ".mp3", 48000, 2, {"-c:a", "libmp3lame", "-q:a", "5"}},
                      SourceKind{"Mp3Cbr22050Mono", ".mp3", 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k"}},
                      SourceKind{"Wav22050Mono", ".wav", 22050, 1, {}},
                      SourceKind{"Wav48000Stereo", ".wav", 48000, 2, {}},
                      SourceKind{"Wma44100Stereo", ".wma", 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"}},
                      SourceKind{"Flac96000Stereo", ".flac", 96000, 2, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- where the cut starts --------------------------------------------------------------

struct CutCase {
    const char* source;      // a pitch fixture, see PitchTest::SetUpTestSuite
    const char* start;
    int startSecond;
    bool amr;
};

std::ostream& operator<<(std::ostream& out, const CutCase& c)
{
    return out << c.source << " at " << c.start << (c.amr ? " to AMR" : " to MP3");
}

class PitchTest : public ::testing::TestWithParam<CutCase> {
protected:
    static constexpr int kSeconds = 16;
    static void SetUpTestSuite()
    {
        dir_ = new fixtures::ScratchDir;
        const std::vector<std::string> mp3 = {"-c:a", "libmp3lame"};
        auto with = [&](std::vector<std::string> extra) {
            std::vector<std::string> args = mp3;
            args.insert(args.end(), extra.begin(), extra.end());
            return args;
        };
        ok_ = MakePitchFixture(dir_->file("cbr.mp3"), kSeconds, 44100, 2, with({"-b:a", "128k"})) &&
              MakePitchFixture(dir_->file("vbr.mp3"), kSeconds, 44100, 2, with({"-q:a", "4"})) &&
              MakePitchFixture(dir_->file("noxing.mp3"), kSeconds, 44100, 2, with({"-b:a", "96k", "-write_xing", "0"})) &&
              MakePitchFixture(dir_->file("mpeg2.mp3"), kSeconds, 22050, 1, with({"-b:a", "32k"})) &&
              MakePitchFixture(dir_->file("pcm.wav"), kSeconds, 48000, 2, {}) &&
              MakePitchFixture(dir_->file("wma.wma"), kSeconds, 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"});
        // Junk in the stream (2000 zero bytes at 30 %): frames cannot be counted past
        // it, and decoding from the beginning loses the frames it covers.
        std::string bytes = ReadFile(dir_->file("cbr.mp3"));
        if (bytes.size() > 10000)
            bytes.replace(bytes.size() * 3 / 10, 2000, 2000, '\0');
        fixtures::WriteFile(dir_->file("junk.mp3"), bytes);
    }
    static void TearDownTestSuite()
    {
        decoded_.clear();
        delete dir_;
        dir_ = nullptr;
    }
    // A source decoded from its beginning, the reference for every cut (made once).
    static const AudioFile& Decoded(const std::string& name)
    {
        auto it = decoded_.find(name);
        if (it == decoded_.end())
            it = decoded_.emplace(name, ReadAudio(dir_->file(name))).first;
        return it->second;
    }

    static fixtures::ScratchDir* dir_;
    static bool ok_;
    static std::map<std::string, AudioFile> decoded_;
};
fixtures::ScratchDir* PitchTest::dir_ = nullptr;
bool PitchTest::ok_ = false;
std::map<std::string, AudioFile> PitchTest::decoded_;

// The output must start on the sample of the source (as decoding the source from its
// beginning places it) that the start names, within 5 ms.
TEST_P(PitchTest, CutStartsOnTheSample)
{
    ASSERT_TRUE(ok_);
    const CutCase& c = GetParam();
    const std::string source = dir_->file(c.source);
    const std::string target = dir_->file(std::string("cut") + (c.amr ? ".amr" : ".mp3"));
    const ToolResult r = RunAv(c.amr ? AmrLine(source, c.start, "00:00:03", target)
                                     : Mp3Line(source, c.start, "00:00:03", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;

    const AudioFile cut = ReadAudio(target);
    const int outputRate = cut.sampleRate;
    const auto& output = cut.samples;
    const int second = c.startSecond + 1;
    const AudioFile& whole = Decoded(c.source);
    const auto reference = FindPitchChange(whole.samples, whole.sampleRate, second, PitchAt(second - 1), PitchAt(second));
    const auto found = FindPitchChange(output, outputRate, 1.0, PitchAt(second - 1), PitchAt(second));
    ASSERT_TRUE(reference && found);
    EXPECT_NEAR(*found, *reference - c.startSecond, 0.005);
    // The second after it has the next pitch: the cut is not a whole second off.
    const auto next = FindPitchChange(output, outputRate, 2.0, PitchAt(second), PitchAt(second + 1));
    ASSERT_TRUE(next);
    EXPECT_NEAR(*next, *reference - c.startSecond + 1, 0.005);
    const int frame = c.amr ? 160 : 1152;
    EXPECT_NEAR(double(output.size()), 3.0 * outputRate, frame);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, PitchTest,
    ::testing::Values(CutCase{"cbr.mp3", "00:00:00", 0, false}, CutCase{"cbr.mp3", "00:00:01", 1, false},
                      CutCase{"cbr.mp3", "00:00:11", 11, false}, CutCase{"cbr.mp3", "00:00:11", 11, true},
                      CutCase{"vbr.mp3", "00:00:11", 11, false}, CutCase{"noxing.mp3", "00:00:09", 9, false},
                      CutCase{"junk.mp3", "00:00:11", 11, false},
                      CutCase{"mpeg2.mp3", "00:00:12", 12, false}, CutCase{"mpeg2.mp3", "00:00:12", 12, true},
                      CutCase{"pcm.wav", "00:00:00", 0, true}, CutCase{"pcm.wav", "00:00:10", 10, false},
                      CutCase{"wma.wma", "00:00:02", 2, false}, CutCase{"wma.wma", "00:00:12", 12, true}));

// A negative start is taken as 0 with the same end; a length past the end stops there.
TEST_F(PitchTest, NegativeStartAndEndOfSource)
{
    ASSERT_TRUE(ok_);
    const std::string target = dir_->file("edge.mp3");
    for (const char* source : {"cbr.mp3", "pcm.wav", "vbr.mp3"}) {
        SCOPED_TRACE(source);
        ToolResult r = RunAv(Mp3Line(dir_->file(source), "00:00:-01", "00:00:03", target));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        AudioFile cut = ReadAudio(target);
        const int rate = cut.sampleRate;
        auto output = cut.samples;
        EXPECT_NEAR(double(output.size()), 2.0 * rate, 1152);
        auto change = FindPitchChange(output, rate, 1.0, PitchAt(0), PitchAt(1));
        ASSERT_TRUE(change);
        EXPECT_NEAR(*change, 1.0, 0.005);

        // 14 s into a 16 s source, for 10 s: the last 2 s, exactly as long as decoding
        // the whole source gives. The LAME tags make both lengths exact, so the padding
        // at the source's end, which must be left out after a jump too, would show.
        r = RunAv(Mp3Line(dir_->file(source), "00:00:14", "00:00:10", target));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        const double sourceSeconds = double(Decoded(source).samples.size()) / Decoded(source).sampleRate;
        output = ReadAudio(target).samples;
        EXPECT_NEAR(double(output.size()), (sourceSeconds - 14) * rate, 2);
    }
}

// --- cuts late in longer MP3 files: the frame is found by a jump --------------------

// Three-minute pitch fixtures at 256 kbit/s, long enough that the frame locator jumps to a
// late cut instead of walking to it: one of constant rate (an Info frame) and one of
// variable rate (a Xing frame; LAME with 256 kbit/s as its least rate).
class LongSourceCutTest : public ::testing::TestWithParam<const char*> {
protected:
    static constexpr int kSeconds = 180;
    static void SetUpTestSuite()
    {
        dir_ = new fixtures::ScratchDir;
        ok_ = MakePitchFixture(dir_->file("cbr.mp3"), kSeconds, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "256k"}) &&
              MakePitchFixture(dir_->file("pitch.wav"), kSeconds, 44100, 2, {}) &&
              RunTool({"lame", "--quiet", "-V", "0", "-b", "256", dir_->file("pitch.wav"), dir_->file("vbr.mp3")})
                      .exitCode == 0;
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static fixtures::ScratchDir* dir_;
    static bool ok_;
};
fixtures::ScratchDir* LongSourceCutTest::dir_ = nullptr;
bool LongSourceCutTest::ok_ = false;

TEST_P(LongSourceCutTest, LateCutStartsOnTheSampleAndEndsWithTheSource)
{
    ASSERT_TRUE(ok_);
    const std::string source = dir_->file(GetParam());
    const std::string target = dir_->file("cut.mp3");

    // The frame half a second before 00:02:50 is found by a jump, not by the walk.
    const auto probe = RunTool({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "packet=pos",
                                "-read_intervals", "%+#1", "-of", "csv=p=0", source});
    ASSERT_EQ(probe.exitCode, 0);
    const std::int64_t first = std::stoll(probe.standardOutput);
    av::MpegLocateReport report;
    const auto search = av::LocateMpegFrame(source, first, std::int64_t(169.5 * 44100) / 1152, &report);
    EXPECT_EQ(search.result, av::MpegFrameSearch::Found);
    EXPECT_TRUE(report.method == av::MpegLocateMethod::ConstantRate ||
                report.method == av::MpegLocateMethod::FromTheEnd);

    ToolResult r = RunAv(Mp3Line(source, "00:02:50", "00:00:03", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    const AudioFile whole = ReadAudio(source);
    std::vector<std::int16_t> output = ReadAudio(target).samples;
    const int second = 171;
    const auto reference = FindPitchChange(whole.samples, whole.sampleRate, second, PitchAt(second - 1), PitchAt(second));
    const auto found = FindPitchChange(output, 44100, 1.0, PitchAt(second - 1), PitchAt(second));
    ASSERT_TRUE(reference && found);
    EXPECT_NEAR(*found, *reference - 170, 0.005);

    // Two seconds before the end, for ten: as long as decoding the whole source leaves.
    r = RunAv(Mp3Line(source, "00:02:58", "00:00:10", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    output = ReadAudio(target).samples;
    EXPECT_NEAR(double(output.size()), double(whole.samples.size()) - 178.0 * 44100, 2);
}

INSTANTIATE_TEST_SUITE_P(Jumps, LongSourceCutTest, ::testing::Values("cbr.mp3", "vbr.mp3"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 3);
                         });

// --- ringtones for phones of today: M4R and Ogg, fades and loudness --------------------

std::vector<std::string> M4rLine(const std::string& source, const std::string& start, const std::string& length,
                                 const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-f", "ipod", "-acodec", "aac",
            "-ab", "128", "-ac", "2", "-ar", "44100", target};
}
std::vector<std::string> OggLine(const std::string& source, const std::string& start, const std::string& length,
                                 const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-f", "ogg", "-acodec", "libvorbis",
            "-ab", "128", "-ac", "2", "-ar", "44100", target};
}

// One kind of output: its command line, its extension and what reading it back shows.
struct OutputKind {
    const char* name;
    std::vector<std::string> (*line)(const std::string&, const std::string&, const std::string&, const std::string&);
    const char* extension;
    const char* format;
    const char* codec;
    int lengthTolerance;   // samples: the AAC decoder gives the last block whole
};

std::ostream& operator<<(std::ostream& out, const OutputKind& kind) { return out << kind.name; }

const OutputKind kM4r{"M4r", M4rLine, ".m4r", "mov,mp4,m4a,3gp,3g2,mj2", "aac", 1024};
const OutputKind kOgg{"Ogg", OggLine, ".ogg", "ogg", "vorbis", 0};
const OutputKind kMp3{"Mp3", Mp3Line, ".mp3", "mp3", "mp3float", 1152};

// The line with options added just before the target, as the export adds them.
std::vector<std::string> WithOptions(std::vector<std::string> line, const std::vector<std::string>& options)
{
    line.insert(line.end() - 1, options.begin(), options.end());
    return line;
}

// What ffprobe tells of a file: one "key=value" a line.
std::string ProbeText(const std::string& path, const std::string& entries)
{
    return RunTool({"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=noprint_wrappers=1", path})
        .standardOutput;
}

struct RingtoneCase {
    const char* source;   // a pitch fixture, see RingtoneTest::SetUpTestSuite
    OutputKind output;
};

std::ostream& operator<<(std::ostream& out, const RingtoneCase& c) { return out << c.source << " to " << c.output.name; }

class RingtoneTest : public ::testing::TestWithParam<RingtoneCase> {
protected:
    static constexpr int kSeconds = 12;
    static void SetUpTestSuite()
    {
        dir_ = new fixtures::ScratchDir;
        ok_ = MakePitchFixture(dir_->file("mp3.mp3"), kSeconds, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}) &&
              MakePitchFixture(dir_->file("wav.wav"), kSeconds, 48000, 2, {}) &&
              MakePitchFixture(dir_->file("mono.wav"), kSeconds, 22050, 1, {}) &&
              MakePitchFixture(dir_->file("flac.flac"), kSeconds, 96000, 2, {}) &&
              MakePitchFixture(dir_->file("wma.wma"), kSeconds, 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"});
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static fixtures::ScratchDir* dir_;
    static bool ok_;
};
fixtures::ScratchDir* RingtoneTest::dir_ = nullptr;
bool RingtoneTest::ok_ = false;

// Container, encoder, rate, channels, length and where the cut starts, from each kind
// of source; with fades and loudness on, the start and the length stay.
TEST_P(RingtoneTest, WritesTheFormatFromTheExactStart)
{
    ASSERT_TRUE(ok_);
    const RingtoneCase& c = GetParam();
    const std::string source = dir_->file(c.source);
    const AudioFile whole = ReadAudio(source);
    const auto reference = FindPitchChange(whole.samples, whole.sampleRate, 6, PitchAt(5), PitchAt(6));
    ASSERT_TRUE(reference);
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, std::vector<std::string>{"-fade", "500", "-loudness", "-14"}}) {
        SCOPED_TRACE(options.size());
        const std::string target = dir_->file(std::string("cut") + c.output.extension);
        const ToolResult r = RunAv(WithOptions(c.output.line(source, "00:00:05", "00:00:03", target), options));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        EXPECT_TRUE(r.standardError.empty());

        const AudioFile cut = ReadAudio(target);
        EXPECT_EQ(cut.format, c.output.format);
        EXPECT_EQ(cut.codec, c.output.codec);
        EXPECT_EQ(cut.channels, 2);
        EXPECT_EQ(cut.sampleRate, 44100);
        EXPECT_GE(double(cut.samples.size()), 3.0 * 44100);
        EXPECT_LE(double(cut.samples.size()), 3.0 * 44100 + c.output.lengthTolerance);
        const auto found = FindPitchChange(cut.samples, 44100, 1.0, PitchAt(5), PitchAt(6));
        ASSERT_TRUE(found);
        EXPECT_NEAR(*found, *reference - 5, 0.005);
        const auto next = FindPitchChange(cut.samples, 44100, 2.0, PitchAt(6), PitchAt(7));
        ASSERT_TRUE(next);
        EXPECT_NEAR(*next, *reference - 4, 0.005);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, RingtoneTest,
    ::testing::Values(RingtoneCase{"mp3.mp3", kM4r}, RingtoneCase{"wav.wav", kM4r}, RingtoneCase{"mono.wav", kM4r},
                      RingtoneCase{"flac.flac", kM4r}, RingtoneCase{"wma.wma", kM4r}, RingtoneCase{"mp3.mp3", kOgg},
                      RingtoneCase{"wav.wav", kOgg}, RingtoneCase{"mono.wav", kOgg}, RingtoneCase{"flac.flac", kOgg},
                      RingtoneCase{"wma.wma", kOgg}),
    [](const auto& info) {
        std::string name = std::string(info.param.source) + "To" + info.param.output.name;
        name.erase(std::remove(name.begin(), name.end(), '.'), name.end());
        return name;
    });

// A WAV file tells no channel layout, only a channel count. Resampled from 48 kHz, its
// sine must come out whole: no break where one decoded block ends and the next begins
// (a resampler started afresh for every block drops and adds samples there, and the
// sine then no longer fits: over 60 % of its amplitude is left).
TEST(RingtoneFile, ResampledWavIsContinuousAcrossBlocks)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("sine48k.wav");
    ASSERT_EQ(RunTool({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=500:sample_rate=48000:duration=4",
                       "-ac", "2", "-c:a", "pcm_s16le", source})
                  .exitCode,
              0);
    for (const OutputKind& kind : {kOgg, kM4r}) {
        SCOPED_TRACE(kind.name);
        const std::string target = dir.file(std::string("cut") + kind.extension);
        const ToolResult r = RunAv(kind.line(source, "00:00:01", "00:00:02", target));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        const std::vector<std::int16_t> out = ReadAudio(target).samples;
        ASSERT_GT(out.size(), 60000u);
        // The sine fitted over the middle (least squares at its known frequency); what
        // is left is the coding noise, far below the sine, unless the sine breaks.
        const double w = 2 * M_PI * 500 / 44100;
        double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
        const std::size_t from = 4410, to = out.size() - 4410;
        for (std::size_t i = from; i < to; ++i) {
            const double s = std::sin(w * double(i)), c = std::cos(w * double(i)), y = out[i];
            ss += s * s; sc += s * c; cc += c * c; ys += y * s; yc += y * c;
        }
        const double det = ss * cc - sc * sc;
        const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
        const double amplitude = std::hypot(a, b);
        double worst = 0;
        for (std::size_t i = from; i < to; ++i)
            worst = std::max(worst, std::abs(out[i] - a * std::sin(w * double(i)) - b * std::cos(w * double(i))));
        ASSERT_GT(amplitude, 1000);
        EXPECT_LT(worst / amplitude, 0.1);
    }
}

// The phone's own tools take an MPEG-4 audio file of brand "M4A " with AAC-LC at 128 kbit/s
// whose edit list skips the encoder's delay; the Ogg file carries no loop tag.
TEST(RingtoneFile, M4rIsAnAppleAudioFileAndOggHasNoLoopTag)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(source, 6, 48000, 1));
    const std::string m4r = dir.file("ring.m4r"), ogg = dir.file("ring.ogg");
    ASSERT_EQ(RunAv(M4rLine(source, "00:00:01", "00:00:04", m4r)).exitCode, 0);
    ASSERT_EQ(RunAv(OggLine(source, "00:00:01", "00:00:04", ogg)).exitCode, 0);

    const std::string m4rProbe = ProbeText(m4r, "format_tags=major_brand:stream=codec_name,profile,bit_rate");
    EXPECT_NE(m4rProbe.find("TAG:major_brand=M4A \n"), std::string::npos) << m4rProbe;
    EXPECT_NE(m4rProbe.find("profile=LC\n"), std::string::npos) << m4rProbe;
    const auto bitRate = m4rProbe.find("bit_rate=");
    ASSERT_NE(bitRate, std::string::npos);
    EXPECT_NEAR(std::stod(m4rProbe.substr(bitRate + 9)), 128000, 16000);
    // The edit list starts the media 1024 samples in, after the AAC encoder's delay.
    const std::string bytes = ReadFile(m4r);
    const auto elst = bytes.find("elst");
    ASSERT_NE(elst, std::string::npos);
    const auto* entry = reinterpret_cast<const std::uint8_t*>(bytes.data() + elst + 12);
    const std::uint32_t mediaTime = std::uint32_t(entry[4]) << 24 | entry[5] << 16 | entry[6] << 8 | entry[7];
    EXPECT_EQ(mediaTime, 1024u);

    const std::string oggProbe = ProbeText(ogg, "format_tags:stream_tags:stream=codec_name,channels,sample_rate");
    EXPECT_NE(oggProbe.find("codec_name=vorbis"), std::string::npos) << oggProbe;
    std::string upper = oggProbe;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char ch) { return char(std::toupper(ch)); });
    EXPECT_EQ(upper.find("LOOP"), std::string::npos) << oggProbe;
}

// A source made of a cosine, so that an unfaded cut starts and ends on a loud sample.
bool MakeCosineFixture(const std::string& target, double amplitude, int seconds)
{
    return fixtures::Ffmpeg({"-f", "lavfi", "-i",
                             "aevalsrc=" + std::to_string(amplitude) + "*cos(2*PI*440*t):s=44100:d=" +
                                 std::to_string(seconds),
                             "-ac", "2", target});
}

double RmsOf(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = from; i < from + count && i < samples.size(); ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(count));
}

class FadeTest : public ::testing::TestWithParam<OutputKind> {};

// -60 dBFS in 16-bit samples.
constexpr double kSixtyDecibelsDown = 32768 * 0.001;

TEST_P(FadeTest, BothEndsStartAndEndInSilenceAndTheMiddleKeepsItsLevel)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("cosine.wav");
    ASSERT_TRUE(MakeCosineFixture(source, 0.5, 8));
    const OutputKind& kind = GetParam();
    const std::string plain = dir.file(std::string("plain") + kind.extension);
    const std::string faded = dir.file(std::string("faded") + kind.extension);
    ASSERT_EQ(RunAv(kind.line(source, "00:00:02", "00:00:04", plain)).exitCode, 0);
    const ToolResult r = RunAv(WithOptions(kind.line(source, "00:00:02", "00:00:04", faded), {"-fade", "500"}));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;

    const std::vector<std::int16_t> before = ReadAudio(plain).samples, after = ReadAudio(faded).samples;
    const std::size_t length = 4 * 44100;   // the selection; an AAC file's padding lies after it
    ASSERT_GE(after.size(), length);
    ASSERT_GE(before.size(), length);
    auto loudestOf = [](const std::vector<std::int16_t>& s, std::size_t from, std::size_t count) {
        int loudest = 0;
        for (std::size_t i = from; i < from + count; ++i)
            loudest = std::max(loudest, std::abs(int(s[i])));
        return loudest;
    };
    // Unfaded, the cut starts and ends loud: the test would see a missing fade.
    EXPECT_GT(loudestOf(before, 0, 2), 1000);
    EXPECT_GT(loudestOf(before, length - 2, 2), 1000);
    EXPECT_LE(loudestOf(after, 0, 2), kSixtyDecibelsDown);
    EXPECT_LE(loudestOf(after, length - 2, 2), kSixtyDecibelsDown);
    // Half way through the fade in it is about half as loud; a second in, as loud as the source.
    EXPECT_NEAR(RmsOf(after, 11025 - 441, 882) / RmsOf(before, 11025 - 441, 882), 0.5, 0.1);
    EXPECT_NEAR(RmsOf(after, length - 11025 - 441, 882) / RmsOf(before, length - 11025 - 441, 882), 0.5, 0.1);
    EXPECT_NEAR(RmsOf(after, 44100, 4410) / RmsOf(before, 44100, 4410), 1.0, 0.02);
    EXPECT_NEAR(RmsOf(after, length - 44100 - 4410, 4410) / RmsOf(before, length - 44100 - 4410, 4410), 1.0, 0.02);
}

INSTANTIATE_TEST_SUITE_P(Outputs, FadeTest, ::testing::Values(kM4r, kOgg, kMp3),
                         [](const auto& info) { return std::string(info.param.name); });

// Integrated loudness and true peak as ffmpeg's own EBU R128 meter measures them.
struct Loudness {
    double integrated = 0;
    double truePeak = 0;
};

std::optional<Loudness> MeasureLoudness(const std::string& path)
{
    const ToolResult r = RunTool({"ffmpeg", "-hide_banner", "-nostats", "-i", path, "-af", "ebur128=peak=true",
                                  "-f", "null", "-"});
    const std::string& text = r.standardError;
    const auto summary = text.rfind("Summary:");
    if (r.exitCode != 0 || summary == std::string::npos)
        return std::nullopt;
    const auto integrated = text.find("I:", summary);
    const auto peak = text.find("Peak:", summary);
    if (integrated == std::string::npos || peak == std::string::npos)
        return std::nullopt;
    return Loudness{std::stod(text.substr(integrated + 2)), std::stod(text.substr(peak + 5))};
}

struct LoudCase {
    const char* name;
    const char* filter;    // the source: lavfi audio of 10 s, stereo
    bool peakBound;        // the true peak keeps it from reaching -14 LUFS
};

std::ostream& operator<<(std::ostream& out, const LoudCase& c) { return out << c.name; }

class LoudnessTest : public ::testing::TestWithParam<std::tuple<LoudCase, OutputKind>> {};

TEST_P(LoudnessTest, ReachesMinus14LufsWithTruePeakAtMostMinus1)
{
    const auto& [loud, kind] = GetParam();
    fixtures::ScratchDir dir;
    const std::string source = dir.file("source.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", loud.filter, "-ac", "2", "-ar", "44100", source}));
    const std::string plain = dir.file(std::string("plain") + kind.extension);
    const std::string target = dir.file(std::string("loud") + kind.extension);
    ASSERT_EQ(RunAv(kind.line(source, "00:00:01", "00:00:08", plain)).exitCode, 0);
    const ToolResult r = RunAv(WithOptions(kind.line(source, "00:00:01", "00:00:08", target), {"-loudness", "-14"}));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;

    const auto before = MeasureLoudness(plain);
    const auto after = MeasureLoudness(target);
    ASSERT_TRUE(before && after);
    EXPECT_GT(std::abs(before->integrated + 14), 3) << "the source is already at the target";
    EXPECT_LE(after->truePeak, -1.0);
    if (loud.peakBound) {
        EXPECT_LT(after->integrated, -14.5);
        EXPECT_GT(after->truePeak, -3.0) << "raised until the peak stops it";
    } else {
        EXPECT_NEAR(after->integrated, -14, 0.5);
    }
    EXPECT_NEAR(double(ReadAudio(target).samples.size()), 8.0 * 44100, kind.lengthTolerance + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, LoudnessTest,
    ::testing::Combine(
        ::testing::Values(LoudCase{"Quiet", "aevalsrc=0.02*sin(2*PI*440*t):s=44100:d=10", false},
                          LoudCase{"Loud", "aevalsrc=0.9*sin(2*PI*440*t)*(0.6+0.4*sin(2*PI*3*t)):s=44100:d=10", false},
                          LoudCase{"Peaky", "aevalsrc=0.01*sin(2*PI*440*t)+0.9*lt(mod(t\\,1)\\,0.002)*sin(2*PI*1000*t):s=44100:d=10", true}),
        ::testing::Values(kM4r, kOgg, kMp3)),
    [](const auto& info) { return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name; });

// --- failures --------------------------------------------------------------------------

class FailureTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixtures::MakeTone(source_, 3, 22050, 1)); }
    fixtures::ScratchDir dir_;
    const std::string source_ = dir_.file("tone.wav");
};

TEST_F(FailureTest, EmptySelectionsWriteNothing)
{
    const std::string target = dir_.file("ring.mp3");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:01", "00:00:00", target)), "The selection is empty");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:01", "00:00:-01", target)), "The selection is empty");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:-05", "00:00:05", target)), "The selection is empty");
    ExpectOneLine(RunAv(AmrLine(source_, "00:00:03", "00:00:05", dir_.file("ring.amr"))),
                  "The selection is empty: the start lies beyond the end of the source");
    ExpectOneLine(RunAv(Mp3Line(source_, "01:00:00", "00:00:05", target)),
                  "The selection is empty: the start lies beyond the end of the source");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(dir_.file("ring.amr")));
    EXPECT_FALSE(HasTemporaryFiles(dir_.path()));
}

TEST_F(FailureTest, ExistingTargetIsReplacedOnSuccessAndKeptOnFailure)
{
    const std::string target = dir_.file("ring.mp3");
    fixtures::WriteFile(target, "an older ringtone");
    chmod(target.c_str(), 0640);

    ASSERT_EQ(RunAv(Mp3Line(source_, "00:00:04", "00:00:01", target)).exitCode, 1);
    EXPECT_EQ(ReadFile(target), "an older ringtone");
    ASSERT_EQ(RunAv(Mp3Line(dir_.file("missing.wav"), "00:00:00", "00:00:01", target)).exitCode, 1);
    EXPECT_EQ(ReadFile(target), "an older ringtone");
    EXPECT_FALSE(HasTemporaryFiles(dir_.path()));

    const ToolResult r = RunAv(Mp3Line(source_, "00:00:00", "00:00:01", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_EQ(ReadAudio(target).codec, "mp3float");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);   // the replaced file's permissions stay
    EXPECT_FALSE(HasTemporaryFiles(dir_.path()));
}

// M4R and Ogg ringtones fail as the others do, with fades and loudness on too: the
// earlier file stays whole, no temporary file is left, and a success replaces it.
TEST_F(FailureTest, RingtonesKeepTheEarlierFileOnFailure)
{
    for (const OutputKind& kind : {kM4r, kOgg}) {
        SCOPED_TRACE(kind.name);
        const std::string target = dir_.file(std::string("ring") + kind.extension);
        fixtures::WriteFile(target, "an older ringtone");
        const std::vector<std::string> options = {"-fade", "500", "-loudness", "-14"};
        ExpectOneLine(RunAv(WithOptions(kind.line(source_, "00:00:04", "00:00:01", target), options)),
                      "The selection is empty: the start lies beyond the end of the source");
        EXPECT_EQ(ReadFile(target), "an older ringtone");
        const ToolResult missing = RunAv(WithOptions(kind.line(dir_.file("missing.wav"), "00:00:00", "00:00:01", target), options));
        EXPECT_NE(missing.exitCode, 0);
        EXPECT_NE(missing.standardError.find("missing.wav"), std::string::npos) << missing.standardError;
        EXPECT_EQ(ReadFile(target), "an older ringtone");
        EXPECT_FALSE(HasTemporaryFiles(dir_.path()));

        const ToolResult r = RunAv(WithOptions(kind.line(source_, "00:00:00", "00:00:02", target), options));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        EXPECT_EQ(ReadAudio(target).codec, kind.codec);
        EXPECT_FALSE(HasTemporaryFiles(dir_.path()));
    }
}

TEST_F(FailureTest, OddPathsAreTakenAsTheyStand)
{
    // Spaces, quotes, letters beyond ASCII, a leading "-" and a name that FFmpeg would
    // read as a protocol ("pipe:" would be standard input) if it were not a file name.
    const std::string odd = "-a \"quoted\" 'name' Grüße ñ.wav";
    ASSERT_TRUE(fixtures::MakeTone(dir_.file(odd), 2, 44100, 2));
    for (const std::string& target : {std::string("-ring \"tone\" é.mp3"), std::string("-ss")}) {
        const ToolResult r = RunAv(Mp3Line(dir_.file(odd), "00:00:00", "00:00:01", dir_.file(target)));
        ASSERT_EQ(r.exitCode, 0) << r.standardError;
        EXPECT_EQ(ReadAudio(dir_.file(target)).codec, "mp3float");
    }

    ASSERT_TRUE(fixtures::MakeTone(dir_.file("pipe:0"), 2, 44100, 2, {"-f", "wav"}));
    const std::string previous = fs::current_path();
    fs::current_path(dir_.path());
    const ToolResult r = RunAv(AmrLine("pipe:0", "00:00:00", "00:00:01", "file:ring.amr"));
    fs::current_path(previous);
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_EQ(ReadAudio(dir_.file("file:ring.amr")).codec, "amrnb");
}

TEST_F(FailureTest, FailuresAreToldInOneLine)
{
    const std::string target = dir_.file("ring.mp3");
    ExpectOneLine(RunAv({"-i", source_, "-zz", "1", target}), "Unknown option -zz");
    ExpectOneLine(RunAv({"-i", source_, "-t", target}), "Missing value for -t");
    ExpectOneLine(RunAv(Mp3Line(source_, "0:20", "00:00:01", target)),
                  "Bad time text \"0:20\" for -ss: expected HH:MM:SS");

    const std::string missing = dir_.file("no such.mp3");
    ExpectOneLine(RunAv(Mp3Line(missing, "00:00:00", "00:00:01", target)),
                  "Cannot read the source file \"" + missing + "\": No such file or directory");
    ExpectOneLine(RunAv(Mp3Line(dir_.path(), "00:00:00", "00:00:01", target)),
                  "Cannot read the source file \"" + dir_.path() + "\": Is a directory");
    const std::string fifo = dir_.file("fifo.mp3");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ExpectOneLine(RunAv(Mp3Line(fifo, "00:00:00", "00:00:01", target)),
                  "Cannot read the source file \"" + fifo + "\": It is not a regular file");

    const std::string text = dir_.file("notes.mp3");
    fixtures::WriteFile(text, "These are not sounds.\n");
    ExpectOneLine(RunAv(Mp3Line(text, "00:00:00", "00:00:01", target)),
                  "The source file \"" + text + "\" is not an audio file that can be read");
    // A film in a container that audio files use too (MP4) is opened and found silent;
    // one in a film-only container (Matroska) is not an audio file at all.
    const std::string video = dir_.file("picture.mp4");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48", "-c:v", "mpeg4", video}));
    ExpectOneLine(RunAv(Mp3Line(video, "00:00:00", "00:00:01", target)), "The source has no audio");
    const std::string film = dir_.file("picture.mkv");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "testsrc=d=1:s=64x48", "-c:v", "ffv1", film}));
    ExpectOneLine(RunAv(Mp3Line(film, "00:00:00", "00:00:01", target)),
                  "The source file \"" + film + "\" is not an audio file that can be read");
    const std::string silent = dir_.file("empty.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t", "0", silent}));
    ExpectOneLine(RunAv(Mp3Line(silent, "00:00:00", "00:00:01", target)),
                  "The source holds no audio that can be decoded");

    // Tests run as root, for whom every folder is writable; a folder that does not
    // exist and a path through a regular file are refused the same way.
    const std::string noFolder = dir_.file("no folder");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:00", "00:00:01", noFolder + "/ring.mp3")),
                  "Cannot write to the folder \"" + noFolder + "\": No such file or directory");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:00", "00:00:01", source_ + "/ring.mp3")),
                  "Cannot write to the folder \"" + source_ + "\": Not a directory");
    ExpectOneLine(RunAv(Mp3Line(source_, "00:00:00", "00:00:01", dir_.path())),
                  "Cannot replace the target file \"" + dir_.path() + "\": Is a directory");

    // A line break in a path cannot split the message.
    const std::string broken = dir_.file("two\nlines.mp3");
    ExpectOneLine(RunAv(Mp3Line(broken, "00:00:00", "00:00:01", target)),
                  "Cannot read the source file \"" + dir_.file("two?lines.mp3") + "\": No such file or directory");
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(HasTemporaryFiles(dir_.path()));
}

// --- hostile sources: lists, playlists, files of zeros -----------------------------------

// av run under a limit on its address space (so that gathering a file into memory fails
// instead of swapping), and killed after a generous time so that a hang fails the test
// instead of stalling it. Sanitizer builds reserve a vast address space: no limit there.
ToolResult RunAvGuarded(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"timeout", "-s", "KILL", "60"};
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    argv.insert(argv.end(), {"prlimit", "--as=" + std::to_string(384 << 20)});
#endif
    argv.push_back(AV_TOOL_PATH);
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv);
}

class HostileSourceTest : public ::testing::Test {
protected:
    fixtures::ScratchDir dir_;
    const std::string target_ = dir_.file("ring.mp3");
};

TEST_F(HostileSourceTest, ListsAndPlaylistsAreRefusedWithoutFollowingThem)
{
    ASSERT_TRUE(fixtures::MakeTone(dir_.file("other.mp3"), 2, 44100, 1));
    for (const fixtures::ListSource& list : fixtures::MakeListSources(dir_.path())) {
        SCOPED_TRACE(list.name + " -> " + list.entry);
        const std::string source = dir_.file(list.name);
        ExpectOneLine(RunAvGuarded(Mp3Line(source, "00:00:00", "00:00:01", target_)),
                      "The source file \"" + source + "\" is not an audio file that can be read");
        EXPECT_FALSE(fs::exists(target_));
    }
}

TEST_F(HostileSourceTest, FilesOfZerosAreRefusedWithinBoundedMemory)
{
    const std::string zeros = dir_.file("zeros.mp3");
    ASSERT_TRUE(fixtures::MakeSparseFile(zeros, off_t(4) << 30));
    ExpectOneLine(RunAvGuarded(Mp3Line(zeros, "00:00:00", "00:00:01", target_)),
                  "The source file \"" + zeros + "\" is not an audio file that can be read");

    // Three seconds of MP3 and then a gigabyte of zeros: a start past the audio is told as
    // such, and a start inside it is cut as from the plain file.
    const std::string song = dir_.file("song.mp3");
    ASSERT_TRUE(fixtures::MakeTone(song, 3, 44100, 1));
    ASSERT_EQ(truncate(song.c_str(), off_t(1) << 30), 0);
    ExpectOneLine(RunAvGuarded(Mp3Line(song, "00:00:10", "00:00:01", target_)),
                  "The selection is empty: the start lies beyond the end of the source");
    const ToolResult r = RunAvGuarded(Mp3Line(song, "00:00:01", "00:00:01", target_));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    const AudioFile cut = ReadAudio(target_);
    EXPECT_EQ(cut.codec, "mp3float");
    EXPECT_NEAR(double(cut.samples.size()) / cut.sampleRate, 1.0, 0.1);
    EXPECT_FALSE(HasTemporaryFiles(dir_.path()));
}

}  // namespace

namespace {

// Runs av with its progress channel: descriptor 7 opened on a file and named in
// AV_PROGRESS_FD; returns the lines written there.
std::vector<int> RunAvWithProgress(const std::vector<std::string>& args, const std::string& progressFile,
                                   ToolResult& result)
{
    std::vector<std::string> argv = {"sh", "-c", "AV_PROGRESS_FD=7 exec \"$@\" 7>\"$PROGRESS\"", "sh", AV_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    setenv("PROGRESS", progressFile.c_str(), 1);
    result = RunTool(argv);
    unsetenv("PROGRESS");
    std::vector<int> percentages;
    const std::string text = ReadFile(progressFile);
    std::size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        percentages.push_back(std::atoi(text.substr(start, end - start).c_str()));
        start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "every line ends with a line break";
    return percentages;
}

}  // namespace

TEST(ProgressChannel, TellsIncreasingPercentagesEndingAt100AndChangesNothingElse)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("long.wav");
    ASSERT_TRUE(fixtures::MakeTone(source, 120, 22050, 1));
    struct Case {
        const char* name;
        std::vector<std::string> (*line)(const std::string&, const std::string&, const std::string&,
                                         const std::string&);
        std::string length;
    };
    const Case cases[] = {
        {"ring.mp3", Mp3Line, "00:01:30"},
        {"ring.amr", AmrLine, "00:01:00"},
        {"tail.mp3", Mp3Line, "00:10:00"},   // runs past the end of the source
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string withChannel = dir.file(std::string("told-") + c.name);
        const std::string without = dir.file(c.name);
        ToolResult told;
        const std::vector<int> percentages =
            RunAvWithProgress(c.line(source, "00:00:10", c.length, withChannel), dir.file("progress"), told);
        ASSERT_EQ(told.exitCode, 0) << told.standardError;
        EXPECT_EQ(told.standardError, "");
        EXPECT_EQ(told.standardOutput, "");
        ASSERT_GE(percentages.size(), 10u) << "told now and then along the way";
        EXPECT_EQ(percentages.back(), 100);
        for (std::size_t i = 1; i < percentages.size(); ++i)
            EXPECT_GT(percentages[i], percentages[i - 1]);
        EXPECT_GE(percentages.front(), 0);
        EXPECT_GE(percentages[percentages.size() - 2], 90) << "the work is counted to its end";

        // Without the channel: the same file, nothing else written anywhere.
        const ToolResult plain = RunAv(c.line(source, "00:00:10", c.length, without));
        ASSERT_EQ(plain.exitCode, 0) << plain.standardError;
        EXPECT_EQ(plain.standardError, "");
        EXPECT_EQ(plain.standardOutput, "");
        EXPECT_EQ(ReadFile(without), ReadFile(withChannel));
    }
}

TEST(ProgressChannel, AFailedExportNeverTells100)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(source, 5, 8000, 1));
    ToolResult result;
    const std::vector<int> percentages =
        RunAvWithProgress(Mp3Line(source, "00:00:10", "00:00:05", dir.file("ring.mp3")), dir.file("progress"), result);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(std::find(percentages.begin(), percentages.end(), 100) == percentages.end());
}
