// wayland_window_probe: the main window as a native Wayland client, driven through its
// own handlers. tests/app/wayland_window_test.sh runs it under a headless compositor with
// QT_QPA_PLATFORM=wayland and WAYLAND_DEBUG=client, and checks the requests it sent.
//
// It checks, and prints one line for each step:
//   - Qt runs on its wayland platform plugin;
//   - the window is exposed (the compositor configured and shows its surface);
//   - a press on the background and a move with the left button held, sent as Qt mouse
//     events, hand the drag to the compositor (QWindow::startSystemMove);
//   - the minimise button asks the compositor to minimise the window;
//   - the close button closes the window, which ends the program.
// Exit code 0 when every step passed.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <dlfcn.h>
#include <functional>

#include "app/mainunit.h"

namespace {

int g_systemMoves = 0;

// Generous bound for the compositor's answers; only catches a hang.
constexpr int kWaitMs = 10000;

bool WaitUntil(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > kWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void Send(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget)
{
    Send(widget, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
    Send(widget, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
}

int g_failures = 0;

void Report(bool passed, const char* what)
{
    std::printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    std::fflush(stdout);
    if (!passed)
        ++g_failures;
}

}  // namespace

// Counts the window's calls of QWindow::startSystemMove and passes them on to Qt's own.
// This executable's definition takes the place of Qt's for the window's code linked into
// it. The headless compositor has no seat, so Qt's own answers false and the window
// goes on with a drag of its own, which the compositor ignores.
bool QWindow::startSystemMove()
{
    ++g_systemMoves;
    using Original = bool (*)(QWindow*);
    static const auto original = reinterpret_cast<Original>(dlsym(RTLD_NEXT, "_ZN7QWindow15startSystemMoveEv"));
    return original ? original(this) : false;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tallowick");
    Report(QGuiApplication::platformName() == "wayland", "runs on the wayland platform plugin");

    TMainForm MainForm;
    MainForm.show();
    Report(WaitUntil([&] { return MainForm.windowHandle() && MainForm.windowHandle()->isExposed(); }),
           "the window is exposed");

    // Press on the background, then move with the left button held.
    Send(MainForm.imgBack, QEvent::MouseButtonPress, {300, 5}, Qt::LeftButton, Qt::LeftButton);
    Send(MainForm.imgBack, QEvent::MouseMove, {320, 15}, Qt::NoButton, Qt::LeftButton);
    Send(MainForm.imgBack, QEvent::MouseButtonRelease, {320, 15}, Qt::LeftButton, Qt::NoButton);
    Report(g_systemMoves == 1, "a drag of the background hands the move to the compositor (startSystemMove)");

    Click(MainForm.btnMinimize);
    Report(MainForm.windowState() & Qt::WindowMinimized, "the minimise button minimises the window");
    // Let the request reach the compositor before the window goes.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);

    // Closing the last window ends the event loop, as it ends the program.
    bool timedOut = false;
    QTimer::singleShot(0, [&] { Click(MainForm.btnClose); });
    QTimer::singleShot(kWaitMs, [&] {
        timedOut = true;
        app.quit();
    });
    app.exec();
    Report(!timedOut && !MainForm.isVisible(), "the close button closes the window and ends the program");
    return g_failures == 0 ? 0 : 1;
}
