// The frame locator against the walk over every header and against the frames that
// FFmpeg's demuxer reads from the start (the decoder's view), on files made by ffmpeg and
// by lame: constant and variable bit rate, with and without a Xing frame, MPEG 1, 2 and
// 2.5, ID3v2, ID3v1, APEv2 and Lyrics3 tags, and junk put into or written over the stream.
// It must give the walk's answer, or none; never a frame the decoder does not see there.
// On long files it must read a few kilobytes (constant rate) or about the part after the
// frame (variable rate).
#include "encoder/MpegFileReader.h"
#include "encoder/MpegFrameLocator.h"
#include "encoder/MpegFrames.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using av::MpegFrameSearch;
using av::MpegLocateMethod;

// The byte positions of the audio frames that FFmpeg's demuxer reads from the start:
// its packets that begin with a frame header (it hands over tags it does not know, such
// as Lyrics3, as packets too, which the decoder refuses).
std::vector<std::int64_t> PacketPositions(const std::string& path)
{
    const std::string bytes = fixtures::ReadFile(path);
    std::vector<std::int64_t> positions;
    for (const std::int64_t pos : fixtures::AudioPacketPositions(path))
        if (pos + 4 <= std::int64_t(bytes.size()) &&
            av::ParseMpegFrameHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()) + pos))
            positions.push_back(pos);
    return positions;
}

// Noise whose loudness swells and fades, so that a variable-rate encoder varies the rate.
bool MakeNoise(const std::string& target, int seconds, int rate, int channels, const std::vector<std::string>& encoder)
{
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "anoisesrc=c=pink:a=0.5:r=" + std::to_string(rate) + ":d=" + std::to_string(seconds),
                                     "-af", "volume='0.05+0.95*abs(sin(t))':eval=frame", "-ac", std::to_string(channels)};
    args.insert(args.end(), encoder.begin(), encoder.end());
    args.push_back(target);
    return fixtures::Ffmpeg(args);
}

