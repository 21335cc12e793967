// The transport and selection commands on the real window, with the player on the null
// output.
#include <gtest/gtest.h>

#include <QScrollBar>

#include "strip/WaveRender.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

struct PositionLabels {
    QString begin, end, length, current;
};

PositionLabels LabelsAfterIdle(WindowFixture& w)
{
    w.Idle();
    return {w.form->lblBeginPos->Caption(), w.form->lblEndPos->Caption(), w.form->lblSelectedLength->Caption(),
            w.form->lblCurrentPos->Caption()};
}

// A window with a 60-second tone open and stopped.
class TransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = w.files.file("tone.wav");
        ASSERT_TRUE(fixtures::MakeTone(file, 60, 8000, 1));
        w.Open(file);
        ASSERT_EQ(w.form->MediaPlayer1->Mode(), 1);
    }
    TWaveRender& Strip() { return *w.form->FRender; }
    TMediaPlayer& Player() { return *w.form->MediaPlayer1; }

    WindowFixture w;
    std::string file;
};

}  // namespace

TEST(Transport, BeforeAnyFileTheLabelsShowTheInitialMarkersAndCommandsDoNothing)
{
    WindowFixture w;
    const PositionLabels labels = LabelsAfterIdle(w);
    EXPECT_EQ(labels.begin, "Begin Pos: 00:00:20");
    EXPECT_EQ(labels.end, "End Pos: 00:00:30");
    EXPECT_EQ(labels.length, "Length: 00:00:10");
    EXPECT_EQ(labels.current, "Current Pos: 00:00:00");
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 0);
    w.form->FRender->SetCursorPos(200);
    for (auto command : {&TMainForm::btnPlayClick, &TMainForm::MouseEffectImage1Click, &TMainForm::btnPlaySelectedClick,
                         &TMainForm::btnMarkStartClick, &TMainForm::btnMarkEndClick, &TMainForm::btnMoveLeftClick,
                         &TMainForm::btnMoveRightClick})
        (w.form.get()->*command)(w.form.get());
    EXPECT_EQ(w.form->FRender->BeginPos(), 100);
    EXPECT_EQ(w.form->FRender->EndPos(), 150);
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), 0);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    // A click on the strip still moves the cursor.
    w.form->imgWaveMouseUp(w.form->imgWave, Qt::RightButton, {}, 7, 3);
    EXPECT_EQ(w.form->FRender->CursorPos(), 8);
}

TEST_F(TransportTest, MarkStartAndMarkEndKeepTheOrder)
{
    struct Case {
        void (TMainForm::*command)(QObject*);
        int cursor;
        int begin, end;
    };
    const Case cases[] = {
        {&TMainForm::btnMarkStartClick, 200, 200, 201}, {&TMainForm::btnMarkStartClick, 120, 120, 150},
        {&TMainForm::btnMarkStartClick, 150, 150, 150}, {&TMainForm::btnMarkEndClick, 50, 50, 51},
        {&TMainForm::btnMarkEndClick, 300, 100, 300},   {&TMainForm::btnMarkEndClick, 120, 100, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cursor);
        Strip().SetBeginPos(100);
        Strip().SetEndPos(150);
        Strip().SetCursorPos(c.cursor);
        (w.form.get()->*c.command)(w.form.get());
        EXPECT_EQ(Strip().BeginPos(), c.begin);
        EXPECT_EQ(Strip().EndPos(), c.end);
    }
    Strip().SetBeginPos(150);
    Strip().SetEndPos(150);
    EXPECT_EQ(LabelsAfterIdle(w).length, "Length: 00:00:00");
}

TEST_F(TransportTest, LabelsShowWholeSecondsAndExtendingGoesPastZero)
{
    Strip().SetBeginPos(104);
    Strip().SetEndPos(106);
    EXPECT_EQ(LabelsAfterIdle(w).length, "Length: 00:00:01");

    Strip().SetBeginPos(3);
    w.form->btnMoveLeftClick(w.form.get());
    EXPECT_EQ(Strip().BeginPos(), -2);
    EXPECT_EQ(LabelsAfterIdle(w).begin, "Begin Pos: 00:00:00");
    w.form->btnMoveLeftClick(w.form.get());
    EXPECT_EQ(Strip().BeginPos(), -7);
    EXPECT_EQ(LabelsAfterIdle(w).begin, "Begin Pos: 00:00:-01");

    // Extending right past the strip's last column keeps going.
    Strip().SetEndPos(298);
    w.form->btnMoveRightClick(w.form.get());
    w.form->btnMoveRightClick(w.form.get());
    EXPECT_EQ(Strip().EndPos(), 308);
    EXPECT_EQ(LabelsAfterIdle(w).end, "End Pos: 00:01:01");
}

TEST_F(TransportTest, PlayFromTheCursorsWholeSecondAndPause)
{
    Strip().SetCursorPos(53);   // second 10
    w.form->btnPlayClick(w.form.get());
    EXPECT_EQ(Player().Mode(), 2);
    EXPECT_GE(Player().Position(), 10000);
    EXPECT_LT(Player().Position(), 10500);
    // Play while playing does nothing.
    Strip().SetCursorPos(250);
    w.form->btnPlayClick(w.form.get());
    EXPECT_LT(Player().Position(), 11000);
    // Pause stops; Pause when nothing plays does nothing.
    w.form->MouseEffectImage1Click(w.form.get());
    EXPECT_EQ(Player().Mode(), 1);
    w.form->MouseEffectImage1Click(w.form.get());
    EXPECT_EQ(Player().Mode(), 1);
    // Play after Pause starts from the cursor's whole second.
    w.form->btnPlayClick(w.form.get());
    EXPECT_GE(Player().Position(), 50000);
    EXPECT_LT(Player().Position(), 50500);
    w.form->MouseEffectImage1Click(w.form.get());
}

