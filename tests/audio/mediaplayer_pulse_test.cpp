// What the player actually sounds: the decoder's output cut to the sample, and one
// playback through a real PulseAudio server whose null sink is recorded.
#include "audio/AudioDecoder.h"
#include "audio/MediaPlayer.h"
#include "support/Fixtures.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The pitch of a stretch of mono samples, from its zero crossings (upward ones).
double PitchHz(const int16_t* samples, size_t count, int sampleRate)
{
    int crossings = 0;
    for (size_t i = 1; i < count; ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0)
            ++crossings;
    return crossings * double(sampleRate) / double(count);
}

// Checks that every window of the samples (all of it, edges included) has the pitch.
void ExpectPitchThroughout(const std::vector<int16_t>& mono, int sampleRate, double hz)
{
    const size_t window = size_t(sampleRate) / 20;  // 50 ms
    ASSERT_GE(mono.size(), window);
    std::vector<size_t> starts;
    for (size_t start = 0; start + window <= mono.size(); start += window)
        starts.push_back(start);
    starts.push_back(mono.size() - window);  // the very last 50 ms as well
    for (size_t start : starts) {
        const double pitch = PitchHz(mono.data() + start, window, sampleRate);
        EXPECT_NEAR(pitch, hz, hz * 0.06) << "in the 50 ms from sample " << start << " of " << mono.size();
    }
}

// Three seconds: 440 Hz, then 880 Hz, then 1320 Hz, a second each.
bool MakePitchSteps(const std::string& target, const std::vector<std::string>& encoderArgs = {})
{
    std::vector<std::string> args;
    for (int hz : {440, 880, 1320})
        for (const std::string& a : {std::string("-f"), std::string("lavfi"), std::string("-i"),
                                     "sine=frequency=" + std::to_string(hz) + ":sample_rate=44100:duration=1"})
            args.push_back(a);
    for (const char* a : {"-filter_complex", "concat=n=3:v=0:a=1", "-ac", "2"})
        args.push_back(a);
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    args.push_back(target);
    return fixtures::Ffmpeg(args);
}

struct Decoded {
    std::vector<int16_t> samples;  // interleaved
    int channels = 0;
    size_t Frames() const { return samples.size() / size_t(channels); }
    std::vector<int16_t> FirstChannel() const
    {
        std::vector<int16_t> mono;
        for (size_t i = 0; i < samples.size(); i += size_t(channels))
            mono.push_back(samples[i]);
        return mono;
    }
};

Decoded DecodeStretch(AudioDecoder& decoder, int64_t fromMs, int64_t toMs)
{
    Decoded result;
    result.channels = decoder.OutputChannels();
    const int channels = result.channels;
    EXPECT_TRUE(decoder.DecodeRange(fromMs, toMs, [&](const int16_t* samples, size_t frames) {
        result.samples.insert(result.samples.end(), samples, samples + frames * size_t(channels));
        return true;
    }));
    return result;
}

class AudioDecoderTest : public ::testing::Test {
protected:
    fixtures::ScratchDir dir_;
};

TEST_F(AudioDecoderTest, AStretchOfPcmStartsAndEndsOnTheExactSample)
{
    // Each sample's value tells its index: sample n holds (n mod 20000) - 10000.
    const std::string ramp = dir_.file("ramp.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "aevalsrc=exprs=(mod(n\\,20000)-10000)/32768:s=8000:d=3",
                                  "-c:a", "pcm_s16le", ramp}));
    AudioDecoder decoder(ramp);
    EXPECT_EQ(decoder.SourceSampleRate(), 8000);
    EXPECT_EQ(decoder.DurationMs(), 3000);

    struct Case {
        int64_t fromMs, toMs;
    };
    for (Case c : {Case{1000, 1500}, Case{0, 3}, Case{2999, 3000}, Case{1234, 2777}, Case{2500, 9000}}) {
        SCOPED_TRACE(std::to_string(c.fromMs) + ".." + std::to_string(c.toMs));
        const Decoded got = DecodeStretch(decoder, c.fromMs, c.toMs);
        const int64_t first = c.fromMs * 8;
        const int64_t end = std::min<int64_t>(c.toMs, 3000) * 8;
        ASSERT_EQ(int64_t(got.Frames()), end - first);
        for (int64_t n = first; n < end; ++n)
            ASSERT_EQ(got.samples[size_t(n - first)], n % 20000 - 10000) << "sample " << n;
    }
    // Nothing for an empty or reversed stretch.
    EXPECT_EQ(DecodeStretch(decoder, 1500, 1500).Frames(), 0u);
    EXPECT_EQ(DecodeStretch(decoder, 1500, 1000).Frames(), 0u);
}