bool Lame(const std::string& wav, const std::string& target, const std::vector<std::string>& options)
{
    std::vector<std::string> argv = {"lame", "--quiet"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(wav);
    argv.push_back(target);
    return fixtures::RunTool(argv).exitCode == 0;
}

std::string LittleEndian32(std::uint32_t v)
{
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

// An APEv2 tag with one item, with or without its header.
std::string ApeTag(bool withHeader)
{
    const std::string value = "Ringing";
    const std::string item = LittleEndian32(std::uint32_t(value.size())) + LittleEndian32(0) + "Title" + '\0' + value;
    const std::uint32_t size = std::uint32_t(item.size() + 32);
    auto block = [&](std::uint32_t flags) {
        return "APETAGEX" + LittleEndian32(2000) + LittleEndian32(size) + LittleEndian32(1) + LittleEndian32(flags) +
               std::string(8, '\0');
    };
    const std::uint32_t hasHeader = withHeader ? 1u << 31 : 0;
    return (withHeader ? block(hasHeader | 1u << 29) : "") + item + block(hasHeader);
}

std::string Id3v1Tag() { return std::string(128, ' ').replace(0, 3, "TAG"); }

std::string Lyrics3v2Tag()
{
    const std::string body = "LYRICSBEGIN" + std::string("IND00002") + "10" + "LYR00005" + "la la";
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    return body + size + "LYRICS200";
}

// --- the table ---------------------------------------------------------------------

enum class Expect {
    ConstantRate,  // every frame found by a jump to its place (after frame 0)
    FromTheEnd,    // every frame in the second half found by counting from the end
    NoTag,         // no Xing frame: no answer, the caller walks
    Damaged        // junk: answers only where they are the truth
};

struct LocatorCase {
    const char* name;
    Expect expect;
};

std::ostream& operator<<(std::ostream& out, const LocatorCase& c) { return out << c.name; }

// A fixture file and what the decoder sees in it.
struct Fixture {
    std::string path;
    std::vector<std::int64_t> truth;     // the demuxer's frames from the start
    std::int64_t overwrittenFrom = -1;   // bytes from here on were written over in place
};

class MpegFrameLocatorTest : public ::testing::TestWithParam<LocatorCase> {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite()
    {
        fixtures_.clear();
        delete dir_;
        dir_ = nullptr;
    }

    static fixtures::ScratchDir* dir_;
    static std::map<std::string, Fixture> fixtures_;
    static std::string failure_;
};

fixtures::ScratchDir* MpegFrameLocatorTest::dir_ = nullptr;
std::map<std::string, Fixture> MpegFrameLocatorTest::fixtures_;
std::string MpegFrameLocatorTest::failure_;

void MpegFrameLocatorTest::SetUpTestSuite()
{
    dir_ = new fixtures::ScratchDir;
    auto file = [](const std::string& name) { return dir_->file(name); };
    const std::vector<std::string> mp3 = {"-c:a", "libmp3lame"};
    auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), mp3.begin(), mp3.end());
        return extra;
    };
    struct Made {
        const char* name;
        std::function<bool(const std::string&)> make;
    };
    const std::string wav = file("noise.wav");
    const std::vector<Made> made = {
        {"cbr_ffmpeg", [&](const std::string& f) { return MakeNoise(f, 20, 44100, 2, with({"-b:a", "128k"})); }},
        {"cbr_lame", [&](const std::string& f) { return Lame(wav, f, {"-b", "160"}); }},
        {"cbr_48000", [&](const std::string& f) { return MakeNoise(f, 20, 48000, 2, with({"-b:a", "128k"})); }},
        {"cbr_32000_mono", [&](const std::string& f) { return MakeNoise(f, 20, 32000, 1, with({"-b:a", "40k"})); }},
        {"cbr_no_tag", [&](const std::string& f) { return MakeNoise(f, 20, 44100, 2, with({"-b:a", "128k", "-write_xing", "0"})); }},
        {"vbr_ffmpeg", [&](const std::string& f) { return MakeNoise(f, 20, 44100, 2, with({"-q:a", "4"})); }},
        {"vbr_lame", [&](const std::string& f) { return Lame(wav, f, {"-V", "4"}); }},
        {"vbr_no_tag", [&](const std::string& f) { return MakeNoise(f, 20, 44100, 2, with({"-q:a", "4", "-write_xing", "0"})); }},
        {"mpeg2_vbr_22050", [&](const std::string& f) { return MakeNoise(f, 20, 22050, 2, with({"-q:a", "5"})); }},
        {"mpeg2_cbr_lame_22050", [&](const std::string& f) { return Lame(wav, f, {"--resample", "22.05", "-b", "64"}); }},
        {"mpeg25_cbr_11025", [&](const std::string& f) { return MakeNoise(f, 20, 11025, 1, with({"-b:a", "32k"})); }},
        {"mpeg25_vbr_8000", [&](const std::string& f) { return MakeNoise(f, 20, 8000, 1, with({"-q:a", "5"})); }},
        {"lame_id3v2_id3v1_vbr",
         [&](const std::string& f) {
             return Lame(wav, f, {"-V", "4", "--add-id3v2", "--pad-id3v2-size", "300", "--tt", "Title"});
         }},
        {"ffmpeg_id3v1_cbr",
         [&](const std::string& f) {
             return MakeNoise(f, 20, 44100, 2, with({"-b:a", "128k", "-write_id3v1", "1", "-metadata", "title=T"}));
         }},
    };
    const std::vector<std::string> pcm = {"-c:a", "pcm_s16le"};
    if (!MakeNoise(wav, 20, 44100, 2, pcm)) {
        failure_ = "cannot make noise.wav";
        return;
    }
    for (const Made& m : made) {
        if (!m.make(file(std::string(m.name) + ".mp3"))) {
            failure_ = std::string("cannot make ") + m.name;
            return;
        }
    }
    // Joined copies of one constant-rate file: each part is padded on its own, so the
    // frames drift from the places one stream's padding gives.
    if (!fixtures::RunTool({"ffmpeg", "-nostdin", "-y", "-loglevel", "error", "-stream_loop", "2", "-i",
                            file("cbr_ffmpeg.mp3"), "-c", "copy", file("cbr_joined.mp3")})
             .exitCode == 0) {
        failure_ = "cannot join cbr_ffmpeg.mp3";
        return;
    }
    auto derive = [&](const std::string& from, const std::string& name, const std::function<std::string(std::string)>& change) {
        fixtures::WriteFile(file(name + ".mp3"), change(fixtures::ReadFile(file(from + ".mp3"))));
    };
    derive("cbr_ffmpeg", "cbr_ape_id3v1", [](std::string b) { return b + ApeTag(true) + Id3v1Tag(); });
    derive("vbr_lame", "vbr_ape_no_header", [](std::string b) { return b + ApeTag(false); });
    derive("vbr_ffmpeg", "vbr_lyrics3_id3v1", [](std::string b) { return b + Lyrics3v2Tag() + Id3v1Tag(); });
    // A table of contents that points too late (the locator lands after the frame and
    // starts again earlier) or everywhere at the middle: it is only ever an estimate.
    auto withToc = [](std::uint8_t entry) {
        return [entry](std::string b) {
            const std::size_t xing = b.find("Xing");
            if (xing != std::string::npos && xing + 16 + 100 < b.size())
                b.replace(xing + 16, 100, 100, char(entry));  // after the flags, frame and byte counts
            return b;
        };
    };
    derive("vbr_ffmpeg", "vbr_toc_too_late", withToc(255));
    derive("vbr_lame", "vbr_toc_at_the_middle", withToc(128));

    std::map<std::string, std::int64_t> overwritten;
    for (const char* base : {"cbr_ffmpeg", "vbr_ffmpeg"}) {
        const std::string kind = std::string(base).substr(0, 3);
        const std::vector<std::int64_t> frames = PacketPositions(file(std::string(base) + ".mp3"));
        if (frames.size() < 100) {
            failure_ = std::string("too few frames in ") + base;
            return;
        }
        const std::size_t early = frames.size() / 10, late = frames.size() * 9 / 10;
        const std::int64_t size = std::int64_t(fixtures::ReadFile(file(std::string(base) + ".mp3")).size());
        // Junk between two frames, near the start and near the end.
        derive(base, kind + "_inserted_near_start",
               [&](std::string b) { return b.insert(std::size_t(frames[early]), 1000, '\0'); });
        derive(base, kind + "_inserted_near_end",
               [&](std::string b) { return b.insert(std::size_t(frames[late]), 700, '\x55'); });
        // A frame that comes twice: no junk, one frame more than the Xing frame counts.
        derive(base, kind + "_frame_twice", [&](std::string b) {
            const std::size_t at = std::size_t(frames[frames.size() / 2]);
            return b.insert(at, b.substr(at, std::size_t(frames[frames.size() / 2 + 1]) - at));
        });
        // Bytes written over in place, which leave the file's length as it was.
        overwritten[kind + "_overwritten_near_start"] = size / 10;
        derive(base, kind + "_overwritten_near_start",
               [&](std::string b) { return b.replace(std::size_t(size / 10), 2000, 2000, '\0'); });
        overwritten[kind + "_overwritten_near_end"] = size * 9 / 10;
        derive(base, kind + "_overwritten_near_end",
               [&](std::string b) { return b.replace(std::size_t(size * 9 / 10), 600, 600, '\0'); });
        // The last frame cut short.
        derive(base, kind + "_truncated", [](std::string b) { return b.substr(0, b.size() - 100); });
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir_->path())) {
        if (entry.path().extension() != ".mp3")
            continue;
        Fixture fixture;
        fixture.path = entry.path().string();
        fixture.truth = PacketPositions(fixture.path);
        const std::string name = entry.path().stem().string();
        if (auto it = overwritten.find(name); it != overwritten.end())
            fixture.overwrittenFrom = it->second;
        fixtures_[name] = fixture;
    }
}

