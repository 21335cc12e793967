// The longest stall of the window's event loop while an export of a 30-second segment
// runs, against the same measurement while the window is idle for as long.
//   export_stall_probe SOURCE TARGET.mp3
// A 1 ms timer ticks throughout; a stall is the longest gap between two ticks. Timing
// starts once the window's first paint has run: start-up is not the export's.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>

#include "app/appDefine.h"
#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"
#include "platform/Dialogs.h"
#include "strip/WaveRender.h"

namespace {

class Answers : public Dialogs {
public:
    Answers(QString source, QString target) : source_(std::move(source)), target_(std::move(target)) {}
    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest&) override { return FileDialogAnswer{source_, 0}; }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest&) override { return FileDialogAnswer{target_, 0}; }
    QMessageBox::StandardButton Message(QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override
    {
        lastMessage = text;
        return QMessageBox::No;
    }
    QString lastMessage;

private:
    QString source_, target_;
};

// Runs the event loop until the window (or any widget in it) has been painted once.
void WaitForFirstPaint(QWidget& window)
{
    class PaintWatch : public QObject {
    public:
        PaintWatch(QWidget& window, QEventLoop& loop) : window_(window), loop_(loop) {}
        bool eventFilter(QObject* receiver, QEvent* event) override
        {
            auto* widget = qobject_cast<QWidget*>(receiver);
            if (event->type() == QEvent::Paint && widget && widget->window() == &window_)
                QTimer::singleShot(0, &loop_, &QEventLoop::quit);   // after the paint has run
            return false;
        }

    private:
        QWidget& window_;
        QEventLoop& loop_;
    };
    QEventLoop loop;
    PaintWatch watch(window, loop);
    qApp->installEventFilter(&watch);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);   // never waits for ever
    loop.exec();
    qApp->removeEventFilter(&watch);
}

// Runs the event loop until done() holds, and returns the longest gap between ticks in ms.
double LongestStall(const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (done())
            QApplication::exit();
    });
    tick.start(1);
    QApplication::exec();
    return double(longest) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: export_stall_probe SOURCE TARGET.mp3\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
    InstallWindowReaderDefaults();
    Answers answers(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    Dialogs::Install(&answers);
    TMainForm window;
    window.show();
    WaitForFirstPaint(window);
    window.btnOpenClick(window.btnOpen);
    window.FRender->SetBeginPos(50);
    window.FRender->SetEndPos(200);   // seconds 10 to 40

    QElapsedTimer exportClock;
    exportClock.start();
    window.btnSaveClick(window.btnSave);
    const double duringExport = LongestStall([] { return !IsConverting; });
    const qint64 exportMs = exportClock.elapsed();
    QElapsedTimer idleClock;
    idleClock.start();
    const double idle = LongestStall([&] { return idleClock.elapsed() >= exportMs; });
    std::printf("export_ms %lld\nlongest_stall_during_export_ms %.2f\nlongest_stall_idle_ms %.2f\nstatus %s\n",
                static_cast<long long>(exportMs), duringExport, idle, qPrintable(window.sb_status->Caption()));
    return 0;
}
