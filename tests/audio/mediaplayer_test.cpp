// The media player's requests, modes and positions, played into the null output on short
// files made with ffmpeg.
#include "audio/MediaPlayer.h"
#include "support/Fixtures.h"
#include "support/HostileSources.h"

#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// Lets the event loop run until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void Pause(int ms)
{
    WaitUntil([] { return false; }, ms);
}

class MediaPlayerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TMediaPlayer::SetUseNullOutput(true);
        dir_ = new fixtures::ScratchDir;
        ASSERT_TRUE(fixtures::MakeTone(dir_->file("tone.wav"), 3.0));
        ASSERT_TRUE(fixtures::MakeTone(dir_->file("tone.mp3"), 3.0));
        ASSERT_TRUE(fixtures::MakeTone(dir_->file("tone.wma"), 3.0, 44100, 2, {"-c:a", "wmav2"}));
        ASSERT_TRUE(fixtures::MakeTone(dir_->file("mono8k.wav"), 3.0, 8000, 1));
        fixtures::WriteFile(dir_->file("notes.txt"), "Shopping list:\nbread\nmilk\n");
        fixtures::WriteFile(dir_->file("empty.wav"), "");
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static QString File(const std::string& name) { return QString::fromStdString(dir_->file(name)); }

    // A player with the 3-second WAV tone open.
    std::unique_ptr<TMediaPlayer> OpenTone(const std::string& name = "tone.wav")
    {
        auto player = std::make_unique<TMediaPlayer>();
        player->SetFileName(File(name));
        player->Open();
        return player;
    }

    static bool Stopped(const TMediaPlayer& player) { return player.Mode() == TMediaPlayer::ModeStopped; }

    static fixtures::ScratchDir* dir_;
};

fixtures::ScratchDir* MediaPlayerTest::dir_ = nullptr;

// Runs a request and returns the text of the EMCIDeviceError it raised ("" if none).
std::string ErrorOf(const std::function<void()>& request)
{
    try {
        request();
    } catch (const EMCIDeviceError& error) {
        return error.what();
    }
    return "";
}

// The requests that need an open file, each raising "No MCI device open" without one.
void ExpectRequestsRefusedWithoutFile(TMediaPlayer& player)
{
    EXPECT_EQ(ErrorOf([&] { player.Play(); }), "No MCI device open");
    EXPECT_EQ(ErrorOf([&] { player.Stop(); }), "No MCI device open");
    EXPECT_EQ(ErrorOf([&] { player.SetPosition(0); }), "No MCI device open");
    EXPECT_EQ(ErrorOf([&] { player.Length(); }), "No MCI device open");
    // The queries and the time format never raise.
    EXPECT_EQ(ErrorOf([&] { player.SetTimeFormat(TMPTimeFormats::Milliseconds); }), "");
    EXPECT_EQ(player.Mode(), 0);
    EXPECT_EQ(player.Position(), 0);
}

TEST_F(MediaPlayerTest, WithoutAFileModeAndPositionAreZeroAndRequestsRaise)
{
    TMediaPlayer player;
    ExpectRequestsRefusedWithoutFile(player);
    player.SetStartPos(1000);
    player.SetEndPos(2000);
    EXPECT_EQ(ErrorOf([&] { player.Play(); }), "No MCI device open");
}

TEST_F(MediaPlayerTest, FailedOpenRaisesTheDecodersTextAndLeavesNoFileOpen)
{
    struct Case {
        std::string file;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"missing.wav", "No such file or directory"},
        {"notes.txt", "Invalid data found when processing input"},
        {"empty.wav", "Invalid data found when processing input"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        // A file was open and playing: the failed Open has closed it for good.
        auto player = OpenTone();
        player->Play();
        player->SetFileName(File(c.file));
        EXPECT_EQ(ErrorOf([&] { player->Open(); }), c.text);
        ExpectRequestsRefusedWithoutFile(*player);
    }
}

