// Opens a file in the real window through the Open command, as the user does, and prints
// what the user would feel and what it costs:
//  - open_ms: from the open dialog's answer until the command is done;
//  - longest_gap_ms: the longest time the window's event loop did not turn in that span
//    (a 0 ms timer ticks at every turn), and the same including the half second after it,
//    when the strip is first drawn at its new size;
//  - the resident memory of the idle window and after the open, and what the open added.
//   open_probe FILE          (bench/app/long_mp3.sh makes a 10-hour MP3)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#include "bench/support/PickFile.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "strip/WaveRender.h"

namespace {

QElapsedTimer gClock;

// A line of /proc/self/status in megabytes ("VmRSS", "VmHWM").
double StatusMegabytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atof(line.c_str() + field.size() + 1) / 1024.0;
    return 0;
}

// Runs the event loop for a while. (exit, not quit: quit would close the window.)
void RunFor(int ms)
{
    QTimer::singleShot(ms, qApp, [] { QApplication::exit(0); });
    QApplication::exec();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: open_probe FILE\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
    InstallWindowReaderDefaults();
    gClock.start();
    PickFile dialogs(QString::fromLocal8Bit(argv[1]), &gClock);
    Dialogs::Install(&dialogs);
    TMainForm window;
    window.show();
    RunFor(1000);
    const double idleMb = StatusMegabytes("VmRSS");

    // Every turn of the event loop, also those the reader and the player make while the
    // command runs, ticks; the gaps are counted from the dialog's answer on.
    qint64 lastTick = 0, longestDuringOpen = 0, longest = 0, doneNs = -1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = gClock.nsecsElapsed();
        if (dialogs.answeredNs >= 0) {
            longest = std::max(longest, now - std::max(lastTick, dialogs.answeredNs));
            if (doneNs < 0)
                longestDuringOpen = longest;
        }
        lastTick = now;
    });
    tick.start(0);
    QTimer::singleShot(0, &window, [&] {
        window.btnOpenClick(window.btnOpen);
        doneNs = gClock.nsecsElapsed();
        longestDuringOpen = std::max(longestDuringOpen, doneNs - std::max(lastTick, dialogs.answeredNs));
        longest = std::max(longest, longestDuringOpen);
        lastTick = doneNs;
        // Half a second more: the strip's first redraw at its new size.
        QTimer::singleShot(500, qApp, [] { QApplication::exit(0); });
    });
    QApplication::exec();
    tick.stop();
    RunFor(1000);
    const double afterMb = StatusMegabytes("VmRSS");

    std::printf("file %s\nopened %s\n%s\nstrip_columns %d\n", argv[1], qPrintable(window.FSourceFile),
                qPrintable(window.lblLength->Caption()), window.FRender ? window.FRender->StripWidth() : -1);
    std::printf("open_ms %.1f\nlongest_gap_ms %.2f\nlongest_gap_with_first_redraw_ms %.2f\n",
                double(doneNs - dialogs.answeredNs) / 1e6, double(longestDuringOpen) / 1e6, double(longest) / 1e6);
    std::printf("rss_idle_mb %.1f\nrss_after_open_mb %.1f\nrss_added_mb %.1f\npeak_rss_mb %.1f\n", idleMb, afterMb,
                afterMb - idleMb, StatusMegabytes("VmHWM"));
    return 0;
}
