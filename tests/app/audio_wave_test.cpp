// The strip's wave from the audio on the real window: the pseudo-random wave right after
// opening, the levels once found, a second open breaking off the first analysis, a file
// without levels, and the context menu's switch kept in the settings.
#include <gtest/gtest.h>

#include <QAction>
#include <QSettings>
#include <QTimer>
#include <cstdio>

#include "audio/LevelAnalysis.h"
#include "strip/StripRandom.h"
#include "strip/WaveRender.h"
#include "support/Passages.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

constexpr int kStripHeight = 152;

// The pseudo-random wave that a strip of so many columns gets next, drawn from a fresh
// generator; the generator is put back, so the window draws the same wave.
std::vector<int32_t> NextPseudoWave(int columns)
{
    ResetStripRandomForTesting();
    TWaveRender scratch(nullptr, columns, kStripHeight);
    scratch.SetWaveWidth(columns);
    ResetStripRandomForTesting();
    return scratch.Wave();
}

QAction* ShowAudioWave(TMainForm& form)
{
    for (QAction* action : form.imgWave->actions())
        if (action->text() == "Show the audio's wave")
            return action;
    return nullptr;
}

bool WaitForLevels(const TMainForm& form)
{
    return WindowFixture::WaitFor([&form] { return form.Levels() && form.Levels()->Finished(); });
}

}  // namespace

TEST(AudioWave, PseudoWaveFirstThenTheLevelsOfTheAudio)
{
    WindowFixture w;
    const std::string path = w.files.file("passages.mp3");
    ASSERT_TRUE(fixtures::MakePassages(path, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}));
    const std::vector<int32_t> pseudo = NextPseudoWave(30);
    w.Open(path);
    ASSERT_EQ(w.form->FRender->StripWidth(), 30);
    EXPECT_EQ(w.form->FRender->Wave(), pseudo) << "the pseudo-random wave until levels arrive";

    ASSERT_TRUE(WaitForLevels(*w.form));
    EXPECT_EQ(w.form->Levels()->Outcome(), ColumnLevels::Outcome::Complete);
    const std::vector<int32_t> wave = w.form->FRender->Wave();
    ASSERT_EQ(wave.size(), 30u);
    const int32_t tallest = w.form->FRender->TallestBar();
    EXPECT_EQ(tallest, 44);
    for (int column = 0; column < 9; ++column)
        EXPECT_EQ(wave[column], 0) << "silence, column " << column;
    for (int column = 11; column < 19; ++column) {
        EXPECT_GE(wave[column], tallest * 3 / 10) << "quiet, column " << column;
        EXPECT_LE(wave[column], tallest * 6 / 10) << "quiet, column " << column;
    }
    for (int column = 21; column < 29; ++column) {
        EXPECT_GE(wave[column], tallest * 9 / 10) << "loud, column " << column;
        EXPECT_LE(wave[column], tallest) << "loud, column " << column;
    }
}

TEST(AudioWave, SecondOpenBreaksOffTheFirstAnalysis)
{
    WindowFixture w;
    // An hour of loud tone: its analysis is still running when the second open starts.
    const std::string loud = w.files.file("loud.mp3"), hour = w.files.file("hour.mp3");
    ASSERT_TRUE(fixtures::MakeTone(loud, 10, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"}));
    ASSERT_TRUE(fixtures::Ffmpeg({"-stream_loop", "359", "-i", loud, "-c", "copy", "-write_xing", "0", hour}));
    const std::string silent = w.files.file("silent.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=8000:cl=mono", "-t", "3", silent}));

    w.Open(hour);
    ASSERT_GE(w.form->FRender->StripWidth(), 18000);
    const LevelAnalysis* first = w.form->Levels();
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->Finished());
    bool firstGone = false;
    QObject::connect(first, &QObject::destroyed, [&firstGone] { firstGone = true; });

    const std::vector<int32_t> pseudo = NextPseudoWave(15);
    w.Open(silent);
    EXPECT_TRUE(firstGone) << "the first analysis was stopped by the second open";
    ASSERT_EQ(w.form->FRender->StripWidth(), 15);
    // Each column shows the pseudo-random wave or the silent file's level, never a bar of
    // the loud file.
    int checks = 0;
    ASSERT_TRUE(WindowFixture::WaitFor([&] {
        const std::vector<int32_t> wave = w.form->FRender->Wave();
        for (std::size_t i = 0; i < wave.size(); ++i)
            if (wave[i] != 0 && wave[i] != pseudo[i])
                ADD_FAILURE() << "column " << i << " has a bar of " << wave[i];
        ++checks;
        return w.form->Levels()->Finished();
    }));
    EXPECT_EQ(w.form->Levels()->Outcome(), ColumnLevels::Outcome::Complete);
    // A batch of the loud file would come within its batch interval (100 ms): events are
    // handled for three of them.
    bool waited = false;
    QTimer::singleShot(300, [&] { waited = true; });
    ASSERT_TRUE(WindowFixture::WaitFor([&] { return waited; }));
    EXPECT_EQ(w.form->FRender->Wave(), std::vector<int32_t>(15, 0));
    EXPECT_GT(checks, 0);
}

