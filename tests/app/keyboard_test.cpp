// The window's keys, the buttons' tooltips that name them, Tab focus and what assistive
// technology sees of the picture buttons, on the real window with a 60-second file open.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QScrollBar>
#include <QTest>
#include <functional>

#include "audio/MediaPlayer.h"
#include "strip/WaveRender.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

class KeyboardTest : public ::testing::Test {
public:
    void SetUp() override
    {
        file = w.files.file("tone.wav");
        ASSERT_TRUE(fixtures::MakeTone(file, 60, 8000, 1));
        w.Open(file);
        w.form->show();
        w.form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.form.get()));
        ASSERT_EQ(Player().Mode(), TMediaPlayer::ModeStopped);
    }
    void TearDown() override
    {
        Player().Stop();
    }
    TWaveRender& Strip() { return *w.form->FRender; }
    TMediaPlayer& Player() { return *w.form->MediaPlayer1; }
    QWidget* Focused() const { return QApplication::focusWidget(); }

    WindowFixture w;
    std::string file;
};

}  // namespace

TEST_F(KeyboardTest, EachKeyRunsItsCommand)
{
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::function<void(KeyboardTest&)> before;
        std::function<void(KeyboardTest&)> check;
    };
    const auto cursorAt = [](int column) { return [column](KeyboardTest& t) { t.Strip().SetCursorPos(column); }; };
    const auto expectCursor = [](int column) {
        return [column](KeyboardTest& t) { EXPECT_EQ(t.Strip().CursorPos(), column); };
    };
    const auto play = [](KeyboardTest& t) {
        t.w.form->btnPlayClick(t.w.form->btnPlay);
        ASSERT_EQ(t.Player().Mode(), TMediaPlayer::ModePlaying);
    };
    const auto expectMode = [](int32_t mode) { return [mode](KeyboardTest& t) { EXPECT_EQ(t.Player().Mode(), mode); }; };
    const Case cases[] = {
        {"Home", Qt::Key_Home, Qt::NoModifier, cursorAt(100), expectCursor(0)},
        // The file's last column: 60 seconds of five columns.
        {"End", Qt::Key_End, Qt::NoModifier, cursorAt(100), expectCursor(299)},
        {"Left", Qt::Key_Left, Qt::NoModifier, cursorAt(100), expectCursor(99)},
        {"Right", Qt::Key_Right, Qt::NoModifier, cursorAt(100), expectCursor(101)},
        {"Shift+Left", Qt::Key_Left, Qt::ShiftModifier, cursorAt(100), expectCursor(95)},
        {"Shift+Right", Qt::Key_Right, Qt::ShiftModifier, cursorAt(100), expectCursor(105)},
        {"Left at the start", Qt::Key_Left, Qt::NoModifier, cursorAt(0), expectCursor(0)},
        {"Shift+Left near the start", Qt::Key_Left, Qt::ShiftModifier, cursorAt(3), expectCursor(0)},
        {"Shift+Right near the end", Qt::Key_Right, Qt::ShiftModifier, cursorAt(297), expectCursor(299)},
        {"B", Qt::Key_B, Qt::NoModifier, cursorAt(60), [](KeyboardTest& t) { EXPECT_EQ(t.Strip().BeginPos(), 60); }},
        {"[", Qt::Key_BracketLeft, Qt::NoModifier, cursorAt(70),
         [](KeyboardTest& t) { EXPECT_EQ(t.Strip().BeginPos(), 70); }},
        {"E", Qt::Key_E, Qt::NoModifier, cursorAt(200), [](KeyboardTest& t) { EXPECT_EQ(t.Strip().EndPos(), 200); }},
        {"]", Qt::Key_BracketRight, Qt::NoModifier, cursorAt(210),
         [](KeyboardTest& t) { EXPECT_EQ(t.Strip().EndPos(), 210); }},
        {"Space while stopped", Qt::Key_Space, Qt::NoModifier, cursorAt(50),
         [](KeyboardTest& t) {
             EXPECT_EQ(t.Player().Mode(), TMediaPlayer::ModePlaying);
             EXPECT_EQ(t.Player().StartPos(), 10000);
         }},
        {"Space while playing", Qt::Key_Space, Qt::NoModifier, play, expectMode(TMediaPlayer::ModeStopped)},
        {"Escape while playing", Qt::Key_Escape, Qt::NoModifier, play, expectMode(TMediaPlayer::ModeStopped)},
        {"P", Qt::Key_P, Qt::NoModifier, cursorAt(0),
         [](KeyboardTest& t) {
             EXPECT_EQ(t.Player().Mode(), TMediaPlayer::ModePlaying);
             EXPECT_EQ(t.Player().StartPos(), t.Strip().BeginSecond() * 1000);
         }},
        {"Ctrl+O", Qt::Key_O, Qt::ControlModifier, nullptr,
         [](KeyboardTest& t) { EXPECT_EQ(t.w.dialogs.openRequests.size(), 2); }},
        {"Ctrl+S", Qt::Key_S, Qt::ControlModifier, nullptr,
         [](KeyboardTest& t) { EXPECT_EQ(t.w.dialogs.saveRequests.size(), 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Player().Stop();
        Strip().SetBeginPos(100);
        Strip().SetEndPos(150);
        w.dialogs.openRequests.clear();
        w.dialogs.openRequests.append(FileDialogRequest());    // the fixture's own open
        w.dialogs.saveRequests.clear();
        if (c.before)
            c.before(*this);
        QTest::keyClick(w.form.get(), c.key, c.modifiers);
        c.check(*this);
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
}

TEST_F(KeyboardTest, CursorKeysWhilePlayingGoOnFromTheNewColumnAndTheViewFollows)
{
    Strip().SetCursorPos(0);
    w.form->btnPlayClick(w.form->btnPlay);
    QTest::keyClick(w.form.get(), Qt::Key_End);
    EXPECT_EQ(Strip().CursorPos(), 299);
    EXPECT_EQ(Player().Mode(), TMediaPlayer::ModePlaying);
    EXPECT_GE(Player().Position(), 59800);
    // The cursor's column is among those the strip shows.
    const int first = w.form->ScrollBoxWave->horizontalScrollBar()->value();
    EXPECT_LE(first, 299);
    EXPECT_GT(first + w.form->ScrollBoxWave->viewport()->width(), 299);
}

TEST_F(KeyboardTest, TooltipsNameTheKeysAndTheHintEchoIsUnchanged)
{
    const std::tuple<TMouseEffectImage*, const char*, const char*> buttons[] = {
        {w.form->btnPlay, "Play", "Play (Space)"},
        {w.form->MouseEffectImage1, "Pause", "Pause (Space)"},
        {w.form->btnMarkStart, "Mark start", "Mark start (B)"},
        {w.form->btnMarkEnd, "Mark end", "Mark end (E)"},
        {w.form->btnPlaySelected, "Play the selected segment", "Play the selected segment (P)"},
        {w.form->btnSuggest, "Suggest a ringtone", "Suggest a ringtone (S)"},
        {w.form->btnOpen, "", "Open (Ctrl+O)"},
        {w.form->btnSave, "", "Save (Ctrl+S)"},
    };
    for (const auto& [button, hint, tooltip] : buttons) {
        SCOPED_TRACE(tooltip);
        EXPECT_EQ(button->Hint(), hint);
        EXPECT_EQ(button->toolTip(), tooltip);
    }
    w.form->TransportButtonMouseMove(w.form->btnPlay, Qt::NoButton, Qt::NoModifier, 1, 1);
    EXPECT_EQ(w.form->lbl_status->Caption(), "Play");
}

TEST_F(KeyboardTest, TabReachesEveryPictureButtonInOrder)
{
    EXPECT_EQ(Focused(), w.form.get());
    const QStringList expected = {"btnOpen",      "btnSave",     "btnMoveLeft", "btnPlaySelected", "btnMoveRight",
                                  "btnMarkStart", "btnPlay",     "btnMarkEnd",  "btnSuggest",      "MouseEffectImage1",
                                  "btnMinimize",  "btnClose",    "btnOpen"};
    QStringList reached;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        reached << (Focused() ? Focused()->objectName() : QString());
    }
    EXPECT_EQ(reached, expected);
}

TEST_F(KeyboardTest, AFocusedButtonTakesSpaceAndEnterAndAClickTakesNoFocus)
{
    // Space on the focused Mark start button marks; it does not play.
    Strip().SetCursorPos(40);
    w.form->btnMarkStart->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(Focused(), w.form->btnMarkStart);
    QTest::keyClick(Focused(), Qt::Key_Space);
    EXPECT_EQ(Strip().BeginPos(), 40);
    EXPECT_EQ(Player().Mode(), TMediaPlayer::ModeStopped);
    // Enter on the focused Mark end button.
    Strip().SetCursorPos(220);
    w.form->btnMarkEnd->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Focused(), Qt::Key_Return);
    EXPECT_EQ(Strip().EndPos(), 220);
    EXPECT_EQ(Player().Mode(), TMediaPlayer::ModeStopped);

    // A click on the background gives the focus back to the window, and a click on a
    // button does not take it: Space plays again.
    QTest::mouseClick(w.form->imgBack, Qt::LeftButton, Qt::NoModifier, QPoint(300, 390));
    EXPECT_EQ(Focused(), w.form.get());
    QTest::mouseClick(w.form->btnMarkStart, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_NE(Focused(), w.form->btnMarkStart);
    QTest::keyClick(Focused(), Qt::Key_Space);
    EXPECT_EQ(Player().Mode(), TMediaPlayer::ModePlaying);
}

TEST_F(KeyboardTest, ScreenReadersSeeNamedButtonsTheyCanPress)
{
    const std::tuple<TMouseEffectImage*, const char*, const char*> buttons[] = {
        {w.form->btnOpen, "Open", "Open (Ctrl+O)"},
        {w.form->btnSave, "Save", "Save (Ctrl+S)"},
        {w.form->btnPlay, "Play", "Play (Space)"},
        {w.form->MouseEffectImage1, "Pause", "Pause (Space)"},
        {w.form->btnMarkStart, "Mark start", "Mark start (B)"},
        {w.form->btnMarkEnd, "Mark end", "Mark end (E)"},
        {w.form->btnPlaySelected, "Play the selected segment", "Play the selected segment (P)"},
        {w.form->btnSuggest, "Suggest a ringtone", "Suggest a ringtone (S)"},
        {w.form->btnMoveLeft, "Extend left", "Extend left"},
        {w.form->btnMoveRight, "Extend right", "Extend right"},
        {w.form->btnMinimize, "Minimise", "Minimise"},
        {w.form->btnClose, "Close", "Close"},
    };
    for (const auto& [button, name, description] : buttons) {
        SCOPED_TRACE(name);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), name);
        EXPECT_EQ(accessible->text(QAccessible::Description), description);
        EXPECT_EQ(accessible->role(), QAccessible::Button);
        ASSERT_NE(accessible->actionInterface(), nullptr);
        EXPECT_TRUE(accessible->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    // Pressing Mark start through its accessible action marks, as a click does.
    Strip().SetCursorPos(30);
    QAccessible::queryAccessibleInterface(w.form->btnMarkStart)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Strip().BeginPos(), 30);
}
