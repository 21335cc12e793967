// The parts of av that need no audio file: time texts, the command line, the selection,
// the encoders' allowed values, the MPEG frame headers, fades, gain and the loudness meter.
#include "encoder/CommandLine.h"
#include "encoder/FfmpegPtr.h"
#include "encoder/LevelShape.h"
#include "encoder/LoudnessMeter.h"
#include "encoder/MpegFrames.h"
#include "encoder/OutputChoice.h"
#include "encoder/Selection.h"
#include "encoder/TimeText.h"
#include "encoder/ToolError.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

using av::Codec;
using av::Container;

// --- time texts --------------------------------------------------------------------

struct TimeCase {
    const char* text;
    std::optional<std::int64_t> seconds;
};

class TimeTextTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTest, ReadsSeconds)
{
    EXPECT_EQ(av::ParseTimeText(GetParam().text), GetParam().seconds) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TimeTextTest,
    ::testing::Values(TimeCase{"00:00:20", 20}, TimeCase{"00:00:00", 0}, TimeCase{"01:00:00", 3600},
                      TimeCase{"00:59:59", 3599}, TimeCase{"100:00:00", 360000},
                      TimeCase{"00:00:-01", -1}, TimeCase{"-01:00:00", -3600},
                      TimeCase{"00:-01:30", -30}, TimeCase{"1:2:3", 3723}, TimeCase{"00:00:075", 75},
                      TimeCase{"", std::nullopt}, TimeCase{"00:00", std::nullopt},
                      TimeCase{"00:00:00:00", std::nullopt}, TimeCase{"00:00:2x", std::nullopt},
                      TimeCase{"00::20", std::nullopt}, TimeCase{"00:00:-", std::nullopt},
                      TimeCase{" 00:00:20", std::nullopt}, TimeCase{"00:00:20.5", std::nullopt},
                      TimeCase{"+0:00:20", std::nullopt},
                      TimeCase{"9999999999:00:00", std::nullopt}));

// --- command line --------------------------------------------------------------------

const std::vector<std::string> kMp3Line = {"-i", "/music/song.mp3", "-ss", "00:00:20", "-t", "00:00:10",
                                           "-acodec", "mp3", "-ab", "64", "-ac", "2", "/tones/ring tone.mp3"};
const std::vector<std::string> kAmrLine = {"-i", "/music/song.mp3", "-ss", "00:00:20", "-t", "00:00:10",
                                           "-f", "amr", "-acodec", "amr_nb", "-ab", "32", "-ac", "1",
                                           "-ar", "8000", "/tones/ring.amr"};

TEST(CommandLineTest, ReadsTheMp3Line)
{
    const av::Request r = av::ParseCommandLine(kMp3Line);
    EXPECT_EQ(r.source, "/music/song.mp3");
    EXPECT_EQ(r.startSeconds, 20);
    EXPECT_EQ(r.lengthSeconds, 10);
    EXPECT_EQ(r.codec, Codec::Mp3);
    EXPECT_EQ(r.container, Container::Mp3);
    EXPECT_EQ(r.bitRateKbps, 64.0);
    EXPECT_EQ(r.channels, 2);
    EXPECT_FALSE(r.sampleRate);
    EXPECT_EQ(r.target, "/tones/ring tone.mp3");
}

TEST(CommandLineTest, ReadsTheAmrLine)
{
    const av::Request r = av::ParseCommandLine(kAmrLine);
    EXPECT_EQ(r.codec, Codec::AmrNb);
    EXPECT_EQ(r.container, Container::Amr);
    EXPECT_EQ(r.bitRateKbps, 32.0);
    EXPECT_EQ(r.channels, 1);
    EXPECT_EQ(r.sampleRate, 8000);
    EXPECT_EQ(r.target, "/tones/ring.amr");
}

