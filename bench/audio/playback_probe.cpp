// Opens a file in the real window and plays it for a number of seconds with the cursor
// timer and the idle handler running, then prints the CPU time and peak memory it used.
// Playback starts at the file's start, or at the given second (the cursor is put there
// first, as a click on the strip does, and the view follows it).
//   playback_probe FILE SECONDS [START_SECOND]
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#include "audio/MediaPlayer.h"
#include "bench/support/PickFile.h"
#include "platform/Dialogs.h"
#include "strip/WaveRender.h"

namespace {

double Seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: playback_probe FILE SECONDS [START_SECOND]\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
    InstallWindowReaderDefaults();
    PickFile dialogs(QString::fromLocal8Bit(argv[1]));
    Dialogs::Install(&dialogs);
    TMainForm window;
    window.show();
    window.btnOpenClick(window.btnOpen);
    if (argc == 4)
        window.FRender->SetCursorPos(std::atoi(argv[3]) * TWaveRender::ColumnsPerSecond);
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    window.btnPlayClick(window.btnPlay);
    // exit, not quit: quit would close the window before its state is printed.
    QTimer::singleShot(int(std::atof(argv[2]) * 1000), &application, [] { QApplication::exit(0); });
    application.exec();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    const double cpu = Seconds(after.ru_utime) - Seconds(before.ru_utime) + Seconds(after.ru_stime) -
                       Seconds(before.ru_stime);
    if (!window.MediaPlayer1->LastError().isEmpty())
        std::printf("player_error %s\n", qPrintable(window.MediaPlayer1->LastError()));
    std::printf("cpu_seconds %.3f\nmax_rss_kib %ld\nmode %d\ncursor_second %d\n", cpu, after.ru_maxrss,
                window.MediaPlayer1->Mode(), window.FRender ? window.FRender->CursorSecond() : -1);
    return 0;
}
