// "Suggest a ringtone" on the real window: key S puts the markers on a chorus of a song
// of known structure and scrolls it into view, pressing again offers another place, a
// press during the analysis is answered when it ends, opening another file breaks the
// analysis off, and the ringtone length comes from the strip's menu and is kept.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "audio/HookAnalysis.h"
#include "strip/TimeText.h"
#include "strip/WaveRender.h"
#include "support/SongSynth.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

constexpr int kColumnsPerSecond = TWaveRender::ColumnsPerSecond;

// A song of about four minutes with three choruses, made once for all tests.
const songs::Song& TestSong()
{
    static const songs::Song song =
        songs::Synthesise({"mid_d_drums", 92, 2, 1, true, songs::PopStructure(), 0, 0, 0}, HookFinder::kSampleRate);
    return song;
}

std::string WriteTestSong(const WindowFixture& w)
{
    const std::string path = w.files.file("song.wav");
    EXPECT_TRUE(songs::WriteWav(path, TestSong().samples, TestSong().rate));
    return path;
}

double SecondsToNearestChorus(int32_t column)
{
    double best = 1e9;
    for (double start : TestSong().StartsOf(songs::Section::Chorus))
        best = std::min(best, std::fabs(double(column) / kColumnsPerSecond - start));
    return best;
}

bool WaitForHook(const TMainForm& form)
{
    return WindowFixture::WaitFor([&form] { return form.Hook() && form.Hook()->Finished(); }, 60000);
}

void PressS(TMainForm& form)
{
    QTest::keyClick(&form, Qt::Key_S);
}