TEST(CommandLineTest, TakesOptionsInAnyOrderAndTheLastArgumentAsTarget)
{
    const av::Request r = av::ParseCommandLine({"-ar", "8000", "-t", "00:00:-05", "-acodec", "amr_nb", "-i",
                                                "-odd source", "-ss", "-01:00:00", "-ab", "12.2", "-ss.amr"});
    EXPECT_EQ(r.source, "-odd source");
    EXPECT_EQ(r.startSeconds, -3600);
    EXPECT_EQ(r.lengthSeconds, -5);
    EXPECT_EQ(r.codec, Codec::AmrNb);
    EXPECT_EQ(r.container, Container::Amr);   // follows the encoder
    EXPECT_EQ(r.bitRateKbps, 12.2);
    EXPECT_EQ(r.target, "-ss.amr");
}

TEST(CommandLineTest, EncoderFollowsContainerOrTargetExtension)
{
    EXPECT_EQ(av::ParseCommandLine({"-i", "a.wav", "-f", "amr", "x.bin"}).codec, Codec::AmrNb);
    EXPECT_EQ(av::ParseCommandLine({"-i", "a.wav", "x.AMR"}).codec, Codec::AmrNb);
    const av::Request r = av::ParseCommandLine({"-i", "a.wav", "dir.amr/x.mp3"});
    EXPECT_EQ(r.codec, Codec::Mp3);
    EXPECT_EQ(r.container, Container::Mp3);
    EXPECT_FALSE(r.lengthSeconds);
    EXPECT_EQ(r.startSeconds, 0);
}

// The ringtones for phones of today: M4R (AAC in an MPEG-4 audio file) and Ogg Vorbis,
// asked for by their lines or by the target's extension alone.
TEST(CommandLineTest, ReadsTheM4rAndOggLines)
{
    struct Case {
        std::vector<std::string> args;
        Codec codec;
        Container container;
    };
    const Case cases[] = {
        {{"-i", "s.mp3", "-ss", "00:00:20", "-t", "00:00:10", "-f", "ipod", "-acodec", "aac", "-ab", "128", "-ac", "2",
          "-ar", "44100", "r.m4r"},
         Codec::Aac, Container::Ipod},
        {{"-i", "s.mp3", "-ss", "00:00:20", "-t", "00:00:10", "-f", "ogg", "-acodec", "libvorbis", "-ab", "128",
          "-ac", "2", "-ar", "44100", "r.ogg"},
         Codec::Vorbis, Container::Ogg},
        {{"-i", "s.mp3", "R.M4R"}, Codec::Aac, Container::Ipod},
        {{"-i", "s.mp3", "r.Ogg"}, Codec::Vorbis, Container::Ogg},
        {{"-i", "s.mp3", "-f", "ipod", "r.bin"}, Codec::Aac, Container::Ipod},
        {{"-i", "s.mp3", "-acodec", "libvorbis", "r.bin"}, Codec::Vorbis, Container::Ogg},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const av::Request r = av::ParseCommandLine(c.args);
        EXPECT_EQ(r.codec, c.codec);
        EXPECT_EQ(r.container, c.container);
        EXPECT_FALSE(r.fadeMs);
        EXPECT_FALSE(r.loudnessLufs);
    }
    const av::Request full = av::ParseCommandLine(cases[0].args);
    EXPECT_EQ(full.bitRateKbps, 128.0);
    EXPECT_EQ(full.channels, 2);
    EXPECT_EQ(full.sampleRate, 44100);
    EXPECT_EQ(full.startSeconds, 20);
    EXPECT_EQ(full.lengthSeconds, 10);
}

TEST(CommandLineTest, ReadsFadeAndLoudnessBeforeTheTarget)
{
    std::vector<std::string> args = kMp3Line;
    args.insert(args.end() - 1, {"-fade", "500", "-loudness", "-14"});
    const av::Request r = av::ParseCommandLine(args);
    EXPECT_EQ(r.fadeMs, 500);
    EXPECT_EQ(r.loudnessLufs, -14.0);
    EXPECT_EQ(r.target, "/tones/ring tone.mp3");
    EXPECT_EQ(av::ParseCommandLine({"-i", "a", "-loudness", "-23.5", "x.ogg"}).loudnessLufs, -23.5);
    // Without them, the described lines ask for neither.
    EXPECT_FALSE(av::ParseCommandLine(kMp3Line).fadeMs);
    EXPECT_FALSE(av::ParseCommandLine(kAmrLine).loudnessLufs);
}