TEST_F(TransportTest, PlayTheSelectionFromBeginSecondToOnePastEndSecond)
{
    Strip().SetBeginPos(100);
    Strip().SetEndPos(150);
    Strip().SetCursorPos(250);
    w.form->btnPlayClick(w.form.get());
    ASSERT_EQ(Player().Mode(), 2);
    // While playing, Play the selection starts the selection over.
    w.form->btnPlaySelectedClick(w.form.get());
    EXPECT_EQ(Player().Mode(), 2);
    EXPECT_GE(Player().Position(), 20000);
    EXPECT_LT(Player().Position(), 20500);
    EXPECT_EQ(Player().EndPos(), 31000);
    // The cursor timer follows the playback in whole seconds.
    ASSERT_TRUE(WindowFixture::WaitFor([&] { return Player().Position() >= 21000; }));
    w.form->Timer2Timer(w.form->Timer2);
    EXPECT_EQ(Strip().CursorPos() % 5, 0);
    EXPECT_GE(Strip().CursorPos(), 105);
    EXPECT_LE(Strip().CursorPos(), 115);
    EXPECT_EQ(LabelsAfterIdle(w).current, "Current Pos: " + QString("00:00:%1").arg(Player().Position() / 1000, 2, 10, QChar('0')));
    w.form->MouseEffectImage1Click(w.form.get());
    // Stopped: the timer leaves the cursor alone.
    Strip().SetCursorPos(7);
    w.form->Timer2Timer(w.form->Timer2);
    EXPECT_EQ(Strip().CursorPos(), 7);
}

TEST_F(TransportTest, StripClickMovesTheCursorAndResumesPlayback)
{
    // Not playing: only the cursor moves; the player is not touched.
    w.form->imgWaveMouseUp(w.form->imgWave, Qt::LeftButton, {}, 40, 10);
    EXPECT_EQ(Strip().CursorPos(), 41);
    EXPECT_EQ(Player().Mode(), 1);
    EXPECT_EQ(Player().Position(), 0);
    // Playing the selection: a click at X = 99 resumes at second 20 exactly, to the end.
    Strip().SetBeginPos(200);
    Strip().SetEndPos(210);
    w.form->btnPlaySelectedClick(w.form.get());
    ASSERT_EQ(Player().Mode(), 2);
    w.form->imgWaveMouseUp(w.form->imgWave, Qt::MiddleButton, {}, 99, 10);
    EXPECT_EQ(Strip().CursorPos(), 100);
    EXPECT_EQ(Player().Mode(), 2);
    EXPECT_GE(Player().Position(), 20000);
    EXPECT_LT(Player().Position(), 20500);
    // A release beyond the strip's edge still counts, unclamped.
    w.form->imgWaveMouseUp(w.form->imgWave, Qt::LeftButton, {}, -30, 10);
    EXPECT_EQ(Strip().CursorPos(), -29);
    w.form->MouseEffectImage1Click(w.form.get());
}

TEST(Transport, TheViewFollowsThePlayingCursor)
{
    // Ten minutes: 3000 columns, far wider than the strip's viewport.
    WindowFixture w;
    const std::string file = w.files.file("long.wav");
    ASSERT_TRUE(fixtures::MakeTone(file, 600, 8000, 1));
    w.form->show();
    w.Open(file);
    TWaveRender& strip = *w.form->FRender;
    QScrollBar& bar = *w.form->ScrollBoxWave->horizontalScrollBar();
    const int viewport = w.form->ScrollBoxWave->viewport()->width();
    ASSERT_EQ(bar.maximum(), 3000 - viewport);

    struct Case {
        int scroll;   // where the view stands when playback starts
        int cursor;   // where playback starts, on a whole second
        bool follows;
    };
    const Case cases[] = {
        {0, 50, false},       // in view: the view stays
        {0, 1000, true},      // right of the view
        {2000, 100, true},    // left of the view
        {0, 2990, true},      // near the end: as far as the view goes
        {1500, 1500, false},  // on the view's first column
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cursor);
        bar.setValue(c.scroll);
        strip.SetCursorPos(c.cursor);
        w.form->btnPlayClick(w.form.get());
        ASSERT_EQ(w.form->MediaPlayer1->Mode(), 2);
        w.form->Timer2Timer(w.form->Timer2);
        const int cursor = strip.CursorPos();
        EXPECT_GE(cursor, c.cursor);
        EXPECT_LE(cursor, c.cursor + 5);
        // The cursor stands in view, two seconds from the left edge when the view moved.
        EXPECT_EQ(bar.value(), c.follows ? std::min(cursor - 10, bar.maximum()) : c.scroll);
        ASSERT_GE(cursor, bar.value());
        ASSERT_LT(cursor, bar.value() + viewport);
        QApplication::processEvents();
        EXPECT_EQ(w.form->imgWave->VisibleImage().pixel(cursor - bar.value(), 50), 0xFFA6CAF0u) << "the cursor's line";
        w.form->MouseEffectImage1Click(w.form.get());
    }
    // Stopped: the timer moves neither the cursor nor the view.
    bar.setValue(0);
    strip.SetCursorPos(1000);
    w.form->Timer2Timer(w.form->Timer2);
    EXPECT_EQ(bar.value(), 0);
}
