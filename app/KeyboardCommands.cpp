// The window's keys: each runs the command of a button (or moves the play cursor) under
// the error handler, as a click does. Space plays or pauses by the player's mode; Home and
// End move the cursor to the start and the end, Left and Right by a column (with Shift by
// a second); B and E (or [ and ]) mark the start and the end; P plays the selection;
// Ctrl+O opens, Ctrl+S saves, Escape stops. Each button's tooltip names its key; its hint,
// which lbl_status echoes, stays as it is.
//
// A picture button that has the keyboard focus (reached with Tab) takes Space and Enter
// for itself and is pressed by them (controls/MouseEffectImage.cpp); everywhere else in
// the window Space plays or pauses. The window itself holds the focus at the start and
// takes it back when its background is clicked, so that no button has it by surprise.
// Every picture button is named for assistive technology by its hint, or by what it does
// where it has none.
#include <QKeySequence>
#include <QShortcut>
#include <iterator>

#include "app/mainunit.h"
#include "audio/MediaPlayer.h"
#include "platform/ErrorHandler.h"
#include "strip/WaveRender.h"

namespace {

// The name of a button's key in its tooltip: "Play" -> "Play (Space)".
QString WithKey(const QString& text, const QString& key)
{
    return text + " (" + key + ")";
}

}  // namespace

void TMainForm::CreateShortcuts()
{
    using Command = void (TMainForm::*)(QObject*);
    struct Binding {
        QKeySequence key;
        Command command;
    };
    const Binding bindings[] = {
        {QKeySequence(Qt::Key_Space), &TMainForm::PlayOrPause},
        {QKeySequence(Qt::Key_Escape), &TMainForm::MouseEffectImage1Click},
        {QKeySequence(Qt::Key_Home), &TMainForm::MoveCursorToStart},
        {QKeySequence(Qt::Key_End), &TMainForm::MoveCursorToEnd},
        {QKeySequence(Qt::Key_Left), &TMainForm::MoveCursorColumnLeft},
        {QKeySequence(Qt::Key_Right), &TMainForm::MoveCursorColumnRight},
        {QKeySequence(Qt::ShiftModifier | Qt::Key_Left), &TMainForm::MoveCursorSecondLeft},
        {QKeySequence(Qt::ShiftModifier | Qt::Key_Right), &TMainForm::MoveCursorSecondRight},
        {QKeySequence(Qt::Key_B), &TMainForm::btnMarkStartClick},
        {QKeySequence(Qt::Key_BracketLeft), &TMainForm::btnMarkStartClick},
        {QKeySequence(Qt::Key_E), &TMainForm::btnMarkEndClick},
        {QKeySequence(Qt::Key_BracketRight), &TMainForm::btnMarkEndClick},
        {QKeySequence(Qt::Key_P), &TMainForm::btnPlaySelectedClick},
        {QKeySequence(Qt::ControlModifier | Qt::Key_O), &TMainForm::btnOpenClick},
        {QKeySequence(Qt::ControlModifier | Qt::Key_S), &TMainForm::btnSaveClick},
    };
    for (const Binding& binding : bindings) {
        auto* shortcut = new QShortcut(binding.key, this);
        shortcut->setContext(Qt::WindowShortcut);
        // A key held down repeats cursor moves, but never a second Open or Save dialog.
        shortcut->setAutoRepeat(binding.command != &TMainForm::btnOpenClick && binding.command != &TMainForm::btnSaveClick);
        const Command command = binding.command;
        connect(shortcut, &QShortcut::activated, this, [this, command] { RunHandler([&] { (this->*command)(this); }); });
    }

    // The tooltips set here stand beside the hints: the hint keeps its own text.
    const std::pair<TMouseEffectImage*, const char*> keyed[] = {
        {btnPlay, "Space"},   {MouseEffectImage1, "Space"}, {btnMarkStart, "B"},
        {btnMarkEnd, "E"},    {btnPlaySelected, "P"},           {btnSuggest, "S"},
    };
    for (const auto& [button, key] : keyed)
        button->setToolTip(WithKey(button->Hint(), key));
    btnOpen->setToolTip(WithKey("Open", "Ctrl+O"));
    btnSave->setToolTip(WithKey("Save", "Ctrl+S"));
}

void TMainForm::PlayOrPause(QObject* Sender)
{
    if (MediaPlayer1->Mode() == TMediaPlayer::ModePlaying)
        MouseEffectImage1Click(Sender);
    else
        btnPlayClick(Sender);
}

void TMainForm::MoveCursorToStart(QObject*)
{
    MoveCursorTo(0);
}

void TMainForm::MoveCursorToEnd(QObject*)
{
    if (FRender)
        MoveCursorTo(FRender->WaveWidth() - 1);
}

void TMainForm::MoveCursorColumnLeft(QObject*)
{
    MoveCursorBy(-1);
}

void TMainForm::MoveCursorColumnRight(QObject*)
{
    MoveCursorBy(1);
}

void TMainForm::MoveCursorSecondLeft(QObject*)
{
    MoveCursorBy(-TWaveRender::ColumnsPerSecond);
}

void TMainForm::MoveCursorSecondRight(QObject*)
{
    MoveCursorBy(TWaveRender::ColumnsPerSecond);
}

void TMainForm::MakeButtonsReachable()
{
    setFocusPolicy(Qt::ClickFocus);
    setFocus();
    // The keys act over the whole window, so the strip needs no focus of its own.
    ScrollBoxWave->setFocusPolicy(Qt::NoFocus);

    const std::pair<TMouseEffectImage*, const char*> unhinted[] = {
        {btnOpen, "Open"}, {btnSave, "Save"}, {btnMinimize, "Minimise"}, {btnClose, "Close"}};
    for (const auto& [button, name] : unhinted)
        button->setAccessibleName(name);
    // Tab goes through the file buttons, then the transport rows from the top, then the
    // caption buttons.
    TMouseEffectImage* const order[] = {btnOpen,      btnSave, btnMoveLeft, btnPlaySelected, btnMoveRight,
                                        btnMarkStart, btnPlay, btnMarkEnd,  btnSuggest,      MouseEffectImage1,
                                        btnMinimize,  btnClose};
    for (TMouseEffectImage* b : order) {
        if (b->accessibleName().isEmpty())
            b->setAccessibleName(b->Hint());
        // The tooltip, which names the key where there is one.
        b->setAccessibleDescription(b->toolTip().isEmpty() ? b->accessibleName() : b->toolTip());
    }
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}