struct BadLine {
    std::vector<std::string> args;
    const char* message;
};

class BadCommandLineTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadCommandLineTest, NamesTheFault)
{
    try {
        av::ParseCommandLine(GetParam().args);
        FAIL() << "accepted";
    } catch (const av::ToolError& error) {
        EXPECT_EQ(std::string(error.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadCommandLineTest,
    ::testing::Values(
        BadLine{{"-i", "a.mp3", "-zz", "1", "x.mp3"}, "Unknown option -zz"},
        BadLine{{"-i", "a.mp3", "-ss", "x.mp3"}, "Missing value for -ss"},
        BadLine{{"-i", "a.mp3", "stray", "x.mp3"},
                "Unexpected argument \"stray\": options come before the target file"},
        BadLine{{"-i", "a.mp3", "-ss", "00:20", "x.mp3"},
                "Bad time text \"00:20\" for -ss: expected HH:MM:SS"},
        BadLine{{"-i", "a.mp3", "-t", "ten", "x.mp3"}, "Bad time text \"ten\" for -t: expected HH:MM:SS"},
        BadLine{{"-i", "a.mp3", "-ab", "0", "x.mp3"}, "Bad bit rate \"0\" for -ab: expected kbit/s, such as 64"},
        BadLine{{"-i", "a.mp3", "-ab", "64k", "x.mp3"},
                "Bad bit rate \"64k\" for -ab: expected kbit/s, such as 64"},
        BadLine{{"-i", "a.mp3", "-ac", "two", "x.mp3"}, "Bad channel count \"two\" for -ac: expected 1 or 2"},
        BadLine{{"-i", "a.mp3", "-ar", "-8000", "x.mp3"},
                "Bad sample rate \"-8000\" for -ar: expected Hz, such as 8000"},
        BadLine{{"-i", "a.mp3", "-acodec", "opus", "x.mp3"},
                "Unknown encoder \"opus\" for -acodec: expected mp3, amr_nb, aac or libvorbis"},
        BadLine{{"-i", "a.mp3", "-f", "wav", "x.mp3"},
                "Unknown container \"wav\" for -f: expected mp3, amr, ipod or ogg"},
        BadLine{{"-i", "a.mp3", "-f", "amr", "-acodec", "mp3", "x.amr"}, "The amr container cannot hold mp3 audio"},
        BadLine{{"-i", "a.mp3", "-f", "ogg", "-acodec", "aac", "x.ogg"}, "The ogg container cannot hold aac audio"},
        BadLine{{"-i", "a.mp3", "-f", "ipod", "-acodec", "libvorbis", "x.m4r"},
                "The ipod container cannot hold libvorbis audio"},
        BadLine{{"-i", "a.mp3", "-fade", "0", "x.mp3"}, "Bad fade \"0\" for -fade: expected milliseconds, such as 500"},
        BadLine{{"-i", "a.mp3", "-fade", "0.5s", "x.mp3"},
                "Bad fade \"0.5s\" for -fade: expected milliseconds, such as 500"},
        BadLine{{"-i", "a.mp3", "-loudness", "14", "x.mp3"},
                "Bad loudness \"14\" for -loudness: expected LUFS, such as -14"},
        BadLine{{"-i", "a.mp3", "-loudness", "-80", "x.mp3"},
                "Bad loudness \"-80\" for -loudness: expected LUFS, such as -14"},
        BadLine{{"-i", "a.mp3", "-loudness", "-", "x.mp3"},
                "Bad loudness \"-\" for -loudness: expected LUFS, such as -14"},
        BadLine{{"-i", "a.mp3", "-i", "b.mp3", "x.mp3"}, "Option -i is given twice"},
        BadLine{{"-ss", "00:00:01", "x.mp3"}, "No source file given: expected -i SOURCE"},
        BadLine{{"-i", "", "-ss", "00:00:01", "x.mp3"}, "No source file given: the path after -i is empty"},
        BadLine{{"-i", "a.mp3", "-acodec", "mp3", ""}, "No target file given: the last argument is empty"},
        BadLine{{"-i", "a.mp3", "x.wav"}, "No encoder given: expected -acodec mp3, amr_nb, aac or libvorbis"},
        BadLine{{}, av::kUsage}));

// --- selection -----------------------------------------------------------------------

TEST(SelectionTest, TurnsSecondsIntoSamples)
{
    const av::Selection s = av::SelectionFor(20, 10, 44100);
    EXPECT_EQ(s.begin, 20 * 44100);
    EXPECT_EQ(s.end, 30 * 44100);
    EXPECT_EQ(av::SelectionFor(5, std::nullopt, 8000).end, av::Selection::kToTheEnd);
}

TEST(SelectionTest, NegativeStartKeepsTheEnd)
{
    const av::Selection s = av::SelectionFor(-1, 10, 1000);
    EXPECT_EQ(s.begin, 0);
    EXPECT_EQ(s.end, 9000);
}

TEST(SelectionTest, EmptySelectionsAreRefused)
{
    for (auto [start, length] : {std::pair<std::int64_t, std::int64_t>{20, 0}, {20, -3}, {-10, 10}, {-10, 5}}) {
        EXPECT_THROW(av::SelectionFor(start, length, 44100), av::ToolError) << start << " " << length;
    }
}

TEST(SelectionTest, PartOfABlock)
{
    const av::Selection s{100, 200};
    auto part = [&](std::int64_t begin, std::int64_t count) {
        const av::BlockPart p = av::PartInSelection(s, begin, count);
        return std::pair<std::int64_t, std::int64_t>(p.first, p.last);
    };
    EXPECT_EQ(part(0, 100), (std::pair<std::int64_t, std::int64_t>(0, 0)));      // ends where it starts
    EXPECT_EQ(part(50, 100), (std::pair<std::int64_t, std::int64_t>(50, 100)));  // takes the tail
    EXPECT_EQ(part(120, 30), (std::pair<std::int64_t, std::int64_t>(0, 30)));    // wholly inside
    EXPECT_EQ(part(150, 100), (std::pair<std::int64_t, std::int64_t>(0, 50)));   // takes the head
    EXPECT_EQ(part(90, 1000), (std::pair<std::int64_t, std::int64_t>(10, 110))); // spans it
    EXPECT_EQ(part(200, 10), (std::pair<std::int64_t, std::int64_t>(0, 0)));
}

// --- allowed encoder values -------------------------------------------------------------

TEST(OutputChoiceTest, AmrTakesTheHighestModeAtOrBelowTheRequest)
{
    EXPECT_EQ(av::AmrNbBitRate(32), 12200);
    EXPECT_EQ(av::AmrNbBitRate(12.2), 12200);
    EXPECT_EQ(av::AmrNbBitRate(12.1), 10200);
    EXPECT_EQ(av::AmrNbBitRate(7.95), 7950);
    EXPECT_EQ(av::AmrNbBitRate(6), 5900);
    EXPECT_EQ(av::AmrNbBitRate(1), 4750);
    EXPECT_EQ(av::AmrNbMode(12200), 7);
    EXPECT_EQ(av::AmrNbMode(4750), 0);
    EXPECT_EQ(av::AmrNbMode(64000), -1);
}

TEST(OutputChoiceTest, Mp3SampleRateAndBitRateAreTheNearestAllowed)
{
    EXPECT_EQ(av::NearestAllowed(44100, av::Mp3SampleRates()), 44100);
    EXPECT_EQ(av::NearestAllowed(96000, av::Mp3SampleRates()), 48000);
    EXPECT_EQ(av::NearestAllowed(37800, av::Mp3SampleRates()), 32000);
    EXPECT_EQ(av::NearestAllowed(6000, av::Mp3SampleRates()), 8000);
    EXPECT_EQ(av::NearestAllowed(10, {8, 12}), 12);  // a tie goes to the higher
    EXPECT_EQ(av::Mp3BitRate(64, 44100), 64000);
    EXPECT_EQ(av::Mp3BitRate(64, 22050), 64000);
    EXPECT_EQ(av::Mp3BitRate(300, 44100), 320000);
    EXPECT_EQ(av::Mp3BitRate(320, 22050), 160000);
    EXPECT_EQ(av::Mp3BitRate(10, 44100), 32000);
}

// --- MPEG frame headers ----------------------------------------------------------------

TEST(MpegFrameHeaderTest, ReadsTheFields)
{
    const std::uint8_t mpeg1[4] = {0xFF, 0xFB, 0x90, 0x64};   // MPEG 1 layer III, 128 kbit/s, 44100 Hz
    auto h = av::ParseMpegFrameHeader(mpeg1);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 10);
    EXPECT_EQ(h->layer, 3);
    EXPECT_EQ(h->bitRate, 128000);
    EXPECT_EQ(h->sampleRate, 44100);
    EXPECT_EQ(h->samples, 1152);
    EXPECT_EQ(h->frameBytes, 417);
    const std::uint8_t padded[4] = {0xFF, 0xFB, 0x92, 0x64};
    EXPECT_EQ(av::ParseMpegFrameHeader(padded)->frameBytes, 418);
    const std::uint8_t mpeg2[4] = {0xFF, 0xF3, 0x80, 0xC4};   // MPEG 2 layer III, 64 kbit/s, 22050 Hz
    h = av::ParseMpegFrameHeader(mpeg2);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->version, 20);
    EXPECT_EQ(h->sampleRate, 22050);
    EXPECT_EQ(h->samples, 576);
    EXPECT_EQ(h->frameBytes, 72 * 64000 / 22050);
    const std::uint8_t layer2[4] = {0xFF, 0xFD, 0x84, 0x00};  // MPEG 1 layer II, 128 kbit/s, 48000 Hz
    EXPECT_EQ(av::ParseMpegFrameHeader(layer2)->frameBytes, 384);
}

TEST(MpegFrameHeaderTest, RefusesWhatIsNoHeader)
{
    const std::uint8_t cases[][4] = {
        {0xFF, 0xFB, 0x00, 0x64},  // free format: no length
        {0xFF, 0xFB, 0xF0, 0x64},  // bit rate index 15
        {0xFF, 0xFB, 0x9C, 0x64},  // sample rate index 3
        {0xFF, 0xEB, 0x90, 0x64},  // reserved version
        {0xFF, 0xF9, 0x90, 0x64},  // reserved layer
        {0xFE, 0xFB, 0x90, 0x64},  // no sync
        {'I', 'D', '3', 0x04}};
    for (const auto& bytes : cases)
        EXPECT_FALSE(av::ParseMpegFrameHeader(bytes));
}

// Stepping over the headers must land exactly where FFmpeg's own parser puts each
// frame; the packets' byte positions from ffprobe are the reference.
TEST(MpegFramesTest, FindsFramesWhereTheDemuxerPutsThem)
{
    fixtures::ScratchDir dir;
    const std::string file = dir.file("tone.mp3");
    ASSERT_TRUE(fixtures::MakeTone(file, 6, 44100, 2, {"-c:a", "libmp3lame", "-q:a", "4"}));
    fixtures::WriteFile(file, fixtures::ReadFile(file) + std::string(128, '\0').replace(0, 3, "TAG"));
    const auto probe = fixtures::RunTool({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                                          "packet=pos", "-of", "csv=p=0", file});
    ASSERT_EQ(probe.exitCode, 0);
    std::vector<std::int64_t> positions;
    std::size_t at = 0;
    while (at < probe.standardOutput.size()) {
        std::size_t end = probe.standardOutput.find('\n', at);
        const std::string line = probe.standardOutput.substr(at, end - at);
        if (!line.empty() && line[0] >= '0' && line[0] <= '9')   // side data comes on lines of its own
            positions.push_back(std::stoll(line));
        at = end == std::string::npos ? probe.standardOutput.size() : end + 1;
    }
    ASSERT_GT(positions.size(), 200u);
    for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(77), positions.size() - 1}) {
        const av::MpegFrameSearch search = av::FindMpegFrame(file, positions[0], std::int64_t(n));
        EXPECT_EQ(search.result, av::MpegFrameSearch::Found) << n;
        EXPECT_EQ(search.position, positions[n]) << n;
    }
    EXPECT_EQ(av::FindMpegFrame(file, positions[0], std::int64_t(positions.size())).result,
              av::MpegFrameSearch::PastTheEnd);

    // The Xing frame before the first audio frame carries the count and the padding.
    auto tag = av::ReadLameTag(file, positions[0]);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->frames, std::int64_t(positions.size()));
    EXPECT_GT(tag->encoderDelay, 0);

    // Junk in the middle of the stream: the frame cannot be found by stepping.
    std::string bytes = fixtures::ReadFile(file);
    bytes[std::size_t(positions[100])] = 0;
    fixtures::WriteFile(file, bytes);
    EXPECT_EQ(av::FindMpegFrame(file, positions[0], 150).result, av::MpegFrameSearch::Unknown);
    EXPECT_EQ(av::FindMpegFrame(file, positions[0], 99).position, positions[99]);
}

}  // namespace

