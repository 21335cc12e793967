#pragma once
// The application's default error handler: an error that escapes an event handler is
// shown in a message box with the application title as caption and an error icon, and
// never unwinds through the toolkit's own code.
#include <QString>
#include <exception>
#include <utility>

class QWidget;

// The box text: the error's text, with a full stop appended when its last character
// sorts after the full stop.
QString ErrorBoxText(const QString& message);
void ShowErrorBox(const QString& message, QWidget* parent = nullptr);

// Runs one event handler under the default error handler.
template <class Handler>
void RunHandler(Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromUtf8(error.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Unknown error"));
    }
}