// The frame numbers tried on a file of n frames.
std::vector<std::int64_t> FrameNumbers(std::int64_t n)
{
    return {0, 1, 2, 7, n / 4, n / 2 - 1, n / 2, n / 2 + 1, n * 3 / 4, n - 3, n - 2, n - 1, n, n + 1, n + 100};
}

// What the locator says of frame k must be what the decoder sees: frame k at that
// position, or no frame k at all; and it must agree with the walk wherever the walk
// answers.
void ExpectTheTruth(const Fixture& f, std::int64_t k, const MpegFrameSearch& located, const MpegFrameSearch& walked)
{
    const std::int64_t frames = std::int64_t(f.truth.size());
    if (located.result == MpegFrameSearch::Found) {
        ASSERT_LT(k, frames);
        EXPECT_EQ(located.position, f.truth[std::size_t(k)]);
        if (walked.result != MpegFrameSearch::Unknown) {
            EXPECT_EQ(walked.result, MpegFrameSearch::Found);
            EXPECT_EQ(walked.position, located.position);
        }
    } else if (located.result == MpegFrameSearch::PastTheEnd) {
        EXPECT_GE(k, frames);
        EXPECT_NE(walked.result, MpegFrameSearch::Found);
    }
}

TEST_P(MpegFrameLocatorTest, GivesTheWalksAnswerOrNone)
{
    ASSERT_TRUE(failure_.empty()) << failure_;
    const LocatorCase& c = GetParam();
    ASSERT_TRUE(fixtures_.count(c.name)) << c.name;
    const Fixture& f = fixtures_.at(c.name);
    ASSERT_GT(f.truth.size(), 100u);
    const std::int64_t first = f.truth[0];
    const std::int64_t frames = std::int64_t(f.truth.size());

    // Jumps wherever the layout allows (no walk budget), and as the tool calls it.
    av::MpegLocateOptions jump;
    jump.walkBytes = 0;
    for (std::int64_t k : FrameNumbers(frames)) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const MpegFrameSearch walked = av::FindMpegFrame(f.path, first, k);
        av::MpegLocateReport report;
        const MpegFrameSearch located = av::LocateMpegFrame(f.path, first, k, &report, jump);
        if (report.method == MpegLocateMethod::Walk) {
            EXPECT_EQ(located.result, walked.result);
            EXPECT_EQ(located.position, walked.position);
        }
        switch (c.expect) {
        case Expect::ConstantRate:
        case Expect::FromTheEnd: {
            // A clean file: the walk is the truth, and the locator answers every frame.
            ASSERT_NE(walked.result, MpegFrameSearch::Unknown);
            EXPECT_EQ(located.result, walked.result);
            EXPECT_EQ(located.position, walked.position);
            const bool jumps = c.expect == Expect::ConstantRate ? k > 0 : k >= frames / 2;
            const MpegLocateMethod method = c.expect == Expect::ConstantRate ? MpegLocateMethod::ConstantRate
                                                                              : MpegLocateMethod::FromTheEnd;
            EXPECT_EQ(report.method, jumps ? method : MpegLocateMethod::Walk);
            break;
        }
        case Expect::NoTag:
            // Only the first frame lies within a walk budget of none.
            if (k > 0) {
                EXPECT_EQ(located.result, MpegFrameSearch::Unknown);
                EXPECT_EQ(report.method, MpegLocateMethod::None);
            }
            break;
        case Expect::Damaged:
            // Bytes written over in place, before the part the locator reads, cannot be
            // seen without reading them: with no walk budget only the frames before them
            // are held to the truth.
            if (f.overwrittenFrom < 0 || (k < frames && f.truth[std::size_t(k)] < f.overwrittenFrom))
                ExpectTheTruth(f, k, located, walked);
            break;
        }
        if (c.expect != Expect::Damaged)
            ExpectTheTruth(f, k, located, walked);

        // As the tool calls it: a file of a few seconds is walked, and damage anywhere is
        // seen.
        const MpegFrameSearch asTool = av::LocateMpegFrame(f.path, first, k, &report);
        ExpectTheTruth(f, k, asTool, walked);
        if (report.method != MpegLocateMethod::None) {
            EXPECT_EQ(report.method, MpegLocateMethod::Walk);
            EXPECT_EQ(asTool.result, walked.result);
            EXPECT_EQ(asTool.position, walked.position);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MpegFrameLocatorTest,
    ::testing::Values(LocatorCase{"cbr_ffmpeg", Expect::ConstantRate}, LocatorCase{"cbr_lame", Expect::ConstantRate},
                      LocatorCase{"cbr_48000", Expect::ConstantRate}, LocatorCase{"cbr_32000_mono", Expect::ConstantRate},
                      LocatorCase{"cbr_no_tag", Expect::NoTag}, LocatorCase{"vbr_ffmpeg", Expect::FromTheEnd},
                      LocatorCase{"vbr_lame", Expect::FromTheEnd}, LocatorCase{"vbr_no_tag", Expect::NoTag},
                      LocatorCase{"mpeg2_vbr_22050", Expect::FromTheEnd},
                      LocatorCase{"mpeg2_cbr_lame_22050", Expect::ConstantRate},
                      LocatorCase{"mpeg25_cbr_11025", Expect::ConstantRate},
                      LocatorCase{"mpeg25_vbr_8000", Expect::FromTheEnd},
                      LocatorCase{"lame_id3v2_id3v1_vbr", Expect::FromTheEnd},
                      LocatorCase{"ffmpeg_id3v1_cbr", Expect::ConstantRate},
                      LocatorCase{"cbr_ape_id3v1", Expect::ConstantRate},
                      LocatorCase{"vbr_ape_no_header", Expect::Damaged},
                      LocatorCase{"vbr_lyrics3_id3v1", Expect::FromTheEnd},
                      LocatorCase{"vbr_toc_too_late", Expect::FromTheEnd},
                      LocatorCase{"vbr_toc_at_the_middle", Expect::FromTheEnd},
                      LocatorCase{"cbr_joined", Expect::Damaged},
                      LocatorCase{"cbr_inserted_near_start", Expect::Damaged},
                      LocatorCase{"cbr_inserted_near_end", Expect::Damaged},
                      LocatorCase{"cbr_frame_twice", Expect::Damaged},
                      LocatorCase{"cbr_overwritten_near_start", Expect::Damaged},
                      LocatorCase{"cbr_overwritten_near_end", Expect::Damaged},
                      LocatorCase{"cbr_truncated", Expect::Damaged},
                      LocatorCase{"vbr_inserted_near_start", Expect::Damaged},
                      LocatorCase{"vbr_inserted_near_end", Expect::Damaged},
                      LocatorCase{"vbr_frame_twice", Expect::Damaged},
                      LocatorCase{"vbr_overwritten_near_start", Expect::Damaged},
                      LocatorCase{"vbr_overwritten_near_end", Expect::Damaged},
                      LocatorCase{"vbr_truncated", Expect::Damaged}),
    [](const ::testing::TestParamInfo<LocatorCase>& info) { return std::string(info.param.name); });

// --- what locating a frame in a long file reads ----------------------------------

// A 60-minute constant-rate file (MPEG 2, 22050 Hz, to keep its making short) and a
// 20-minute variable-rate one (one minute of noise, copied twenty times by ffmpeg, which
// writes the Xing frame of the whole), made once.
class LongFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new fixtures::ScratchDir;
        ok_ = fixtures::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=3600", "-ac", "1",
                                "-c:a", "libmp3lame", "-b:a", "64k", "-compression_level", "9", dir_->file("hour.mp3")}) &&
              MakeNoise(dir_->file("minute.mp3"), 60, 44100, 2, {"-c:a", "libmp3lame", "-q:a", "4"}) &&
              fixtures::Ffmpeg({"-stream_loop", "19", "-i", dir_->file("minute.mp3"), "-c", "copy",
                                dir_->file("twenty_minutes.mp3")});
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    struct Located {
        MpegFrameSearch search;
        av::MpegLocateReport report;
        MpegFrameSearch walked;
        std::int64_t walkBytes = 0;  // what the walk from the start read
    };
    static Located Locate(const std::string& path, std::int64_t first, std::int64_t k)
    {
        Located l;
        l.search = av::LocateMpegFrame(path, first, k, &l.report);
        av::MpegFileReader reader(path, 256 * 1024);
        l.walked = av::FindMpegFrame(reader, first, k);
        l.walkBytes = reader.bytesRead();
        return l;
    }
    static std::int64_t FirstFrame(const std::string& path)
    {
        const std::vector<std::int64_t> frames = PacketPositions(path);
        return frames.empty() ? -1 : frames[0];
    }

    static fixtures::ScratchDir* dir_;
    static bool ok_;
};