// --- fades and loudness ----------------------------------------------------------------

namespace {

// A block of count samples of a sine of amplitude and frequency on every channel.
av::FramePtr SineBlock(AVSampleFormat format, int rate, int channels, int count, double amplitude,
                       double frequency, std::int64_t firstSample = 0)
{
    av::FramePtr block = av::NewFrame();
    block->format = format;
    block->sample_rate = rate;
    block->nb_samples = count;
    av_channel_layout_default(&block->ch_layout, channels);
    EXPECT_EQ(av_frame_get_buffer(block.get(), 0), 0);
    const bool planar = av_sample_fmt_is_planar(format);
    for (int c = 0; c < channels; ++c) {
        for (int i = 0; i < count; ++i) {
            const double value = amplitude * std::sin(2 * M_PI * frequency * double(firstSample + i) / rate);
            const int plane = planar ? c : 0;
            const int at = planar ? i : i * channels + c;
            if (format == AV_SAMPLE_FMT_FLTP || format == AV_SAMPLE_FMT_FLT)
                reinterpret_cast<float*>(block->extended_data[plane])[at] = float(value);
            else
                reinterpret_cast<std::int16_t*>(block->extended_data[plane])[at] = std::int16_t(std::lround(value * 32767));
        }
    }
    return block;
}

}  // namespace