TEST_F(AudioDecoderTest, EveryFormatCutsTheSecondSecondCleanly)
{
    struct Case {
        std::string file;
        std::vector<std::string> encoderArgs;
        // FFmpeg's own WMA encoder and decoder together lose the first 2048 samples, so in
        // such a file every pitch change comes 46 ms early.
        bool keepsTiming;
    };
    const std::vector<Case> cases = {
        {"steps.wav", {}, true},
        {"steps.mp3", {"-b:a", "192k"}, true},
        {"steps.wma", {"-c:a", "wmav2", "-b:a", "192k"}, false},
        {"steps.flac", {}, true},
        {"steps.ogg", {"-c:a", "libvorbis"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(MakePitchSteps(dir_.file(c.file), c.encoderArgs));
        AudioDecoder decoder(dir_.file(c.file));
        const Decoded whole = DecodeStretch(decoder, 0, 3000);
        const Decoded second = DecodeStretch(decoder, 1000, 2000);
        ASSERT_EQ(second.Frames(), 44100u);
        // The stretch found by seeking is the stretch heard when decoding from the top.
        int worst = 0;
        for (size_t i = 0; i < second.samples.size(); ++i)
            worst = std::max(worst, std::abs(second.samples[i] - whole.samples[44100 * 2 + i]));
        EXPECT_LE(worst, 64) << "largest difference from decoding from the top";
        if (c.keepsTiming)
            ExpectPitchThroughout(second.FirstChannel(), 44100, 880);
        // Decoding again further on, after the first stretch, seeks afresh.
        const Decoded third = DecodeStretch(decoder, 2000, 2500);
        ASSERT_EQ(third.Frames(), 22050u);
        worst = 0;
        for (size_t i = 0; i < third.samples.size(); ++i)
            worst = std::max(worst, std::abs(third.samples[i] - whole.samples[88200 * 2 + i]));
        EXPECT_LE(worst, 64) << "largest difference from decoding from the top";
        if (c.keepsTiming)
            ExpectPitchThroughout(third.FirstChannel(), 44100, 1320);
    }
}

TEST_F(AudioDecoderTest, ConvertsToTheRequestedRateAndChannels)
{
    ASSERT_TRUE(MakePitchSteps(dir_.file("steps.wav")));
    AudioDecoder decoder(dir_.file("steps.wav"));
    decoder.SetOutputFormat(48000, 1);
    const Decoded got = DecodeStretch(decoder, 1000, 2000);
    EXPECT_EQ(got.channels, 1);
    EXPECT_NEAR(double(got.Frames()), 48000.0, 8.0);
    // Trim the resampler's soft edges before measuring.
    std::vector<int16_t> inner(got.samples.begin() + 480, got.samples.end() - 480);
    ExpectPitchThroughout(inner, 48000, 880);
}

TEST_F(AudioDecoderTest, LengthIsFoundByDecodingWhereTheContainerDoesNotTellIt)
{
    // FLAC written to a pipe carries no length in its header.
    const fixtures::ToolResult flac = fixtures::RunTool({"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
                                                         "-f", "lavfi", "-i", "sine=frequency=440:duration=2.5",
                                                         "-c:a", "flac", "-f", "flac", "-"});
    ASSERT_EQ(flac.exitCode, 0) << flac.standardError;
    fixtures::WriteFile(dir_.file("piped.flac"), flac.standardOutput);
    AudioDecoder decoder(dir_.file("piped.flac"));
    EXPECT_EQ(decoder.DurationMs(), 2500);
}

TEST_F(AudioDecoderTest, AStretchFarIntoALongMp3WithoutTableOfContentsIsDecoded)
{
    // Eight minutes of MP3 frames end to end, as joined recordings are: no Xing frame, so
    // no table of contents; 19 MB at 320 kbit/s, more than the read bound. Each minute is
    // half a minute at 440 Hz and half a minute at 880 Hz.
    const std::string minute = dir_.file("minute.mp3");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=30", "-f", "lavfi",
                                  "-i", "sine=frequency=880:sample_rate=44100:duration=30", "-filter_complex",
                                  "concat=n=2:v=0:a=1", "-ac", "2", "-c:a", "libmp3lame", "-b:a", "320k", "-write_xing",
                                  "0", "-id3v2_version", "0", "-write_id3v1", "0", "-f", "mp3", minute}));
    const std::string frames = fixtures::ReadFile(minute);
    std::string joined;
    for (int i = 0; i < 8; ++i)
        joined += frames;
    ASSERT_GT(joined.size(), size_t(media::SourceInput::kReadBoundBytes));
    fixtures::WriteFile(dir_.file("long.mp3"), joined);

    AudioDecoder decoder(dir_.file("long.mp3"));
    struct Case {
        int64_t fromMs;
        double hz;
    };
    // Far on, back near the start, and far on again (the packets read in between are known).
    for (const Case c : {Case{7 * 60000 + 10000, 440}, Case{40000, 880}, Case{7 * 60000 + 40000, 880},
                         Case{6 * 60000 + 5000, 440}}) {
        SCOPED_TRACE(c.fromMs);
        const Decoded second = DecodeStretch(decoder, c.fromMs, c.fromMs + 1000);
        ASSERT_EQ(second.Frames(), 44100u);
        ExpectPitchThroughout(second.FirstChannel(), 44100, c.hz);
    }
}

