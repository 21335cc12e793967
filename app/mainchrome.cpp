// The main window's chrome: closing and minimising through the two caption buttons,
// moving the frameless window by dragging its background or banner, echoing the hint of
// the transport button under the pointer in lbl_status, and the About link.
#include <QWindow>

#include "app/aboutUnit.h"
#include "app/mainunit.h"
#include "platform/ErrorHandler.h"

namespace {

// 0x00BBGGRR colours of the About link.
constexpr unsigned int kLinkHoverColor = 0x00FFFF;   // yellow
constexpr unsigned int kLinkColor = 0xFFFFFF;        // white

}  // namespace

void TMainForm::ConnectChrome()
{
    connect(btnClose, &TImage::Click, this, [this] { RunHandler([&] { btnCloseClick(btnClose); }); });
    connect(btnMinimize, &TImage::Click, this, [this] { RunHandler([&] { btnMinimizeClick(btnMinimize); }); });

    using MoveHandler = void (TMainForm::*)(QObject*, Qt::MouseButtons, Qt::KeyboardModifiers, int, int);
    const auto onMove = [this](auto* control, auto signal, MoveHandler handler) {
        connect(control, signal, this,
                [this, control, handler](Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int x, int y) {
                    RunHandler([&] { (this->*handler)(control, buttons, shift, x, y); });
                });
    };
    onMove(imgBack, &TImage::MouseMove, &TMainForm::imgBackMouseMove);
    onMove(imgAd, &TImage::MouseMove, &TMainForm::imgAdMouseMove);
    for (TMouseEffectImage* button :
         {btnPlay, btnMarkStart, btnMarkEnd, btnPlaySelected, btnMoveLeft, btnMoveRight, MouseEffectImage1})
        onMove(button, &TImage::MouseMove, &TMainForm::TransportButtonMouseMove);
    onMove(lblAbout, &TLabel::MouseMove, &TMainForm::lblAboutMouseMove);
    connect(lblAbout, &TLabel::MouseLeave, this, [this] { RunHandler([&] { lblAboutMouseLeave(lblAbout); }); });
    connect(lblAbout, &TLabel::Click, this, [this] { RunHandler([&] { lblAboutClick(lblAbout); }); });

    // Where the left button went down on the background or the banner: a manual drag
    // keeps the pointer at that place of the window.
    for (TImage* surface : {imgBack, imgAd}) {
        connect(surface, &TImage::MouseDown, this, [this, surface](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
            if (button == Qt::LeftButton)
                dragGrip_ = surface->mapTo(this, QPoint(x, y));
            manualDrag_ = false;
        });
        connect(surface, &TImage::MouseUp, this, [this](Qt::MouseButton button, Qt::KeyboardModifiers, int, int) {
            if (button == Qt::LeftButton) {
                dragGrip_.reset();
                manualDrag_ = false;
            }
        });
    }
}

void TMainForm::btnCloseClick(QObject*)
{
    close();
}

void TMainForm::btnMinimizeClick(QObject*)
{
    showMinimized();
}

void TMainForm::imgBackMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers, int X, int Y)
{
    DragWindow(Sender, Buttons, X, Y);
}

void TMainForm::imgAdMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers, int X, int Y)
{
    DragWindow(Sender, Buttons, X, Y);
}

void TMainForm::DragWindow(QObject* Sender, Qt::MouseButtons Buttons, int X, int Y)
{
    if (!(Buttons & Qt::LeftButton))
        return;
    auto* surface = qobject_cast<QWidget*>(Sender);
    if (!surface)
        return;
    const QPoint inWindow = surface->mapTo(this, QPoint(X, Y));
    if (!manualDrag_) {
        // The window system runs its own move loop when it offers one; it takes the
        // pointer from the control that the press captured it for.
        if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
            dragGrip_.reset();
            return;
        }
        manualDrag_ = true;
        if (!dragGrip_)
            dragGrip_ = inWindow;
    }
    // Where the platform has no move loop, the window follows the pointer itself.
    const QPoint pointer = mapToGlobal(inWindow);
    move(pointer - *dragGrip_);
}

void TMainForm::TransportButtonMouseMove(QObject* Sender, Qt::MouseButtons, Qt::KeyboardModifiers, int, int)
{
    if (auto* control = qobject_cast<TImage*>(Sender))
        lbl_status->SetCaption(control->Hint());
}

void TMainForm::lblAboutMouseMove(QObject*, Qt::MouseButtons, Qt::KeyboardModifiers, int, int)
{
    QFont font = lblAbout->font();
    font.setUnderline(true);
    lblAbout->setFont(font);
    lblAbout->SetFontColor(kLinkHoverColor);
}

void TMainForm::lblAboutMouseLeave(QObject*)
{
    QFont font = lblAbout->font();
    font.setUnderline(false);
    lblAbout->setFont(font);
    lblAbout->SetFontColor(kLinkColor);
}

void TMainForm::lblAboutClick(QObject*)
{
    // A new dialog for every click, centred over this window; the window takes no input
    // while it is open.
    TAboutForm AboutForm(this);
    AboutForm.exec();
}