TEST(LevelShapeTest, FadesFollowARaisedCosineFromAndToSilence)
{
    const std::int64_t length = 10000, fade = 1000;
    const av::LevelShape shape(2.0, fade);
    EXPECT_EQ(shape.FactorAt(0, length), 0.0);
    EXPECT_EQ(shape.FactorAt(length - 1, length), 0.0);
    EXPECT_NEAR(shape.FactorAt(fade / 2, length), 1.0, 1e-9);              // half way: half the gain
    EXPECT_NEAR(shape.FactorAt(length - 1 - fade / 2, length), 1.0, 1e-9);
    EXPECT_EQ(shape.FactorAt(fade, length), 2.0);
    EXPECT_EQ(shape.FactorAt(length / 2, av::LevelShape::kLengthUnknown), 2.0);
    // Smooth: it starts flat (no corner that would click) and never steps.
    EXPECT_LT(shape.FactorAt(1, length), 1e-4);
    for (std::int64_t i = 1; i < fade; ++i)
        ASSERT_LE(std::abs(shape.FactorAt(i, length) - shape.FactorAt(i - 1, length)), 2.0 * M_PI / 2 / fade + 1e-9);
    // No fades: the gain alone, up to the last sample.
    EXPECT_EQ(av::LevelShape(0.5, 0).FactorAt(length - 1, length), 0.5);
}

