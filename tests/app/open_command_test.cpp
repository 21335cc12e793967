// The Open command on the real window: labels, strip width, source path, failures, and a
// second open during a slow scan.
#include <gtest/gtest.h>

#include <QLabel>
#include <QScrollBar>
#include <QTime>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/ErrorHandler.h"
#include "platform/LocaleTime.h"
#include "strip/WaveRender.h"
#include "support/HostileSources.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

struct Labels {
    QString filename, sampleRate, length, bitrate, channel;
};

Labels Read(const TMainForm& form)
{
    return {form.lblFilename->Caption(), form.lblSampleRate->Caption(), form.lblLength->Caption(),
            form.lblBitrate->Caption(), form.lblChannel->Caption()};
}

}  // namespace

TEST(OpenCommand, PropertiesAndStripOfEachKindOfFile)
{
    WindowFixture w;
    const std::string mp3 = w.files.file("song.mp3");
    const std::string capitals = w.files.file("SONG.MP3");
    const std::string wav = w.files.file("tone.wav");
    const std::string wma = w.files.file("tone.wma");
    const std::string mono = w.files.file("mono.mp3");
    // 3:25 at 128 kbit/s without a tag, so that the file's length gives the time exactly.
    ASSERT_TRUE(fixtures::MakeTone(mp3, 205, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version", "0"}));
    ASSERT_TRUE(fixtures::Ffmpeg({"-i", mp3, "-c", "copy", "-f", "mp3", capitals}));
    ASSERT_TRUE(fixtures::MakeTone(wav, 7.5, 22050, 1));
    ASSERT_TRUE(fixtures::MakeTone(wma, 4.2, 44100, 2, {"-c:a", "wmav2"}));
    ASSERT_TRUE(fixtures::MakeTone(mono, 3, 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k", "-write_xing", "0"}));

    struct Case {
        std::string path;
        Labels labels;
        int columns;
    };
    const QString q = QString::fromStdString(mp3);
    const Case cases[] = {
        {mp3, {"File Name: " + q, "Sample Rate: 44100", "Time Length: " + LongTimeText(QTime(0, 3, 25)), "Bitrate: 128", "Channel: Stereo"}, 1025},
        // ".MP3" is examined by the MPEG reader as ".mp3" is.
        {capitals, {"File Name: " + QString::fromStdString(capitals), "Sample Rate: 44100", "Time Length: " + LongTimeText(QTime(0, 3, 25)), "Bitrate: 128", "Channel: Stereo"}, 1025},
        // Other files get their properties from the decoder: 22050 Hz x 16 bits = 352.8 kbit/s.
        {wav, {"File Name: " + QString::fromStdString(wav), "Sample Rate: 22050", "Time Length: " + LongTimeText(QTime(0, 0, 7)), "Bitrate: 352", "Channel: Mono"}, 35},
        {wma, {"File Name: " + QString::fromStdString(wma), "Sample Rate: 44100", "Time Length: " + LongTimeText(QTime(0, 0, 4)), "Bitrate: 128", "Channel: Stereo"}, 20},
        {mono, {"File Name: " + QString::fromStdString(mono), "Sample Rate: 22050", "Time Length: " + LongTimeText(QTime(0, 0, 3)), "Bitrate: 32", "Channel: Mono"}, 15},
    };
    // Shown, so that the strip's scroll area lays itself out.
    w.form->show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        w.Open(c.path);
        const Labels labels = Read(*w.form);
        EXPECT_EQ(labels.filename, c.labels.filename);
        EXPECT_EQ(labels.sampleRate, c.labels.sampleRate);
        EXPECT_EQ(labels.length, c.labels.length);
        EXPECT_EQ(labels.bitrate, c.labels.bitrate);
        EXPECT_EQ(labels.channel, c.labels.channel);
        EXPECT_EQ(w.form->FRender->StripWidth(), c.columns);
        EXPECT_EQ(w.form->imgWave->width(), c.columns);
        // The strip scrolls over all its columns, and what is shown is drawn from the strip.
        const int viewport = w.form->ScrollBoxWave->viewport()->width();
        EXPECT_EQ(w.form->ScrollBoxWave->horizontalScrollBar()->maximum(), std::max(c.columns - viewport, 0));
        EXPECT_EQ(w.form->imgWave->VisibleImage().width(), std::min(c.columns, viewport));
        EXPECT_EQ(w.form->imgWave->height(), 152);
        EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(c.path));
        EXPECT_EQ(w.form->lblFilename->Hint(), c.labels.filename);
        EXPECT_TRUE(w.form->imgAd->isHidden());
        EXPECT_FALSE(w.form->ScrollBoxWave->isHidden());
        EXPECT_EQ(w.form->MediaPlayer1->Mode(), 1);
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    ASSERT_FALSE(w.dialogs.openRequests.isEmpty());
    // The described entries in their order, the first of them selected, then one entry for
    // every kind of file the decoder reads.
    EXPECT_EQ(w.dialogs.openRequests[0].filter,
              "Mp3 Music Files (*.mp3)|*.mp3|Wave Files (*.wav)|*.wav|WMA Files (*.wma)|*.wma|All Files (*.*)|*.*|"
              "All Audio Files (*.mp3;*.wav;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.aiff)|"
              "*.mp3;*.wav;*.wma;*.flac;*.ogg;*.oga;*.opus;*.m4a;*.aac;*.aiff");
    EXPECT_EQ(TranslateFilter(w.dialogs.openRequests[0].filter).last(),
              "All Audio Files (*.mp3 *.wav *.wma *.flac *.ogg *.oga *.opus *.m4a *.aac *.aiff)");
}

TEST(OpenCommand, ShortFileGivesNoColumnsAndTheSelectionMovesToItsStart)
{
    WindowFixture w;
    const std::string wav = w.files.file("short.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 0.6, 8000, 1));
    w.form->FRender->SetBeginPos(300);
    w.Open(wav);
    EXPECT_EQ(w.form->lblLength->Caption(), "Time Length: " + LongTimeText(QTime(0, 0)));
    EXPECT_EQ(w.form->FRender->StripWidth(), 0);
    EXPECT_EQ(w.form->imgWave->width(), 0);
    EXPECT_EQ(w.form->FRender->BeginPos(), 0) << "a marker beyond the end moves to the start";
    EXPECT_EQ(w.form->FRender->EndPos(), 0);
    EXPECT_EQ(w.form->FRender->CursorPos(), 20);
}

TEST(OpenCommand, MarkersBeyondTheEndOfTheFileMoveToItsStart)
{
    WindowFixture w;
    // Ten seconds: 50 columns.
    const std::string wav = w.files.file("ten.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 10, 8000, 1));
    struct Case {
        int begin, end;
        int expectedBegin, expectedEnd;
    };
    const Case cases[] = {
        {10, 40, 10, 40},    // within the file: kept
        {40, 50, 40, 50},    // ends at the file's end: kept
        {30, 10, 30, 10},    // reversed and within: kept as they are
        {45, 60, 0, 15},     // past the end: to the start, same length
        {100, 150, 0, 50},   // the initial selection lies wholly past the end
        {150, 20, 0, 50},    // reversed and longer than the file: the whole file
        {-10, 60, 0, 50},    // longer than the file: the whole file
        {200, 230, 0, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.begin << ".." << c.end);
        w.form->FRender->SetBeginPos(c.begin);
        w.form->FRender->SetEndPos(c.end);
        w.Open(wav);
        EXPECT_EQ(w.form->FRender->BeginPos(), c.expectedBegin);
        EXPECT_EQ(w.form->FRender->EndPos(), c.expectedEnd);
        EXPECT_LE(w.form->FRender->SelRight(), w.form->FRender->StripWidth());
    }
    // What Save then cuts lies within the file.
    w.form->FRender->SetBeginPos(120);
    w.form->FRender->SetEndPos(180);
    w.Open(wav);
    EXPECT_EQ(w.form->FRender->BeginSecond(), 0);
    EXPECT_EQ(w.form->FRender->EndSecond(), 10);
}

TEST(OpenCommand, CancelledDialogChangesNothing)
{
    WindowFixture w;
    w.dialogs.openAnswers.push_back(std::nullopt);
    w.form->btnOpenClick(w.form->btnOpen);
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name:");
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());
    EXPECT_TRUE(w.form->MediaPlayer1->FileName().isEmpty());
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 0);
    EXPECT_FALSE(w.form->imgAd->isHidden());
}

TEST(OpenCommand, FailedOpenNamesTheFileAndTheEarlierFileStaysPlayable)
{
    WindowFixture w;
    const std::string wav = w.files.file("good.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 4, 8000, 1));
    struct Case {
        std::string name;
        std::string bytes;
        QString text;
    };
    const Case cases[] = {
        {"notes.wav", "this is not audio at all\n",
         "\"notes.wav\" is not an audio file that Tallowick can read (invalid data found when processing input)."},
        {"Song Two.MP3", "ID3\x03\x00\x00\x00\x00\x00\x00" + std::string(3000, '\x55'),
         "\"Song Two.MP3\" is not an audio file that Tallowick can read (invalid argument)."},
        {"empty.wav", "", "\"empty.wav\" is not an audio file that Tallowick can read (invalid data found when processing input)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.dialogs.messages.clear();
        w.Open(wav);
        const Labels before = Read(*w.form);
        const std::string bad = w.files.file(c.name);
        fixtures::WriteFile(bad, c.bytes);
        w.dialogs.openAnswers.push_back(fixtures::FakeDialogs::Pick(bad));
        // As a click does: the error leaves the handler and reaches the error box.
        RunHandler([&] { w.form->btnOpenClick(w.form->btnOpen); });
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages[0].icon, QMessageBox::Critical);
        EXPECT_EQ(w.dialogs.messages[0].text, c.text);
        const Labels after = Read(*w.form);
        EXPECT_EQ(after.filename, before.filename);
        EXPECT_EQ(after.length, before.length);
        EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(wav));
        EXPECT_EQ(w.form->MediaPlayer1->FileName(), QString::fromStdString(wav));

        // The earlier file still plays, from the cursor and as the selection.
        ASSERT_EQ(w.form->MediaPlayer1->Mode(), 1) << "the player kept the earlier file";
        w.form->FRender->SetCursorPos(0);
        w.form->btnPlayClick(w.form->btnPlay);
        EXPECT_EQ(w.form->MediaPlayer1->Mode(), 2);
        EXPECT_TRUE(WindowFixture::WaitFor([&] { return w.form->MediaPlayer1->Position() > 300; }));
        w.form->FRender->SetBeginPos(5);
        w.form->FRender->SetEndPos(10);
        w.form->btnPlaySelectedClick(w.form->btnPlaySelected);
        EXPECT_EQ(w.form->MediaPlayer1->Mode(), 2);
        EXPECT_TRUE(WindowFixture::WaitFor([&] { return w.form->MediaPlayer1->Position() > 1300; }));
        w.form->MouseEffectImage1Click(w.form->MouseEffectImage1);
    }
}

TEST(OpenCommand, LongPathIsShortenedInTheMiddleSoThatTheNameShows)
{
    WindowFixture w;
    const std::string folder = w.files.file("a folder with a rather long name/and another one below it");
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    const std::string wav = folder + "/my ringtone.wav";
    ASSERT_TRUE(fixtures::MakeTone(wav, 1, 8000, 1));
    w.form->show();
    w.Open(wav);
    const QString whole = "File Name: " + QString::fromStdString(wav);
    EXPECT_EQ(w.form->lblFilename->Caption(), whole) << "the caption is the whole text";
    EXPECT_EQ(w.form->lblFilename->Hint(), whole);
    const QString shown = w.form->lblFilename->ShownText();
    EXPECT_TRUE(shown.startsWith("File Name: /")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("/my ringtone.wav")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(QFontMetrics(w.form->lblFilename->font()).horizontalAdvance(shown), w.form->lblFilename->width());
    // What is painted is that text, not the path cut at the label's edge.
    QImage painted(w.form->lblFilename->size(), QImage::Format_ARGB32);
    painted.fill(Qt::white);
    w.form->lblFilename->render(&painted);
    QImage expected(painted.size(), QImage::Format_ARGB32);
    expected.fill(Qt::white);
    QLabel reference(shown);
    reference.setFont(w.form->lblFilename->font());
    reference.setPalette(w.form->lblFilename->palette());
    reference.setAttribute(Qt::WA_TranslucentBackground);
    reference.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    reference.resize(painted.size());
    reference.render(&expected);
    EXPECT_EQ(painted, expected);
}

TEST(OpenCommand, SilentPlaybackIsToldOnceInTheStatusBar)
{
    WindowFixture w;
    const std::string wav = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 3, 8000, 1));
    w.Open(wav);
    const QString before = w.form->sb_status->Caption();
    EXPECT_NE(before, "No sound output found: playing silently.");
    // The fixture's player plays into the null output, as on a machine without sound.
    ASSERT_TRUE(TMediaPlayer::UseNullOutput());
    w.form->FRender->SetCursorPos(0);
    w.form->btnPlayClick(w.form->btnPlay);
    ASSERT_EQ(w.form->MediaPlayer1->Mode(), 2);
    EXPECT_EQ(w.form->sb_status->Caption(), "No sound output found: playing silently.");
    EXPECT_TRUE(WindowFixture::WaitFor([&] { return w.form->MediaPlayer1->Position() > 200; }));
    w.form->MouseEffectImage1Click(w.form->MouseEffectImage1);
    // Said once: a later status stays until something else changes it.
    w.form->sb_status->SetCaption("Completed.");
    w.form->btnPlayClick(w.form->btnPlay);
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 2);
    EXPECT_EQ(w.form->sb_status->Caption(), "Completed.");
}

TEST(OpenCommand, UnreadableMp3ShowsTheReadersBoxAndOpensWithWhatItHolds)
{
    WindowFixture w;
    // Audio the player can play, but without MPEG frame headers: the reader finds none.
    const std::string fake = w.files.file("tone.mp3");
    ASSERT_TRUE(fixtures::MakeTone(fake, 2, 8000, 1, {"-f", "wav"}));
    w.Open(fake);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].caption, "Error");
    EXPECT_EQ(w.dialogs.messages[0].text, "Error openning file: " + QString::fromStdString(fake));
    EXPECT_EQ(w.form->lblBitrate->Caption(), "Bitrate: 0");
    EXPECT_EQ(w.form->lblChannel->Caption(), "Channel: Stereo");
    EXPECT_EQ(w.form->FRender->StripWidth(), 0);
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(fake));
}

