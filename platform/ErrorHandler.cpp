#include "platform/ErrorHandler.h"

#include <QApplication>

#include "platform/Dialogs.h"

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QChar('.'))
        return message + '.';
    return message;
}

void ShowErrorBox(const QString& message, QWidget* parent)
{
    Dialogs::Current().Message(parent ? parent : QApplication::activeWindow(), QApplication::applicationDisplayName(),
                                ErrorBoxText(message), QMessageBox::Critical, QMessageBox::Ok);
}
