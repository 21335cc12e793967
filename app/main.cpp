// Tallowick: cuts a ringtone out of an audio file.
#include <QApplication>
#include <QTimer>

#include "app/mainunit.h"
#include "audio/MPGErrorBox.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
    QApplication::setApplicationDisplayName("Tallowick");
    // While the MPEG reader scans a file the window's events go on being handled, and a
    // file it cannot read is reported in its error box.
    InstallWindowReaderDefaults();
    TMainForm MainForm;
    MainForm.show();
    // "tallowick FILE" opens the file once the window shows; a file that cannot be opened
    // is told in the usual error box over it, and the window stays.
    const QStringList arguments = QApplication::arguments().mid(1);
    QTimer::singleShot(0, &MainForm, [&MainForm, arguments] { MainForm.OpenFromArguments(arguments); });
    return application.exec();
}
