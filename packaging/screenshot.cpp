// tallowick_screenshot: draws the main window as the README shows it and writes it to a
// PNG file. With an audio file it opens that file the way the user would (the Open
// button's command, answered through the dialog seam) before taking the picture.
//
//   tallowick_screenshot <output.png> [audio file]
//
// scripts/screenshot.sh runs it under a virtual display.
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QTimer>
#include <cstdio>

#include "app/mainunit.h"
#include "platform/Dialogs.h"

namespace {

// Answers the open dialog with the given file; every other dialog is cancelled.
class ScriptedDialogs : public Dialogs {
public:
    explicit ScriptedDialogs(QString path) : path_(std::move(path)) {}
    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest&) override
    {
        return FileDialogAnswer{path_, 0};
    }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest&) override { return std::nullopt; }
    QMessageBox::StandardButton Message(QWidget*, const QString& caption, const QString& text, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override
    {
        std::fprintf(stderr, "tallowick_screenshot: %s: %s\n", qPrintable(caption), qPrintable(text));
        return QMessageBox::Cancel;
    }

private:
    QString path_;
};

// Time for the window to settle (the idle handler and the one-second timer write the
// position labels) before the picture is taken.
constexpr int kSettleMs = 1500;

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tallowick");
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tallowick_screenshot <output.png> [audio file]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    ScriptedDialogs dialogs(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
    Dialogs::Install(&dialogs);

    TMainForm MainForm;
    MainForm.show();
    if (argc == 3)
        MainForm.btnOpenClick(MainForm.btnOpen);
    // The pointer rests on "play the selection": its hover picture shows and its hint is
    // echoed in the status display.
    QWidget* pointed = MainForm.btnPlaySelected;
    const QPoint at(pointed->width() / 2, pointed->height() / 2);
    QEnterEvent enter(at, at, pointed->mapToGlobal(at));
    QCoreApplication::sendEvent(pointed, &enter);
    QMouseEvent move(QEvent::MouseMove, at, pointed->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pointed, &move);

    int result = 1;
    QTimer::singleShot(kSettleMs, [&] {
        if (MainForm.grab().save(output, "png"))
            result = 0;
        else
            std::fprintf(stderr, "tallowick_screenshot: cannot write %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    Dialogs::Install(nullptr);
    return result;
}
