// TMPEGAudio on real files made here by ffmpeg and lame, against what ffprobe reports.
#include "audio/MPGTools.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

using fixtures::Ffmpeg;
using fixtures::MakeTone;
using fixtures::RunTool;
using fixtures::ScratchDir;

namespace {

struct ProbeResult {
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
    std::vector<std::int64_t> packets;  // byte positions of the audio frames the demuxer finds
};

ProbeResult Probe(const std::string& path)
{
    const auto out = RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                              "stream=sample_rate,channels:format=duration", "-of",
                              "default=noprint_wrappers=1", path});
    ProbeResult probe;
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
    const auto packets = RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                  "packet=pos", "-of", "csv=p=0", path});
    std::istringstream positions(packets.standardOutput);
    while (std::getline(positions, line))
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])))  // not side data
            probe.packets.push_back(std::stoll(line));
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

struct RealCase {
    const char* name;
    std::string file;
    int version, layer, sampleRate, bitRate;  // bitRate -1: variable (Xing)
    bool mono;
    int samplesPerFrame;
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
                lame("mono.wav", "vbrmono.mp3", {"-V", "5", "-m", "m"}) &&
                // Layer III of MPEG 2 (22050, 24000, 16000 Hz) and MPEG 2.5 (11025, 12000,
                // 8000 Hz): frames of 576 samples.
                MakeTone(dir->file("mpeg2cbr.mp3"), 7.05, 22050, 2, {"-c:a", "libmp3lame", "-b:a", "32k"}) &&
                MakeTone(dir->file("mpeg2vbr.mp3"), 7.05, 22050, 2, {"-c:a", "libmp3lame", "-q:a", "5"}) &&
                tone("mpeg2vbr24.mp3", 24000, 1, {"-c:a", "libmp3lame", "-q:a", "5"}) &&
                tone("mpeg2cbr16.mp3", 16000, 1, {"-c:a", "libmp3lame", "-b:a", "24k"}) &&
                tone("mpeg25vbr11.mp3", 11025, 2, {"-c:a", "libmp3lame", "-q:a", "5"}) &&
                tone("mpeg25cbr12.mp3", 12000, 2, {"-c:a", "libmp3lame", "-b:a", "32k"}) &&
                tone("mono8k.wav", 8000, 1, {}) && lame("mono8k.wav", "mpeg25vbr8.mp3", {"-V", "5"});
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
    const RealCase cases[] = {
        {"MPEG1 Layer III CBR 44.1k stereo", "cbr.mp3", 1, 3, 44100, 128, false, 1152},
        {"MPEG2 Layer III 22.05k", "mpeg2.mp3", 2, 3, 22050, 64, false, 576},
        {"MPEG2.5 Layer III 8k mono", "mpeg25.mp3", 3, 3, 8000, 16, true, 576},
        {"MPEG1 Layer II", "layer2.mp2", 1, 2, 48000, 192, false, 1152},
        {"VBR with Xing (lame -V 4)", "vbr.mp3", 1, 3, 44100, -1, false, 1152},
        {"VBR mono MPEG1, Xing at 21", "vbrmono.mp3", 1, 3, 44100, -1, true, 1152},
        {"ID3v1 and ID3v2 tags", "tagged.mp3", 1, 3, 44100, 160, false, 1152},
        {"MPEG2 CBR 22.05k stereo, 7.05 s", "mpeg2cbr.mp3", 2, 3, 22050, 32, false, 576},
        {"MPEG2 VBR 22.05k stereo, 7.05 s, Xing at 21", "mpeg2vbr.mp3", 2, 3, 22050, -1, false, 576},
        {"MPEG2 VBR 24k mono, Xing at 13", "mpeg2vbr24.mp3", 2, 3, 24000, -1, true, 576},
        {"MPEG2 CBR 16k mono", "mpeg2cbr16.mp3", 2, 3, 16000, 24, true, 576},
        {"MPEG2.5 VBR 11.025k stereo", "mpeg25vbr11.mp3", 3, 3, 11025, -1, false, 576},
        {"MPEG2.5 CBR 12k stereo", "mpeg25cbr12.mp3", 3, 3, 12000, 32, false, 576},
        {"MPEG2.5 VBR 8k mono (lame -V 5)", "mpeg25vbr8.mp3", 3, 3, 8000, -1, true, 576},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir->file(c.file);
        const ProbeResult probe = Probe(path);
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
        // The pair starts at the file's first frame, right behind any ID3v2 tag: the Xing
        // or Info frame where the encoder wrote one, else the first frame the demuxer finds.
        ASSERT_GT(probe.packets.size(), 2u);
        EXPECT_EQ(r.FirstFramePos(), Id3v2Size(path));
        if (c.bitRate == -1) {
            // The Xing frame count is the number of audio frames; the reader gives their
            // playing time in whole seconds, rounded half to even.
            const double seconds = double(probe.packets.size()) * c.samplesPerFrame / c.sampleRate;
            EXPECT_EQ(r.Duration(), int(std::nearbyint(seconds))) << seconds << " s";
        } else {
            // The fields are those of the pair's second header: the first frame the
            // demuxer finds after a Xing or Info frame, else its second one.
            const std::size_t second = r.FirstFramePos() == probe.packets[0] ? 1 : 0;
            EXPECT_EQ(r.FrameLength(), probe.packets[second + 1] - probe.packets[second]);
        }
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