TEST(LevelShapeTest, ShapesFloatAndSixteenBitBlocks)
{
    for (AVSampleFormat format : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_FLT}) {
        SCOPED_TRACE(av_get_sample_fmt_name(format));
        av::FramePtr block = SineBlock(format, 8000, 2, 800, 0.5, 1000, 1);
        av::FramePtr reference = SineBlock(format, 8000, 2, 800, 0.5, 1000, 1);
        av::LevelShape(0.5, 100).Apply(*block, 800, 0, 800);
        const bool planar = av_sample_fmt_is_planar(format);
        auto sample = [&](const AVFrame& f, int c, int i) {
            const int plane = planar ? c : 0, at = planar ? i : i * 2 + c;
            return format == AV_SAMPLE_FMT_S16 ? reinterpret_cast<const std::int16_t*>(f.extended_data[plane])[at] / 32767.0
                                               : double(reinterpret_cast<const float*>(f.extended_data[plane])[at]);
        };
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(sample(*block, c, 0), 0.0);
            EXPECT_EQ(sample(*block, c, 799), 0.0);
            EXPECT_NEAR(sample(*block, c, 400), 0.5 * sample(*reference, c, 400), 1e-4);
            EXPECT_NEAR(sample(*block, c, 50), 0.25 * sample(*reference, c, 50), 1e-4);
        }
    }
}

