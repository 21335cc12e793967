// The main window's transport and selection commands: play, pause, play the selection,
// the markers, the strip click, the cursor timer and the position labels. Each command
// acts only in its own player modes and otherwise does nothing at all. Nothing clamps a
// marker or the cursor.
#include <QScrollArea>
#include <QScrollBar>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "app/mainunit.h"
#include "audio/MediaPlayer.h"
#include "strip/TimeText.h"
#include "strip/WaveRender.h"

namespace {

constexpr int32_t kModeStopped = TMediaPlayer::ModeStopped;
constexpr int32_t kModePlaying = TMediaPlayer::ModePlaying;
constexpr int32_t kModeSeeking = TMediaPlayer::ModeSeeking;
constexpr int32_t kModePaused = TMediaPlayer::ModePaused;
constexpr int32_t kModeOpen = TMediaPlayer::ModeOpen;

constexpr int32_t kColumnsPerSecond = TWaveRender::ColumnsPerSecond;
constexpr int64_t kMillisecondsPerSecond = 1000;
// Columns left of the cursor when the view catches up with it: two seconds, so that the
// cursor's triangle shows whole.
constexpr int32_t kFollowMargin = 2 * kColumnsPerSecond;

using PlayerModes = std::initializer_list<int32_t>;
// The modes in which each command acts.
constexpr PlayerModes kPlayModes = {kModeStopped, kModeSeeking, kModePaused, kModeOpen};
constexpr PlayerModes kSelectionModes = {kModeStopped, kModePlaying, kModeSeeking, kModePaused, kModeOpen};

// Whether a command acts now: the strip exists (the window is not closing) and the
// player's mode, read once, is one of the command's modes.
bool Acts(const TMainForm& form, PlayerModes modes)
{
    return form.FRender && std::find(modes.begin(), modes.end(), form.MediaPlayer1->Mode()) != modes.end();
}

// The player counts milliseconds in 32 bits; a position far outside any file is held
// at the ends of that range rather than wrapping around.
int32_t ToPlayerTime(int64_t milliseconds)
{
    return int32_t(std::clamp<int64_t>(milliseconds, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

int32_t SecondsToPlayerTime(int32_t seconds)
{
    return ToPlayerTime(seconds * kMillisecondsPerSecond);
}

// A column one step from another, held at the ends of the int range instead of wrapping.
int32_t ColumnPlus(int32_t column, int64_t step)
{
    return int32_t(std::clamp<int64_t>(int64_t(column) + step, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// Scrolls the strip's scroll area so that a column that lies outside the columns it shows
// comes into view near its left edge, leaving the rest of the view for what follows. The
// scroll bar's value is the first column shown; it keeps the value within its range.
void KeepColumnInView(QScrollArea& box, int32_t column)
{
    QScrollBar& bar = *box.horizontalScrollBar();
    const int32_t first = bar.value();
    if (column >= first && int64_t(column) < int64_t(first) + box.viewport()->width())
        return;
    bar.setValue(ColumnPlus(column, -kFollowMargin));
}

QString TimeLabel(const char* prefix, int64_t seconds)
{
    return QString(prefix) + QString::fromStdString(FormatTimeText(seconds));
}

}  // namespace

void TMainForm::btnPlayClick(QObject*)
{
    if (!Acts(*this, kPlayModes))
        return;
    MediaPlayer1->SetTimeFormat(TMPTimeFormats::Milliseconds);
    MediaPlayer1->SetStartPos(SecondsToPlayerTime(FRender->CursorSecond()));
    MediaPlayer1->Play();
}

void TMainForm::MouseEffectImage1Click(QObject*)
{
    // Pause stops: a later Play starts again from the cursor's whole second.
    if (MediaPlayer1->Mode() != kModePlaying)
        return;
    MediaPlayer1->Stop();
}

void TMainForm::btnPlaySelectedClick(QObject*)
{
    if (!Acts(*this, kSelectionModes))
        return;
    // Opening the file again also stops any playback; an open broken off (the window
    // closing meanwhile) plays nothing.
    if (!MediaPlayer1->Open())
        return;
    MediaPlayer1->SetTimeFormat(TMPTimeFormats::Milliseconds);
    MediaPlayer1->SetStartPos(SecondsToPlayerTime(FRender->BeginSecond()));
    // Up to the end of the end marker's whole second.
    MediaPlayer1->SetEndPos(ToPlayerTime(int64_t(FRender->EndSecond()) * kMillisecondsPerSecond + kMillisecondsPerSecond));
    MediaPlayer1->Play();
}

void TMainForm::btnMarkStartClick(QObject*)
{
    if (!Acts(*this, kSelectionModes))
        return;
    const int32_t cursor = FRender->CursorPos();
    if (FRender->SelRight() < cursor) {
        FRender->SetBeginPos(cursor);
        FRender->SetEndPos(ColumnPlus(cursor, 1));
    } else {
        FRender->SetBeginPos(cursor);
    }
}

void TMainForm::btnMarkEndClick(QObject*)
{
    if (!Acts(*this, kSelectionModes))
        return;
    const int32_t cursor = FRender->CursorPos();
    if (FRender->SelLeft() > cursor) {
        FRender->SetBeginPos(cursor);
        FRender->SetEndPos(ColumnPlus(cursor, 1));
    } else {
        FRender->SetEndPos(cursor);
    }
}

void TMainForm::btnMoveLeftClick(QObject*)
{
    if (!Acts(*this, kSelectionModes))
        return;
    FRender->SetBeginPos(ColumnPlus(FRender->SelLeft(), -kColumnsPerSecond));
}

void TMainForm::btnMoveRightClick(QObject*)
{
    if (!Acts(*this, kSelectionModes))
        return;
    FRender->SetEndPos(ColumnPlus(FRender->SelRight(), kColumnsPerSecond));
}

void TMainForm::imgWaveMouseUp(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int)
{
    if (!FRender)
        return;
    PlaceCursor(ColumnPlus(X, 1));
}

void TMainForm::MoveCursorTo(int32_t column)
{
    if (!Acts(*this, kSelectionModes))
        return;
    // Keys move the cursor over the file's own columns only.
    PlaceCursor(std::clamp(column, 0, std::max(FRender->WaveWidth() - 1, 0)));
    KeepColumnInView(*ScrollBoxWave, FRender->CursorPos());
}

void TMainForm::MoveCursorBy(int32_t columns)
{
    if (FRender)
        MoveCursorTo(ColumnPlus(FRender->CursorPos(), columns));
}

void TMainForm::PlaceCursor(int32_t column)
{
    const bool wasPlaying = MediaPlayer1->Mode() == kModePlaying;
    if (wasPlaying)
        MediaPlayer1->Stop();
    FRender->SetCursorPos(column);
    if (wasPlaying) {
        // Playback goes on from the cursor's column to the end of the file.
        MediaPlayer1->SetPosition(ToPlayerTime(int64_t(FRender->CursorPos()) * kMillisecondsPerSecond / kColumnsPerSecond));
        MediaPlayer1->Play();
    }
}

void TMainForm::Timer2Timer(QObject*)
{
    if (!FRender || MediaPlayer1->Mode() != kModePlaying)
        return;
    // The cursor jumps to the column of the last whole second played, and the view
    // follows it when it has left the columns shown.
    FRender->SetCursorPos((MediaPlayer1->Position() / int32_t(kMillisecondsPerSecond)) * kColumnsPerSecond);
    KeepColumnInView(*ScrollBoxWave, FRender->CursorPos());
}

void TMainForm::ApplicationEvents1Idle(QObject*, bool& Done)
{
    Done = true;
    if (!FRender)
        return;
    const int64_t begin = FRender->BeginSecond();
    const int64_t end = FRender->EndSecond();
    // Each label is only changed when its text changes.
    lblBeginPos->SetCaption(TimeLabel("Begin Pos: ", begin));
    lblEndPos->SetCaption(TimeLabel("End Pos: ", end));
    lblSelectedLength->SetCaption(TimeLabel("Length: ", end - begin));
    lblCurrentPos->SetCaption(TimeLabel("Current Pos: ", MediaPlayer1->Position() / int32_t(kMillisecondsPerSecond)));
}
