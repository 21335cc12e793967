// TMPEGAudio on real files made here by ffmpeg and lame, against what ffprobe reports.
#include "audio/MPGTools.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>

using fixtures::Ffmpeg;
using fixtures::MakeTone;
using fixtures::RunTool;
using fixtures::ScratchDir;

namespace {

struct TProbe {
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
};

TProbe Probe(const std::string& path)
{
    const auto out = RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                              "stream=sample_rate,channels:format=duration", "-of",
                              "default=noprint_wrappers=1", path});
    TProbe probe;
    std::istringstream lines(out.standardOutput);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "sample_rate")
            probe.sampleRate = std::stoi(value);
        else if (key == "channels")
            probe.channels = std::stoi(value);
        else if (key == "duration")
            probe.duration = std::stod(value);
    }
    return probe;
}

// The size of a leading ID3v2 tag (header, syncsafe size, footer), 0 without one.
std::int64_t Id3v2Size(const std::string& path)
{
    const std::string head = fixtures::ReadFile(path).substr(0, 10);
    if (head.size() < 10 || head.compare(0, 3, "ID3") != 0)
        return 0;
    std::int64_t size = 0;
    for (int i = 6; i < 10; ++i)
        size = size << 7 | (static_cast<unsigned char>(head[std::size_t(i)]) & 0x7F);
    const bool footer = static_cast<unsigned char>(head[5]) & 0x10;
    return 10 + size + (footer ? 10 : 0);
}

struct TRealCase {
    const char* name;
    std::string file;
    int version, layer, sampleRate, bitRate;  // bitRate -1: variable (Xing)
    bool mono;
};

class MPGToolsRealFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<ScratchDir>();
        const auto tone = [](const std::string& name, int rate, int channels, std::vector<std::string> args) {
            return MakeTone(dir->file(name), 8, rate, channels, args);
        };
        const auto lame = [](const std::string& wav, const std::string& mp3, std::vector<std::string> args) {
            std::vector<std::string> argv = {"lame", "--quiet"};
            argv.insert(argv.end(), args.begin(), args.end());
            argv.push_back(dir->file(wav));
            argv.push_back(dir->file(mp3));
            return RunTool(argv).exitCode == 0;
        };
        ready = tone("cbr.mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}) &&
                tone("mpeg2.mp3", 22050, 2, {"-c:a", "libmp3lame", "-b:a", "64k"}) &&
                tone("mpeg25.mp3", 8000, 1, {"-c:a", "libmp3lame", "-b:a", "16k"}) &&
                tone("layer2.mp2", 48000, 2, {"-c:a", "mp2", "-b:a", "192k"}) &&
                tone("tagged.mp3", 44100, 2,
                     {"-c:a", "libmp3lame", "-b:a", "160k", "-write_id3v1", "1", "-metadata",
                      "title=Tallowick Tone", "-metadata", "artist=The Testers"}) &&
                tone("stereo.wav", 44100, 2, {}) && tone("mono.wav", 44100, 1, {}) &&
                lame("stereo.wav", "vbr.mp3", {"-V", "4"}) &&
                lame("mono.wav", "vbrmono.mp3", {"-V", "5", "-m", "m"});
    }
    static void TearDownTestSuite() { dir.reset(); }

    static std::unique_ptr<ScratchDir> dir;
    static bool ready;
};

std::unique_ptr<ScratchDir> MPGToolsRealFiles::dir;
bool MPGToolsRealFiles::ready = false;

TEST_F(MPGToolsRealFiles, PropertiesMatchFfprobe)
{
    ASSERT_TRUE(ready) << "ffmpeg or lame could not make the files";
    const TRealCase cases[] = {
        {"MPEG1 Layer III CBR 44.1k stereo", "cbr.mp3", 1, 3, 44100, 128, false},
        {"MPEG2 Layer III 22.05k", "mpeg2.mp3", 2, 3, 22050, 64, false},
        {"MPEG2.5 Layer III 8k mono", "mpeg25.mp3", 3, 3, 8000, 16, true},
        {"MPEG1 Layer II", "layer2.mp2", 1, 2, 48000, 192, false},
        {"VBR with Xing (lame -V 4)", "vbr.mp3", 1, 3, 44100, -1, false},
        {"VBR mono MPEG1, Xing at 21", "vbrmono.mp3", 1, 3, 44100, -1, true},
        {"ID3v1 and ID3v2 tags", "tagged.mp3", 1, 3, 44100, 160, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir->file(c.file);
        const TProbe probe = Probe(path);
        TMPEGAudio r;
        r.SetReadErrorHandler({});
        r.SetFileName(path);
        EXPECT_TRUE(r.IsValid());
        EXPECT_EQ(r.Version(), c.version);
        EXPECT_EQ(r.Layer(), c.layer);
        EXPECT_EQ(r.SampleRate(), c.sampleRate);
        EXPECT_EQ(r.SampleRate(), probe.sampleRate);
        EXPECT_EQ(r.BitRate(), c.bitRate);
        EXPECT_EQ(r.BitRateText(), c.bitRate == -1 ? "VBR" : std::to_string(c.bitRate));
        EXPECT_EQ(r.Mode() == 3, c.mono);
        EXPECT_EQ(r.StereoText(), probe.channels == 1 ? "Mono" : "Stereo");
        EXPECT_LE(std::fabs(r.Duration() - probe.duration), 1.0) << "ffprobe: " << probe.duration;
        // MPEG 1 pairs the first frame with the second. MPEG 2 and 2.5 frames are half as long
        // as the frame length of the 144 factor, so the pair may begin a frame or two later.
        if (c.version == 1)
            EXPECT_EQ(r.FirstFramePos(), Id3v2Size(path));
        else
            EXPECT_GE(r.FirstFramePos(), Id3v2Size(path));
    }
}

TEST_F(MPGToolsRealFiles, Id3v1TagAndLeadingId3v2)
{
    ASSERT_TRUE(ready);
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    r.SetFileName(dir->file("tagged.mp3"));
    EXPECT_EQ(r.TagHeader(), "TAG");
    EXPECT_EQ(r.Title(), "Tallowick Tone");
    EXPECT_EQ(r.Artist(), "The Testers");
    EXPECT_GT(r.FirstFramePos(), 0);  // behind the ID3v2 tag

    r.SetFileName(dir->file("cbr.mp3"));  // no ID3v1: the file's name
    EXPECT_EQ(r.TagHeader(), "BAD");
    EXPECT_EQ(r.Title(), "cbr.mp3");
}

}  // namespace