TEST_F(MediaPlayerTest, OpenReplacingKeepsTheOpenFileUntilTheNewOneHasOpened)
{
    struct Case {
        std::string file;
        std::string text;
        bool decoderReason;
    };
    const std::vector<Case> cases = {
        {"missing.wav", "No such file or directory", false},
        {"notes.txt", "Invalid data found when processing input", true},
        {"empty.wav", "Invalid data found when processing input", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto player = OpenTone("mono8k.wav");
        player->Play();
        ASSERT_EQ(player->Mode(), TMediaPlayer::ModePlaying);
        bool decoderReason = !c.decoderReason;
        std::string text;
        try {
            player->OpenReplacing(File(c.file));
        } catch (const EMCIDeviceError& error) {
            text = error.what();
            decoderReason = error.IsDecoderReason();
        }
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(decoderReason, c.decoderReason);
        // The earlier file is still open, named and playing.
        EXPECT_EQ(player->FileName(), File("mono8k.wav"));
        EXPECT_EQ(player->Mode(), TMediaPlayer::ModePlaying);
        EXPECT_EQ(player->Length(), 3000);
        EXPECT_EQ(player->SampleRate(), 8000);
        player->Stop();
        player->SetStartPos(1000);
        player->Play();
        EXPECT_TRUE(WaitUntil([&] { return player->Position() > 1200; }));
    }
    // A file that opens takes the earlier one's place: stopped at 0, with its properties.
    auto player = OpenTone("mono8k.wav");
    player->Play();
    EXPECT_TRUE(player->OpenReplacing(File("tone.wma")));
    EXPECT_EQ(player->FileName(), File("tone.wma"));
    EXPECT_EQ(player->Mode(), TMediaPlayer::ModeStopped);
    EXPECT_EQ(player->Position(), 0);
    EXPECT_EQ(player->SampleRate(), 44100);
    EXPECT_EQ(player->Channels(), 2);
    EXPECT_EQ(player->BitRate(), 128000);
}

TEST_F(MediaPlayerTest, PlaybackOnTheNullOutputIsReportedAsSilent)
{
    auto player = OpenTone();
    int silentStarts = 0;
    QObject::connect(player.get(), &TMediaPlayer::PlayingSilently, [&] { ++silentStarts; });
    player->Play();
    EXPECT_EQ(silentStarts, 1);
    player->Stop();
    player->Play();
    EXPECT_EQ(silentStarts, 2) << "each silent playback tells so";
}

TEST_F(MediaPlayerTest, TheDecodersCommentaryStaysOffTheTerminal)
{
    // An MP3 with a stretch of junk in its middle: the decoder complains while playing.
    const std::string damaged = dir_->file("damaged.mp3");
    std::string bytes = fixtures::ReadFile(dir_->file("tone.mp3"));
    ASSERT_GT(bytes.size(), 20000u);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 4000; ++i)
        bytes[i] = char(i * 7919 % 251);
    fixtures::WriteFile(damaged, bytes);
    fixtures::ScratchDir captured;
    const std::string errors = captured.file("stderr");
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    dup2(file, STDERR_FILENO);
    close(file);
    {
        TMediaPlayer player;
        player.SetFileName(QString::fromStdString(damaged));
        player.Open();
        player.Play();
        WaitUntil([&] { return Stopped(player); });
    }
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    EXPECT_EQ(fixtures::ReadFile(errors), "");
}

TEST_F(MediaPlayerTest, HostileSourcesAreRefusedWithAClearTextAndWithoutHanging)
{
    fixtures::ScratchDir dir;
    ASSERT_TRUE(fixtures::MakeTone(dir.file("other.mp3"), 2.0));
    struct Case {
        std::string file;
        std::string text;
    };
    std::vector<Case> cases;
    for (const fixtures::ListSource& list : fixtures::MakeListSources(dir.path()))
        cases.push_back({list.name, "The file is not an audio file that can be opened."});
    cases.push_back({"live.mp3", "The file is not a regular file."});  // the lists' named pipe
    ASSERT_TRUE(fixtures::MakeSparseFile(dir.file("zeros.mp3"), off_t(1) << 30));
    cases.push_back({"zeros.mp3", "The file is not an audio file that can be opened."});
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=16x16", "-frames:v", "1", dir.file("picture.png")}));
    cases.push_back({"picture.png", "The file is not an audio file that can be opened."});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto player = OpenTone();
        player->SetFileName(QString::fromStdString(dir.file(c.file)));
        fixtures::HangGuard guard(60);
        EXPECT_EQ(ErrorOf([&] { player->Open(); }), c.text);
        ExpectRequestsRefusedWithoutFile(*player);
    }
}

TEST_F(MediaPlayerTest, AnOpenIsBrokenOffByCloseCancelDestructionOrALaterOpen)
{
    // Each action runs from the event loop that Open keeps running while it waits.
    enum class Action { Close, CancelOpen, Destroy, LaterOpen };
    for (const Action action : {Action::Close, Action::CancelOpen, Action::Destroy, Action::LaterOpen}) {
        SCOPED_TRACE(int(action));
        auto player = std::make_unique<TMediaPlayer>();
        TMediaPlayer* const raw = player.get();
        player->SetFileName(File("tone.wav"));
        bool acted = false;
        bool laterOpened = false;
        QTimer::singleShot(0, [&] {
            acted = true;
            switch (action) {
            case Action::Close: player->Close(); break;
            case Action::CancelOpen: player->CancelOpen(); break;
            case Action::Destroy: player.reset(); break;
            case Action::LaterOpen:
                player->SetFileName(File("mono8k.wav"));
                laterOpened = player->Open();
                break;
            }
        });
        bool opened = true;
        EXPECT_EQ(ErrorOf([&] { opened = raw->Open(); }), "");
        EXPECT_TRUE(acted) << "events are handled while the file opens";
        EXPECT_FALSE(opened);
        if (action == Action::Destroy) {
            EXPECT_FALSE(player);
            continue;
        }
        if (action == Action::LaterOpen) {
            // The later open holds the player: the earlier one left it alone.
            EXPECT_TRUE(laterOpened);
            EXPECT_EQ(player->Mode(), TMediaPlayer::ModeStopped);
            EXPECT_EQ(player->FileName(), File("mono8k.wav"));
            EXPECT_EQ(player->Length(), 3000);
            continue;
        }
        ExpectRequestsRefusedWithoutFile(*player);
        // Nothing of the broken-off open lingers: the next one opens as usual.
        EXPECT_TRUE(player->Open());
        EXPECT_EQ(player->Length(), 3000);
    }
}

