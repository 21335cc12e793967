// Opens a file in the real window and plays it for a number of seconds with the cursor
// timer and the idle handler running, then prints the CPU time and peak memory it used.
//   playback_probe FILE SECONDS
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#include "audio/MediaPlayer.h"
#include "platform/Dialogs.h"

namespace {

// Answers the open dialog with the file given on the command line.
class PickFile : public Dialogs {
public:
    explicit PickFile(QString path) : path_(std::move(path)) {}
    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest&) override
    {
        return FileDialogAnswer{path_, 0};
    }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest&) override { return {}; }
    QMessageBox::StandardButton Message(QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        std::exit(2);
    }

private:
    QString path_;
};

double Seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: playback_probe FILE SECONDS\n");
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
    rusage before {};
    getrusage(RUSAGE_SELF, &before);
    window.btnPlayClick(window.btnPlay);
    QTimer::singleShot(int(std::atof(argv[2]) * 1000), &application, &QApplication::quit);
    application.exec();
    rusage after {};
    getrusage(RUSAGE_SELF, &after);
    const double cpu = Seconds(after.ru_utime) - Seconds(before.ru_utime) + Seconds(after.ru_stime) -
                       Seconds(before.ru_stime);
    std::printf("cpu_seconds %.3f\nmax_rss_kib %ld\nmode %d\n", cpu, after.ru_maxrss, window.MediaPlayer1->Mode());
    return 0;
}