TEST(OpenCommand, LaterOpenDuringASlowScanWins)
{
    WindowFixture w;
    // A long file without any valid frame header, scanned with a pump that takes its time.
    const std::string slow = w.files.file("slow.mp3");
    const std::string wav = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 3, 8000, 1));
    // The player must be able to open the slow file, so a short WAV stands in front of it.
    const std::string wavBytes = fixtures::ReadFile(wav);
    fixtures::WriteFile(slow, wavBytes + std::string(8 << 20, '\xFF'));
    int pumps = 0;
    bool nestedDone = false;
    // The second open starts once the scan runs (the player has opened the slow file).
    TMPEGAudio::SetDefaultMessagePump([&] {
        if (++pumps == 1) {
            QTimer::singleShot(0, [&] {
                w.Open(wav);
                nestedDone = true;
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QApplication::processEvents(QEventLoop::AllEvents);
        return true;
    });
    w.Open(slow);
    EXPECT_TRUE(nestedDone);
    EXPECT_GT(pumps, 0);
    EXPECT_TRUE(w.dialogs.messages.isEmpty()) << "the cancelled scan reports nothing";
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(wav));
    EXPECT_EQ(w.form->MediaPlayer1->FileName(), QString::fromStdString(wav));
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name: " + QString::fromStdString(wav));
    EXPECT_EQ(w.form->lblLength->Caption(), "Time Length: " + LongTimeText(QTime(0, 0, 3)));
    EXPECT_EQ(w.form->FRender->StripWidth(), 15);
}

TEST(OpenCommand, ClosingTheWindowDuringAScanEndsItQuietly)
{
    WindowFixture w;
    const std::string wav = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 1, 8000, 1));
    const std::string slow = w.files.file("slow.mp3");
    fixtures::WriteFile(slow, fixtures::ReadFile(wav) + std::string(8 << 20, '\xFF'));
    // The window closes once the scan runs (the player has opened the slow file).
    int pumps = 0;
    TMPEGAudio::SetDefaultMessagePump([&] {
        if (++pumps == 1)
            QTimer::singleShot(0, [&] { w.form->close(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QApplication::processEvents(QEventLoop::AllEvents);
        return true;
    });
    w.form->show();
    w.Open(slow);
    EXPECT_GT(pumps, 0);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_FALSE(w.form->FRender);
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name:");
}

TEST(OpenCommand, AScanEndedByAnErrorLeavesNoReaderBehind)
{
    WindowFixture w;
    const std::string wav = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 1, 8000, 1));
    const std::string failing = w.files.file("failing.mp3");
    fixtures::WriteFile(failing, fixtures::ReadFile(wav) + std::string(1 << 20, '\xFF'));
    // Something handled during the scan raises an error, which ends the scan and the open
    // command and reaches the error box.
    TMPEGAudio::SetDefaultMessagePump([]() -> bool { throw std::runtime_error("Out of resources"); });
    w.dialogs.openAnswers.push_back(fixtures::FakeDialogs::Pick(failing));
    RunHandler([&] { w.form->btnOpenClick(w.form->btnOpen); });
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, "Out of resources.");
    EXPECT_FALSE(w.form->IsExaminingFile()) << "the window still points at the ended command's reader";

    // The next open and the close find no reader of the ended command to cancel.
    InstallWindowReaderDefaults();
    w.Open(wav);
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(wav));
    EXPECT_FALSE(w.form->IsExaminingFile());
    w.form->close();
}

