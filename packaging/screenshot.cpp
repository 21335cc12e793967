// tallowick_screenshot: draws the main window as the README shows it and writes it to a
// PNG file. With an audio file it opens that file the way the user would (the Open
// button's command, answered through the dialog seam) before taking the picture.
//
//   tallowick_screenshot <output.png> [audio file]
//
// scripts/screenshot.sh runs it under a virtual display.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/mainunit.h"
#include "platform/Dialogs.h"

namespace {

// Answers the open dialog with the given file; every other dialog is cancelled.
class TScriptedDialogs : public TDialogs {
public:
    explicit TScriptedDialogs(QString path) : path_(std::move(path)) {}
    std::optional<TFileDialogAnswer> OpenFile(QWidget*, const TFileDialogRequest&) override
    {
        return TFileDialogAnswer{path_, 0};
    }
    std::optional<TFileDialogAnswer> SaveFile(QWidget*, const TFileDialogRequest&) override { return std::nullopt; }
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
    TScriptedDialogs dialogs(argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString());
    TDialogs::Install(&dialogs);

    TMainForm MainForm;
    MainForm.show();
    if (argc == 3)
        MainForm.btnOpenClick(MainForm.btnOpen);

    int result = 1;
    QTimer::singleShot(kSettleMs, [&] {
        if (MainForm.grab().save(output, "png"))
            result = 0;
        else
            std::fprintf(stderr, "tallowick_screenshot: cannot write %s\n", argv[1]);
        app.quit();
    });
    app.exec();
    TDialogs::Install(nullptr);
    return result;
}
