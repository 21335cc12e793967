// The main window's chrome: closing and minimising through the two caption buttons,
// moving the frameless window by dragging its background or banner, echoing the hint of
// the transport button under the pointer in lbl_status, and the About link.
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>

#include "app/aboutUnit.h"
#include "app/mainunit.h"
#include "platform/ErrorHandler.h"

namespace {

// 0x00BBGGRR colours of the About link.
constexpr unsigned int kLinkHoverColor = 0x00FFFF;   // yellow
constexpr unsigned int kLinkColor = 0xFFFFFF;        // white

// Whether the window may place itself on the screen. Where it may not (Wayland), only the
// window system's own move loop can drag it.
bool WindowPlacesItself()
{
    return !QGuiApplication::platformName().startsWith("wayland");
}

}  // namespace

// Remembers where on the screen the pointer was at the latest mouse event of the surfaces
// it watches. A drag follows these screen coordinates: a point inside the window maps to
// the screen through the window's position, which lags behind while a window manager
// has not yet confirmed the last move, so the window would run ahead of the pointer or
// fall behind it.
class PointerOnScreen : public QObject {
public:
    using QObject::QObject;
    std::optional<QPoint> last;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            last = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            break;
        default:
            break;
        }
        return false;
    }
};

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
         {btnPlay, btnMarkStart, btnMarkEnd, btnPlaySelected, btnMoveLeft, btnMoveRight, MouseEffectImage1, btnSuggest})
        onMove(button, &TImage::MouseMove, &TMainForm::TransportButtonMouseMove);
    onMove(lblAbout, &TLabel::MouseMove, &TMainForm::lblAboutMouseMove);
    connect(lblAbout, &TLabel::MouseLeave, this, [this] { RunHandler([&] { lblAboutMouseLeave(lblAbout); }); });
    connect(lblAbout, &TLabel::Click, this, [this] { RunHandler([&] { lblAboutClick(lblAbout); }); });

    // Where the left button went down on the background or the banner: a manual drag
    // keeps the pointer at that place of the window.
    pointerOnScreen_ = new PointerOnScreen(this);
    for (TImage* surface : {imgBack, imgAd}) {
        surface->installEventFilter(pointerOnScreen_);
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
        // Only where the window cannot place itself does the window system's move loop
        // drag it: elsewhere that loop starts only after the first motion, from wherever
        // the pointer is by then, and may run beside the window's own moves, so the
        // window ends short of the pointer or twice as far.
        if (!WindowPlacesItself()) {
            if (QWindow* window = windowHandle(); window && window->startSystemMove()) {
                dragGrip_.reset();
                return;
            }
        }
        manualDrag_ = true;
        if (!dragGrip_)
            dragGrip_ = inWindow;
    }
    // The window follows the pointer: the point of the window under it at the press stays
    // under it, in the screen's coordinates of the event.
    const QPoint pointer = pointerOnScreen_->last.value_or(mapToGlobal(inWindow));
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
