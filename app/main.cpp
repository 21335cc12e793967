// Tallowick: cuts a ringtone out of an audio file.
#include <QApplication>

#include "app/mainunit.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Tallowick");
    QApplication::setApplicationDisplayName("Tallowick");
    TMainForm MainForm;
    MainForm.show();
    return application.exec();
}