TEST(AudioWave, ClosingTheWindowStopsTheAnalysis)
{
    WindowFixture w;
    const std::string loud = w.files.file("loud.mp3"), hour = w.files.file("hour.mp3");
    ASSERT_TRUE(fixtures::MakeTone(loud, 10, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"}));
    ASSERT_TRUE(fixtures::Ffmpeg({"-stream_loop", "359", "-i", loud, "-c", "copy", "-write_xing", "0", hour}));
    w.form->show();
    w.Open(hour);
    const LevelAnalysis* analysis = w.form->Levels();
    ASSERT_NE(analysis, nullptr);
    bool gone = false;
    QObject::connect(analysis, &QObject::destroyed, [&gone] { gone = true; });
    EXPECT_TRUE(w.form->close());
    EXPECT_TRUE(gone);
    EXPECT_EQ(w.form->Levels(), nullptr);
}

TEST(AudioWave, FileWithoutLevelsKeepsThePseudoWave)
{
    WindowFixture w;
    // An MP3 behind a large ID3v2 tag of 0xFF bytes: the player skips the tag, while the
    // reader's scan slides through it long enough to handle events.
    const std::string tone = w.files.file("tone.mp3"), path = w.files.file("tagged.mp3");
    ASSERT_TRUE(fixtures::MakeTone(tone, 3, 44100, 2, {"-c:a", "libmp3lame", "-write_xing", "0", "-id3v2_version", "0"}));
    constexpr std::uint32_t kTagBytes = 8u << 20;
    std::string tag = "ID3\x03\x00\x00";
    for (int shift = 21; shift >= 0; shift -= 7)   // the size in four 7-bit bytes
        tag += char((kTagBytes >> shift) & 0x7F);
    fixtures::WriteFile(path, tag + std::string(kTagBytes, '\xFF') + fixtures::ReadFile(tone));
    const std::string text = w.files.file("notes.txt");
    fixtures::WriteFile(text, "this is not audio at all\n");
    // Once the player holds the file, a text takes its name: the analysis, which opens the
    // name afterwards, finds no audio there.
    bool replaced = false;
    TMPEGAudio::SetDefaultMessagePump([&] {
        if (!replaced)
            replaced = std::rename(text.c_str(), path.c_str()) == 0;
        return true;
    });
    w.Open(path);
    ASSERT_TRUE(replaced);
    const int columns = w.form->FRender->StripWidth();
    ASSERT_GT(columns, 0);
    const std::vector<int32_t> pseudo = w.form->FRender->Wave();
    ASSERT_TRUE(WaitForLevels(*w.form));
    EXPECT_EQ(w.form->Levels()->Outcome(), ColumnLevels::Outcome::Failed);
    EXPECT_EQ(w.form->FRender->Wave(), pseudo);
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(path));
    EXPECT_TRUE(w.dialogs.messages.isEmpty()) << "missing levels are not an error for the user";
}

TEST(AudioWave, ContextMenuSwitchesTheWaveAndIsKept)
{
    WindowFixture w;
    EXPECT_EQ(w.form->imgWave->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* show = ShowAudioWave(*w.form);
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(show->isCheckable());
    EXPECT_TRUE(show->isChecked()) << "on by default";

    const std::string path = w.files.file("passages.wav");
    ASSERT_TRUE(fixtures::MakePassages(path, 8000, 1));
    const std::vector<int32_t> pseudo = NextPseudoWave(30);
    w.Open(path);
    ASSERT_TRUE(WaitForLevels(*w.form));
    const std::vector<int32_t> levels = w.form->FRender->Wave();
    ASSERT_NE(levels, pseudo);
    const LevelAnalysis* analysis = w.form->Levels();

    show->trigger();
    EXPECT_FALSE(show->isChecked());
    EXPECT_EQ(w.form->FRender->Wave(), pseudo) << "off: the pseudo-random wave";
    show->trigger();
    EXPECT_EQ(w.form->FRender->Wave(), levels) << "on again: the levels found before";
    EXPECT_EQ(w.form->Levels(), analysis) << "nothing was analysed again";

    // Off, kept in the settings file in the scratch folder, and read by the next window.
    show->trigger();
    const QString settingsFile = QSettings(QSettings::UserScope, "Tallowick").fileName();
    EXPECT_TRUE(settingsFile.startsWith(QString::fromStdString(w.runtime.path()))) << settingsFile.toStdString();
    w.form.reset();
    w.form = std::make_unique<TMainForm>();
    QAction* again = ShowAudioWave(*w.form);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->isChecked());
    // A file opened while it is off shows the pseudo-random wave, levels found or not.
    const std::vector<int32_t> nextPseudo = NextPseudoWave(30);
    w.Open(path);
    ASSERT_TRUE(WaitForLevels(*w.form));
    EXPECT_EQ(w.form->FRender->Wave(), nextPseudo);
    again->trigger();
    EXPECT_EQ(w.form->FRender->Wave(), levels);
}