TEST_F(AudioDecoderTest, AFileWithoutAudioGivesFfmpegsText)
{
    // A picture in a container that audio files use too (MP4), so that it is opened and
    // found silent rather than refused for its format.
    const std::string picture = dir_.file("picture.mp4");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1", "-c:v", "mpeg4", picture}));
    try {
        AudioDecoder decoder(picture);
        FAIL() << "a picture opened as audio";
    } catch (const AudioDecoderError& error) {
        EXPECT_STREQ(error.what(), "Stream not found");
    }
}

// A recording program started with its standard output going to a file (spawned, not
// forked, so that it also runs in a ThreadSanitizer build) and stopped with SIGTERM.
class Recorder {
public:
    Recorder(const std::vector<std::string>& argv, const std::string& target)
    {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Recorder() { Finish(); }
    bool Started() const { return pid_ > 0; }
    void Finish()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// Records the monitor of the test server's null sink while the player plays 1000..2000 ms
// of the pitch steps, and hears the second second's pitch alone.
TEST(MediaPlayerPulseTest, PlaysExactlyTheSecondSecondThroughTheSoundServer)
{
    const char* sinkName = std::getenv("TALLOWICK_TEST_PULSE_SINK");
    if (!sinkName || !*sinkName)
        GTEST_SKIP() << "TALLOWICK_TEST_PULSE_SINK is not set: no test sound server";
    const QString sink = QString::fromLocal8Bit(sinkName);
    ASSERT_EQ(QMediaDevices::defaultAudioOutput().id(), sink.toUtf8())
        << "the default output is not the test server's null sink";

    fixtures::ScratchDir dir;
    ASSERT_TRUE(MakePitchSteps(dir.file("steps.wav")));

    constexpr int kRate = 44100;
    const std::string recording = dir.file("monitor.raw");
    Recorder recorder({"parec", "--device=" + sink.toStdString() + ".monitor", "--format=s16le",
                       "--rate=" + std::to_string(kRate), "--channels=1", "--latency-msec=20"},
                      recording);
    ASSERT_TRUE(recorder.Started()) << "cannot start parec";
    auto waitFor = [](const std::function<bool()>& condition, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < timeoutMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
        return condition();
    };
    // Recording runs once the monitor delivers its first (silent) samples.
    ASSERT_TRUE(waitFor([&] { return QFileInfo(QString::fromStdString(recording)).size() > 0; }, 5000));

    const bool wasNull = TMediaPlayer::UseNullOutput();
    TMediaPlayer::SetUseNullOutput(false);
    {
        TMediaPlayer player;
        player.SetFileName(QString::fromStdString(dir.file("steps.wav")));
        player.Open();
        player.SetTimeFormat(TMPTimeFormats::Milliseconds);
        player.SetStartPos(1000);
        player.SetEndPos(2000);
        player.Play();
        EXPECT_EQ(player.Mode(), 2);
        EXPECT_TRUE(waitFor([&] { return player.Mode() == 1; }, 10000));
        EXPECT_EQ(player.Position(), 2000);
        waitFor([] { return false; }, 400);  // the tail of the sound reaches the monitor
    }
    TMediaPlayer::SetUseNullOutput(wasNull);
    recorder.Finish();
    const std::string recorded = fixtures::ReadFile(recording);

    const auto* samples = reinterpret_cast<const int16_t*>(recorded.data());
    const size_t count = recorded.size() / sizeof(int16_t);
    constexpr int kSilence = 1000;  // the tone's peaks are about 4096
    size_t first = count, last = 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::abs(samples[i]) > kSilence) {
            first = std::min(first, i);
            last = i;
        }
    }
    ASSERT_LT(first, count) << "nothing was heard in " << count << " recorded samples";
    const std::vector<int16_t> heard(samples + first, samples + last + 1);
    // One second of sound. The monitor of a null sink misses up to a few tens of
    // milliseconds at the start of a new stream (the sink has already passed on the silence
    // it mixed ahead), so the recording may be that much shorter, never longer.
    EXPECT_GE(double(heard.size()), kRate * 0.95);
    EXPECT_LE(double(heard.size()), kRate * 1.005);
    ExpectPitchThroughout(heard, kRate, 880);
}

}  // namespace
