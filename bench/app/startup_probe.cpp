// Starts like Tallowick (or, without PROBE_TALLOWICK, like a minimal Qt window) and ends as
// soon as the window has been shown, so that timing the whole process measures start-up.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#ifdef PROBE_TALLOWICK
#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#endif

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
#ifdef PROBE_TALLOWICK
    InstallWindowReaderDefaults();
    TMainForm window;
#else
    QWidget window;
    window.resize(598, 422);
#endif
    window.show();
    // Runs once the show and its first paint have been handled.
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