TEST_F(MediaPlayerTest, OpenGivesStoppedModePositionZeroAndTheFilesLength)
{
    struct Case {
        std::string file;
        int lengthMs;
        int toleranceMs;  // lossy coders pad the stream to whole frames
    };
    const std::vector<Case> cases = {
        {"tone.wav", 3000, 0}, {"mono8k.wav", 3000, 0}, {"tone.mp3", 3000, 60}, {"tone.wma", 3000, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto player = OpenTone(c.file);
        EXPECT_EQ(player->FileName(), File(c.file));
        EXPECT_EQ(player->Mode(), 1);
        EXPECT_EQ(player->Position(), 0);
        EXPECT_NEAR(player->Length(), c.lengthMs, c.toleranceMs);
    }
}

TEST_F(MediaPlayerTest, PlayFromStartToEndPlaysInRealTimeAndStopsAtTheEnd)
{
    for (const std::string file : {"tone.wav", "tone.mp3", "tone.wma", "mono8k.wav"}) {
        SCOPED_TRACE(file);
        auto player = OpenTone(file);
        player->SetTimeFormat(TMPTimeFormats::Milliseconds);
        player->SetStartPos(1000);
        player->SetEndPos(1500);
        QElapsedTimer clock;
        clock.start();
        player->Play();
        EXPECT_EQ(player->Mode(), 2);

        // The position moves forward within the stretch while it plays.
        int last = 1000;
        bool moved = false;
        ASSERT_TRUE(WaitUntil([&] {
            const int mode = player->Mode();
            const int position = player->Position();
            EXPECT_GE(position, last);
            EXPECT_LE(position, 1500);
            moved = moved || (mode == 2 && position > 1000 && position < 1500);
            last = position;
            return mode == 1;
        }));
        // Half a second of audio takes half a second to hear.
        EXPECT_GE(clock.elapsed(), 450);
        EXPECT_TRUE(moved);
        EXPECT_EQ(player->Position(), 1500);
        Pause(150);
        EXPECT_EQ(player->Mode(), 1);
        EXPECT_EQ(player->Position(), 1500);
    }
}

TEST_F(MediaPlayerTest, StopKeepsThePositionHeardAndPlayResumesThere)
{
    auto player = OpenTone();
    player->Play();
    ASSERT_TRUE(WaitUntil([&] { return player->Position() >= 300; }));
    player->Stop();
    EXPECT_EQ(player->Mode(), 1);
    const int stoppedAt = player->Position();
    EXPECT_GE(stoppedAt, 300);
    EXPECT_LT(stoppedAt, 3000);
    Pause(200);
    EXPECT_EQ(player->Position(), stoppedAt);

    // Without a start, Play goes on from where it stopped.
    player->Play();
    EXPECT_EQ(player->Mode(), 2);
    EXPECT_GE(player->Position(), stoppedAt);
    EXPECT_LT(player->Position(), stoppedAt + 200);
    player->Stop();
    // Stop when nothing plays changes nothing.
    const int again = player->Position();
    player->Stop();
    EXPECT_EQ(player->Mode(), 1);
    EXPECT_EQ(player->Position(), again);
}

TEST_F(MediaPlayerTest, StartAndEndApplyToTheNextPlayOnly)
{
    auto player = OpenTone();
    player->SetStartPos(1000);
    player->SetEndPos(1200);
    player->Play();
    ASSERT_TRUE(WaitUntil([&] { return Stopped(*player); }));
    EXPECT_EQ(player->Position(), 1200);

    // This Play has neither: it goes on from 1200 towards the end of the file.
    player->Play();
    EXPECT_EQ(player->Mode(), 2);
    ASSERT_TRUE(WaitUntil([&] { return player->Position() > 1400; }));
    EXPECT_EQ(player->Mode(), 2);
    player->Stop();

    // An end alone: from where it stopped up to the end.
    const int from = player->Position();
    player->SetEndPos(from + 300);
    player->Play();
    ASSERT_TRUE(WaitUntil([&] { return Stopped(*player); }));
    EXPECT_EQ(player->Position(), from + 300);
}

TEST_F(MediaPlayerTest, SeekStopsPlaybackAndMovesThePosition)
{
    auto player = OpenTone();
    player->SetPosition(2000);
    EXPECT_EQ(player->Mode(), 1);
    EXPECT_EQ(player->Position(), 2000);

    player->Play();
    EXPECT_GE(player->Position(), 2000);
    ASSERT_TRUE(WaitUntil([&] { return player->Position() >= 2100; }));
    player->SetPosition(500);
    EXPECT_EQ(player->Mode(), 1);
    EXPECT_EQ(player->Position(), 500);
    Pause(200);
    EXPECT_EQ(player->Position(), 500);

    // Playback goes on from the seek.
    player->Play();
    EXPECT_GE(player->Position(), 500);
    EXPECT_LT(player->Position(), 700);
    player->Stop();
}

TEST_F(MediaPlayerTest, PositionsOutsideTheFileAreRefusedWithoutEffect)
{
    auto player = OpenTone();
    EXPECT_TRUE(player->LastError().isEmpty());
    player->SetPosition(700);
    for (int bad : {-1, 3001}) {
        SCOPED_TRACE(bad);
        player->SetPosition(bad);
        EXPECT_FALSE(player->LastError().isEmpty());
        EXPECT_EQ(player->Position(), 700);
    }
    // A start outside the file, or an end before the start: nothing plays.
    struct Range {
        int from, to;
    };
    for (Range r : {Range{-200, 1000}, Range{3200, 3500}, Range{1500, 1000}}) {
        SCOPED_TRACE(r.from);
        player->SetStartPos(r.from);
        player->SetEndPos(r.to);
        player->Play();
        EXPECT_EQ(player->Mode(), 1);
        EXPECT_EQ(player->Position(), 700);
    }
    // A refused seek during playback leaves it playing.
    player->Play();
    player->SetPosition(-5);
    EXPECT_EQ(player->Mode(), 2);
    player->Stop();

    // An end beyond the file plays to the file's end.
    player->SetStartPos(2700);
    player->SetEndPos(4000);
    player->Play();
    EXPECT_EQ(player->Mode(), 2);
    ASSERT_TRUE(WaitUntil([&] { return Stopped(*player); }));
    EXPECT_EQ(player->Position(), 3000);

    // A new Open forgets the refusals.
    player->Open();
    EXPECT_TRUE(player->LastError().isEmpty());
}

TEST_F(MediaPlayerTest, PlayAtTheEndStartsAgainFromTheTop)
{
    for (const std::string file : {"tone.wav", "tone.mp3"}) {
        SCOPED_TRACE(file);
        auto player = OpenTone(file);
        const int length = player->Length();
        player->SetStartPos(length - 300);
        player->Play();
        ASSERT_TRUE(WaitUntil([&] { return Stopped(*player); }));
        EXPECT_EQ(player->Position(), length);

        // Neither start nor end: from the top.
        player->Play();
        EXPECT_EQ(player->Mode(), 2);
        EXPECT_LT(player->Position(), 200);
        player->Stop();

        // With an end set, the rule does not apply: from the end to the end plays nothing.
        player->SetPosition(length);
        player->SetEndPos(length);
        player->Play();
        EXPECT_EQ(player->Mode(), 1);
        EXPECT_EQ(player->Position(), length);
    }
}

TEST_F(MediaPlayerTest, PlayWhilePlayingRestartsAndOpenStopsPlayback)
{
    auto player = OpenTone();
    player->SetStartPos(2000);
    player->Play();
    ASSERT_TRUE(WaitUntil([&] { return player->Position() >= 2100; }));
    player->SetStartPos(500);
    player->SetEndPos(700);
    player->Play();
    EXPECT_EQ(player->Mode(), 2);
    EXPECT_LT(player->Position(), 700);
    ASSERT_TRUE(WaitUntil([&] { return Stopped(*player); }));
    EXPECT_EQ(player->Position(), 700);

    player->Play();
    EXPECT_EQ(player->Mode(), 2);
    player->SetFileName(File("mono8k.wav"));
    player->Open();
    EXPECT_EQ(player->Mode(), 1);
    EXPECT_EQ(player->Position(), 0);
    Pause(200);
    EXPECT_EQ(player->Position(), 0);
}

TEST_F(MediaPlayerTest, DestroyingOrClosingWhilePlayingEndsCleanly)
{
    for (int round = 0; round < 3; ++round) {
        auto player = OpenTone(round == 1 ? "tone.mp3" : "tone.wav");
        player->Play();
        Pause(50 * round);
        if (round == 2) {
            player->Close();
            ExpectRequestsRefusedWithoutFile(*player);
        }
    }
}

}  // namespace
