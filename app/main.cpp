// Tallowick: cuts a ringtone out of an audio file.
#include <QApplication>

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
    return application.exec();
}