fixtures::ScratchDir* LongFileTest::dir_ = nullptr;
bool LongFileTest::ok_ = false;

TEST_F(LongFileTest, ConstantRateFramesCostAFewKilobytes)
{
    ASSERT_TRUE(ok_);
    const std::string path = dir_->file("hour.mp3");
    const std::int64_t first = FirstFrame(path);
    const auto tag = av::ReadLameTag(path, first);
    ASSERT_TRUE(tag);
    ASSERT_TRUE(tag->constantRate);
    const std::int64_t frames = tag->frames;
    const std::int64_t late = std::int64_t(55) * 60 * 22050 / 576;  // 00:55:00
    for (std::int64_t k : {frames / 2, late, frames - 1}) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const Located l = Locate(path, first, k);
        ASSERT_EQ(l.walked.result, MpegFrameSearch::Found);
        EXPECT_EQ(l.search.result, MpegFrameSearch::Found);
        EXPECT_EQ(l.search.position, l.walked.position);
        EXPECT_EQ(l.report.method, MpegLocateMethod::ConstantRate);
        EXPECT_LE(l.report.bytesRead, 16 * 1024);
        EXPECT_GE(l.walkBytes, (l.walked.position - first) * 9 / 10);  // the walk reads nearly all before it
    }
    const Located past = Locate(path, first, frames);
    EXPECT_EQ(past.walked.result, MpegFrameSearch::PastTheEnd);
    EXPECT_EQ(past.search.result, MpegFrameSearch::PastTheEnd);
    EXPECT_LE(past.report.bytesRead, 16 * 1024);

    // Early frames are walked to, reading little more than the file up to them.
    const Located early = Locate(path, first, 20 * 22050 / 576);  // 00:00:20
    EXPECT_EQ(early.report.method, MpegLocateMethod::Walk);
    EXPECT_EQ(early.search.position, early.walked.position);
    EXPECT_LE(early.report.bytesRead, 512 * 1024);
}