void ShowActive(TMainForm& form)
{
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

QString SuggestedText(const TWaveRender& render, const QString& why)
{
    return QString("Suggested %1 - %2: %3")
        .arg(QString::fromStdString(FormatTimeText(render.BeginSecond())),
             QString::fromStdString(FormatTimeText(render.EndSecond())), why);
}

bool SelectionInView(const TMainForm& form)
{
    const int first = form.ScrollBoxWave->horizontalScrollBar()->value();
    const int shown = form.ScrollBoxWave->viewport()->width();
    return form.FRender->SelLeft() >= first && form.FRender->SelRight() < first + shown;
}

QAction* LengthAction(TMainForm& form, const QString& text)
{
    auto* menu = form.findChild<QMenu*>("menuRingtoneLength");
    if (!menu || !form.imgWave->actions().contains(menu->menuAction()) || menu->title() != "Ringtone length")
        return nullptr;
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

}  // namespace

TEST(SuggestCommand, KeySPutsTheMarkersOnAChorusAndPressingAgainOffersAnotherPlace)
{
    WindowFixture w;
    ShowActive(*w.form);
    w.Open(WriteTestSong(w));
    ASSERT_TRUE(WaitForHook(*w.form));
    ASSERT_EQ(w.form->Hook()->Result(), HookAnalysis::Outcome::Complete);

    PressS(*w.form);
    const TWaveRender& render = *w.form->FRender;
    EXPECT_LE(SecondsToNearestChorus(render.BeginPos()), 1.0) << "begins at column " << render.BeginPos();
    EXPECT_NEAR(render.EndPos() - render.BeginPos(), 30 * kColumnsPerSecond, 1);
    // The choruses lie beyond the first view of the strip: it scrolled to the selection.
    EXPECT_GT(render.BeginPos(), w.form->ScrollBoxWave->viewport()->width());
    EXPECT_TRUE(SelectionInView(*w.form));
    EXPECT_EQ(w.form->sb_status->Caption(), SuggestedText(render, "the chorus, heard 3 times"));

    const int32_t firstBegin = render.BeginPos();
    PressS(*w.form);
    EXPECT_GT(std::abs(render.BeginPos() - firstBegin), kColumnsPerSecond);
    EXPECT_TRUE(SelectionInView(*w.form));
    EXPECT_TRUE(w.form->sb_status->Caption().startsWith("Suggested "));

    // The context menu's entry does what the key does.
    QAction* suggest = nullptr;
    for (QAction* action : w.form->imgWave->actions())
        if (action->text() == "Suggest a ringtone")
            suggest = action;
    ASSERT_NE(suggest, nullptr);
    const int32_t secondBegin = render.BeginPos();
    suggest->trigger();
    EXPECT_NE(render.BeginPos(), secondBegin);
}

TEST(SuggestCommand, PressedDuringTheAnalysisTheSuggestionFollowsWhenItArrives)
{
    WindowFixture w;
    ShowActive(*w.form);
    w.Open(WriteTestSong(w));
    ASSERT_NE(w.form->Hook(), nullptr);
    ASSERT_FALSE(w.form->Hook()->Finished());
    const int32_t begin = w.form->FRender->BeginPos();
    PressS(*w.form);
    EXPECT_EQ(w.form->sb_status->Caption(), "Finding the ringtone ...");
    EXPECT_EQ(w.form->FRender->BeginPos(), begin);
    ASSERT_TRUE(WaitForHook(*w.form));
    EXPECT_LE(SecondsToNearestChorus(w.form->FRender->BeginPos()), 1.0);
    EXPECT_EQ(w.form->sb_status->Caption(), SuggestedText(*w.form->FRender, "the chorus, heard 3 times"));
}

TEST(SuggestCommand, OpeningAnotherFileBreaksOffTheRunningAnalysis)
{
    WindowFixture w;
    ShowActive(*w.form);
    const std::string tone = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(tone, 50));
    w.Open(WriteTestSong(w));
    const HookAnalysis* first = w.form->Hook();
    ASSERT_NE(first, nullptr);
    ASSERT_FALSE(first->Finished());
    bool firstGone = false, firstEnded = false;
    QObject::connect(first, &QObject::destroyed, [&firstGone] { firstGone = true; });
    QObject::connect(first, &HookAnalysis::AnalysisEnded, [&firstEnded] { firstEnded = true; });
    PressS(*w.form);

    w.Open(tone);
    EXPECT_TRUE(firstGone) << "the first analysis was stopped by the second open";
    EXPECT_FALSE(firstEnded);
    ASSERT_TRUE(WaitForHook(*w.form));
    EXPECT_EQ(w.form->Hook()->Path(), tone);
    // The press was for the song that is gone: nothing is suggested in the tone by itself.
    EXPECT_EQ(w.form->sb_status->Caption(), "Finding the ringtone ...");
    PressS(*w.form);
    EXPECT_EQ(w.form->sb_status->Caption().toStdString(), SuggestedText(*w.form->FRender, "the loudest part").toStdString());
}

TEST(SuggestCommand, RingtoneLengthComesFromTheMenuAndIsKept)
{
    WindowFixture w;
    ShowActive(*w.form);
    QAction* thirty = LengthAction(*w.form, "30 s");
    QAction* twenty = LengthAction(*w.form, "20 s");
    ASSERT_NE(thirty, nullptr);
    ASSERT_NE(twenty, nullptr);
    ASSERT_NE(LengthAction(*w.form, "40 s"), nullptr);
    EXPECT_TRUE(thirty->isChecked()) << "30 s by default";
    twenty->trigger();
    EXPECT_TRUE(twenty->isChecked());
    EXPECT_FALSE(thirty->isChecked());

    w.Open(WriteTestSong(w));
    ASSERT_TRUE(WaitForHook(*w.form));
    PressS(*w.form);
    EXPECT_NEAR(w.form->FRender->EndPos() - w.form->FRender->BeginPos(), 20 * kColumnsPerSecond, 1);
    EXPECT_LE(SecondsToNearestChorus(w.form->FRender->BeginPos()), 1.0);

    // A new window (the settings live in the fixture's scratch folder) remembers 20 s.
    TMainForm again;
    QAction* kept = LengthAction(again, "20 s");
    ASSERT_NE(kept, nullptr);
    EXPECT_TRUE(kept->isChecked());
}