TEST(LoudnessMeterTest, MeasuresASineAtTheOutputsRateAndChannels)
{
    // A 997 Hz sine of amplitude 0.1 on both channels is -20 LUFS (K-weighting is about
    // +0.7 dB there, which the -0.691 of BS.1770 cancels) with a true peak of -20 dBTP.
    // Mixed down to one channel (each at -3 dB) its peak is 3 dB higher, and one channel
    // counts 3 dB less than two: the same loudness.
    struct Case {
        int channels;
        double loudness, truePeak;
    };
    for (const Case& c : {Case{2, -20.0, -20.0}, Case{1, -20.0, -16.99}}) {
        SCOPED_TRACE(c.channels);
        av::LoudnessMeter meter(48000, c.channels);
        const int block = 4410;
        for (int i = 0; i < 50; ++i) {
            av::FramePtr frame = SineBlock(AV_SAMPLE_FMT_FLTP, 44100, 2, block, 0.1, 997, std::int64_t(i) * block);
            meter.Add(*frame, 0, block);
        }
        EXPECT_NEAR(meter.IntegratedLoudness(), c.loudness, 0.1);
        EXPECT_NEAR(meter.TruePeakDb(), c.truePeak, 0.2);
    }
    av::LoudnessMeter silent(44100, 2);
    av::FramePtr quiet = SineBlock(AV_SAMPLE_FMT_S16, 44100, 2, 44100, 0, 997);
    silent.Add(*quiet, 0, 44100);
    EXPECT_FALSE(std::isfinite(silent.IntegratedLoudness()));
}

TEST(LoudnessMeterTest, GainReachesTheTargetUnlessThePeakWouldPassTheCeiling)
{
    struct Case {
        double loudness, truePeak, gain;
    };
    const Case cases[] = {
        {-20, -17, 6},      // quiet: raised to -14
        {-8, -0.5, -6},     // loud: lowered to -14
        {-30, -3, 2},       // peaky: the peak stops it at -1 dBTP
        {-14, -5, 0},
        {-HUGE_VAL, -HUGE_VAL, 0},   // silence stays silence
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(av::LoudnessGainDb(c.loudness, c.truePeak, -14, -1), c.gain) << c.loudness;
}