TEST_F(LongFileTest, VariableRateFramesCostAboutTheRestOfTheFile)
{
    ASSERT_TRUE(ok_);
    const std::string path = dir_->file("twenty_minutes.mp3");
    const std::int64_t first = FirstFrame(path);
    const auto tag = av::ReadLameTag(path, first);
    ASSERT_TRUE(tag);
    ASSERT_FALSE(tag->constantRate);
    const std::int64_t size = std::int64_t(fixtures::ReadFile(path).size());
    const std::int64_t frames = tag->frames;
    ASSERT_EQ(frames, std::int64_t(20 * PacketPositions(dir_->file("minute.mp3")).size()));
    for (std::int64_t k : {frames / 2 + 10, std::int64_t(18) * 60 * 44100 / 1152, frames - 30, frames - 1}) {
        SCOPED_TRACE("frame " + std::to_string(k));
        const Located l = Locate(path, first, k);
        ASSERT_EQ(l.walked.result, MpegFrameSearch::Found);
        EXPECT_EQ(l.search.result, MpegFrameSearch::Found);
        EXPECT_EQ(l.search.position, l.walked.position);
        EXPECT_EQ(l.report.method, MpegLocateMethod::FromTheEnd);
        // The rest of the file from the frame on, plus what the table of contents leaves
        // open (a hundredth of the frames and a 256th of the bytes) and a read's length.
        const std::int64_t rest = size - l.walked.position;
        EXPECT_LE(l.report.bytesRead, rest + size / 100 + size / 256 + 128 * 1024);
        EXPECT_GE(l.walkBytes, (l.walked.position - first) * 9 / 10);  // the walk reads nearly all before it
    }
    const Located past = Locate(path, first, frames + 5);
    EXPECT_EQ(past.walked.result, MpegFrameSearch::PastTheEnd);
    EXPECT_EQ(past.search.result, MpegFrameSearch::PastTheEnd);
    EXPECT_LE(past.report.bytesRead, size / 100 + size / 256 + 128 * 1024);
}

}  // namespace
