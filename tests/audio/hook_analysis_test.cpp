// The hook of a file found on a thread: the finder reaches the main thread once the
// analysis has ended, failures and breaking off deliver nothing.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cmath>
#include <functional>

#include "audio/HookAnalysis.h"
#include "support/Fixtures.h"
#include "support/SongSynth.h"

namespace {

struct Ended {
    explicit Ended(HookAnalysis& analysis)
    {
        QObject::connect(&analysis, &HookAnalysis::AnalysisEnded, [this](HookAnalysis::Outcome o) {
            ++times;
            outcome = o;
        });
    }
    int times = 0;
    HookAnalysis::Outcome outcome = HookAnalysis::Outcome::Failed;
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

TEST(HookAnalysis, DeliversTheSongsFinderOnTheMainThread)
{
    fixtures::ScratchDir dir;
    const songs::SongPlan plan{"mid_d_drums", 92, 2, 1, true, songs::PopStructure(), 0, 0, 0};
    const songs::Song song = songs::Synthesise(plan, 22050);
    const std::string path = dir.file("song.wav");
    ASSERT_TRUE(songs::WriteWav(path, song.samples, song.rate));
    HookAnalysis analysis(path);
    Ended ended(analysis);
    EXPECT_EQ(analysis.Finder(), nullptr);
    ASSERT_TRUE(RunEventsUntil([&] { return ended.times > 0; }));
    EXPECT_EQ(ended.outcome, HookAnalysis::Outcome::Complete);
    EXPECT_TRUE(analysis.Finished());
    ASSERT_NE(analysis.Finder(), nullptr);
    const auto suggestions = analysis.Finder()->Suggestions(30);
    ASSERT_FALSE(suggestions.empty());
    double nearest = 1e9;
    for (double start : song.StartsOf(songs::Section::Chorus))
        nearest = std::min(nearest, std::fabs(suggestions.front().begin - start));
    EXPECT_LE(nearest, 1.0) << "begins at " << suggestions.front().begin;
    EXPECT_EQ(analysis.Path(), path);
}

TEST(HookAnalysis, FailureIsReportedWithoutAFinder)
{
    fixtures::ScratchDir dir;
    const std::string path = dir.file("notes.wav");
    fixtures::WriteFile(path, "this is not audio at all\n");
    HookAnalysis analysis(path);
    Ended ended(analysis);
    ASSERT_TRUE(RunEventsUntil([&] { return ended.times > 0; }));
    EXPECT_EQ(ended.outcome, HookAnalysis::Outcome::Failed);
    EXPECT_EQ(analysis.Finder(), nullptr);
}

TEST(HookAnalysis, CancelStopsTheThreadAndDeliversNothing)
{
    fixtures::ScratchDir dir;
    // Ten minutes, so that the analysis is still running when it is cancelled.
    const std::string path = dir.file("long.flac");
    ASSERT_TRUE(fixtures::MakeTone(path, 600, 44100, 2));
    HookAnalysis analysis(path);
    Ended ended(analysis);
    analysis.Cancel();
    EXPECT_TRUE(analysis.Finished());
    EXPECT_EQ(analysis.Result(), HookAnalysis::Outcome::Cancelled);
    bool ticked = false;
    QTimer::singleShot(200, [&] { ticked = true; });
    ASSERT_TRUE(RunEventsUntil([&] { return ticked; }));
    EXPECT_EQ(ended.times, 0);
    EXPECT_EQ(analysis.Finder(), nullptr);
    // Destroying a running analysis breaks it off too.
    auto running = std::make_unique<HookAnalysis>(path);
    running.reset();
}