TEST(OpenCommand, NamedPipeIsRefusedAndTheWindowStillResponds)
{
    WindowFixture w;
    const std::string wav = w.files.file("good.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 2, 8000, 1));
    w.Open(wav);
    const std::string pipe = w.files.file("x.mp3");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    w.dialogs.openAnswers.push_back(fixtures::FakeDialogs::Pick(pipe));
    {
        fixtures::HangGuard guard(60);
        RunHandler([&] { w.form->btnOpenClick(w.form->btnOpen); });
    }
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, "The file is not a regular file.");
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(wav));
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name: " + QString::fromStdString(wav));
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    EXPECT_TRUE(WindowFixture::WaitFor([&] { return answered; }));
    w.form->show();
    EXPECT_TRUE(w.form->close());
    EXPECT_TRUE(w.form->isHidden());
}

TEST(OpenCommand, LargeFileOfZerosIsRefusedWhileTheWindowKeepsRunning)
{
    WindowFixture w;
    const std::string zeros = w.files.file("zeros.mp3");
    ASSERT_TRUE(fixtures::MakeSparseFile(zeros, off_t(1) << 30));
    bool opening = false;
    int ticksWhileOpening = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticksWhileOpening += opening ? 1 : 0; });
    ticker.start();
    w.dialogs.openAnswers.push_back(fixtures::FakeDialogs::Pick(zeros));
    {
        fixtures::HangGuard guard(60);
        opening = true;
        RunHandler([&] { w.form->btnOpenClick(w.form->btnOpen); });
        opening = false;
    }
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].text, "The file is not an audio file that can be opened.");
    EXPECT_GT(ticksWhileOpening, 0) << "the window's timers ran during the open";
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 0);
}

TEST(OpenCommand, ClosingTheWindowDuringAnOpenEndsItQuietly)
{
    WindowFixture w;
    const std::string zeros = w.files.file("zeros.mp3");
    ASSERT_TRUE(fixtures::MakeSparseFile(zeros, off_t(1) << 30));
    w.form->show();
    QTimer::singleShot(0, [&] { w.form->close(); });
    {
        fixtures::HangGuard guard(60);
        w.Open(zeros);
    }
    EXPECT_TRUE(w.form->isHidden());
    EXPECT_TRUE(w.dialogs.messages.isEmpty()) << "the broken-off open reports nothing";
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name:");
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 0);
}
