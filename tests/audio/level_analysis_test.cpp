// The column levels of real files made at test time: silence, a quiet and a loud passage
// in each kind of file, the columns where each passage lies, failures, and breaking off.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <cmath>
#include <sys/stat.h>

#include "audio/ColumnLevels.h"
#include "audio/LevelAnalysis.h"
#include "support/Fixtures.h"
#include "support/Passages.h"

namespace {

constexpr int kColumnsPerSecond = 5;

double Dbfs(int peak)
{
    return peak <= 0 ? -200.0 : 20.0 * std::log10(peak / 32767.0);
}

struct Result {
    ColumnLevels::Outcome outcome;
    std::vector<ColumnLevels::Level> levels;
};

Result Analyse(const std::string& path, media::CancelFlag cancel = nullptr)
{
    Result result;
    ColumnLevels levels(path, kColumnsPerSecond, std::move(cancel));
    result.outcome = levels.Run([&result](const ColumnLevels::Level* level, std::size_t count) {
        result.levels.insert(result.levels.end(), level, level + count);
    });
    return result;
}

// The first column whose level reaches the given loudness.
int FirstColumnAbove(const std::vector<ColumnLevels::Level>& levels, double dbfs)
{
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (Dbfs(levels[i]) >= dbfs)
            return int(i);
    return -1;
}

}  // namespace

TEST(ColumnLevels, PassagesLandInTheirColumnsAtTheirLoudness)
{
    fixtures::ScratchDir dir;
    struct Case {
        std::string name;
        int sampleRate;
        int channels;
        std::vector<std::string> encoderArgs;
        std::vector<int> soundingChannels;
    };
    const Case cases[] = {
        {"cbr.mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}, {}},
        {"vbr.mp3", 44100, 2, {"-c:a", "libmp3lame", "-q:a", "4"}, {}},
        {"mono.mp3", 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k"}, {}},
        {"crc.mp3", 48000, 2, {"-c:a", "libmp3lame", "-b:a", "192k", "-write_xing", "0"}, {}},
        {"right-only.mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-joint_stereo", "0"}, {1}},
        {"stereo.wav", 44100, 2, {}, {}},
        {"right-only.wav", 8000, 2, {}, {1}},
        {"float.wav", 16000, 1, {"-c:a", "pcm_f32le"}, {}},
        {"tone.wma", 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"}, {}},
        {"mono.flac", 48000, 1, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(fixtures::MakePassages(path, c.sampleRate, c.channels, c.encoderArgs, c.soundingChannels));
        const Result result = Analyse(path);
        ASSERT_EQ(result.outcome, ColumnLevels::Outcome::Complete);
        const std::vector<ColumnLevels::Level>& levels = result.levels;
        ASSERT_GE(levels.size(), 30u);
        ASSERT_LE(levels.size(), 31u);
        // The column at each change may hold either side; the others hold one passage.
        for (int column = 0; column < 9; ++column)
            EXPECT_LT(Dbfs(levels[column]), -60.0) << "silence, column " << column;
        for (int column = 11; column < 19; ++column) {
            EXPECT_GT(Dbfs(levels[column]), fixtures::kQuietDbfs - 4) << "quiet, column " << column;
            EXPECT_LT(Dbfs(levels[column]), fixtures::kQuietDbfs + 3) << "quiet, column " << column;
        }
        for (int column = 21; column < 29; ++column) {
            EXPECT_GT(Dbfs(levels[column]), fixtures::kLoudDbfs - 3) << "loud, column " << column;
            EXPECT_LE(Dbfs(levels[column]), 0.0) << "loud, column " << column;
        }
        // Each passage begins within a column of where it is in time.
        EXPECT_NEAR(FirstColumnAbove(levels, -60.0), 2 * kColumnsPerSecond, 1);
        EXPECT_NEAR(FirstColumnAbove(levels, -15.0), 4 * kColumnsPerSecond, 1);
    }
}

TEST(ColumnLevels, LongerMp3KeepsItsColumnsInStep)
{
    // Two minutes of the passages one after another: after 20 repeats, each passage still
    // begins in its column, so frames are not lost or counted twice along the way.
    fixtures::ScratchDir dir;
    const std::string once = dir.file("once.mp3"), repeated = dir.file("repeated.mp3");
    ASSERT_TRUE(fixtures::MakePassages(dir.file("once.wav"), 44100, 2));
    ASSERT_TRUE(fixtures::Ffmpeg({"-stream_loop", "19", "-i", dir.file("once.wav"), "-c:a", "libmp3lame", "-b:a",
                                  "128k", repeated}));
    const Result result = Analyse(repeated);
    ASSERT_EQ(result.outcome, ColumnLevels::Outcome::Complete);
    ASSERT_NEAR(double(result.levels.size()), 600.0, 1.0);
    const std::vector<ColumnLevels::Level> last(result.levels.begin() + 570, result.levels.end());
    EXPECT_NEAR(FirstColumnAbove(last, -60.0), 10, 1);
    EXPECT_NEAR(FirstColumnAbove(last, -15.0), 20, 1);
}

TEST(ColumnLevels, FilesWithoutLevelsFail)
{
    fixtures::ScratchDir dir;
    const std::string text = dir.file("notes.mp3");
    fixtures::WriteFile(text, "this is not audio at all\n");
    const std::string empty = dir.file("empty.wav");
    fixtures::WriteFile(empty, "");
    const std::string pipe = dir.file("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {text, empty, pipe, dir.path(), dir.file("missing.mp3")}) {
        SCOPED_TRACE(path);
        const Result result = Analyse(path);
        EXPECT_EQ(result.outcome, ColumnLevels::Outcome::Failed);
        EXPECT_TRUE(result.levels.empty());
    }
}

TEST(ColumnLevels, CancelFlagEndsThePass)
{
    fixtures::ScratchDir dir;
    const std::string path = dir.file("tone.mp3");
    ASSERT_TRUE(fixtures::MakePassages(path, 44100, 2, {"-c:a", "libmp3lame"}));
    auto cancel = std::make_shared<std::atomic<bool>>(true);
    const Result result = Analyse(path, cancel);
    EXPECT_EQ(result.outcome, ColumnLevels::Outcome::Cancelled);
    EXPECT_TRUE(result.levels.empty());
}

namespace {

// Runs an analysis on its thread and gathers what reaches the main thread.
struct Delivered {
    explicit Delivered(LevelAnalysis& analysis)
    {
        QObject::connect(&analysis, &LevelAnalysis::LevelsArrived, [this](const std::vector<ColumnLevels::Level>& l) {
            EXPECT_FALSE(ended) << "levels after the end";
            levels.insert(levels.end(), l.begin(), l.end());
            ++batches;
        });
        QObject::connect(&analysis, &LevelAnalysis::AnalysisEnded, [this](ColumnLevels::Outcome o) {
            ended = true;
            outcome = o;
        });
    }
    std::vector<ColumnLevels::Level> levels;
    int batches = 0;
    bool ended = false;
    ColumnLevels::Outcome outcome = ColumnLevels::Outcome::Failed;
};

// Handles the main thread's events until the condition holds; false after a minute,
// which only a hang takes.
bool RunEventsUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

}  // namespace

TEST(LevelAnalysis, DeliversOnTheMainThreadWhatThePassFinds)
{
    fixtures::ScratchDir dir;
    const std::string path = dir.file("tone.flac");
    ASSERT_TRUE(fixtures::MakePassages(path, 44100, 2));
    LevelAnalysis analysis(path, kColumnsPerSecond);
    Delivered delivered(analysis);
    ASSERT_TRUE(RunEventsUntil([&] { return delivered.ended; }));
    EXPECT_EQ(delivered.outcome, ColumnLevels::Outcome::Complete);
    EXPECT_TRUE(analysis.Finished());
    EXPECT_EQ(delivered.levels, Analyse(path).levels);
}

TEST(LevelAnalysis, FailureIsReportedWithoutLevels)
{
    fixtures::ScratchDir dir;
    const std::string path = dir.file("notes.wav");
    fixtures::WriteFile(path, "this is not audio at all\n");
    LevelAnalysis analysis(path, kColumnsPerSecond);
    Delivered delivered(analysis);
    ASSERT_TRUE(RunEventsUntil([&] { return delivered.ended; }));
    EXPECT_EQ(delivered.outcome, ColumnLevels::Outcome::Failed);
    EXPECT_TRUE(delivered.levels.empty());
}

TEST(LevelAnalysis, CancelStopsTheThreadAndDeliversNothingMore)
{
    fixtures::ScratchDir dir;
    // Ten minutes, so that the pass is still running when it is cancelled.
    const std::string once = dir.file("once.mp3"), path = dir.file("long.mp3");
    ASSERT_TRUE(fixtures::MakePassages(once, 44100, 2, {"-c:a", "libmp3lame"}));
    ASSERT_TRUE(fixtures::Ffmpeg({"-stream_loop", "99", "-i", once, "-c", "copy", path}));
    LevelAnalysis analysis(path, kColumnsPerSecond);
    Delivered delivered(analysis);
    analysis.Cancel();
    EXPECT_TRUE(analysis.Finished());
    EXPECT_EQ(analysis.Outcome(), ColumnLevels::Outcome::Cancelled);
    // Whatever the thread had put aside stays with it.
    bool ticked = false;
    QTimer::singleShot(200, [&] { ticked = true; });
    ASSERT_TRUE(RunEventsUntil([&] { return ticked; }));
    EXPECT_TRUE(delivered.levels.empty());
    EXPECT_FALSE(delivered.ended);
}
