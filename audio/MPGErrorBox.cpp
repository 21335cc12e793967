#include "audio/MPGErrorBox.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>

#include "platform/Dialogs.h"

std::uint16_t ShowReadErrorBox(const TMPEGAudio& reader)
{
    const QString text =
        QStringLiteral("Error openning file: ") + QFile::decodeName(QByteArray::fromStdString(reader.FileName()));
    switch (Dialogs::Current().Message(nullptr, QStringLiteral("Error"), text, QMessageBox::Critical,
                                        QMessageBox::Cancel | QMessageBox::Retry | QMessageBox::Ignore)) {
    case QMessageBox::Retry:
        return TMPEGAudio::mrRetry;
    case QMessageBox::Ignore:
        return TMPEGAudio::mrIgnore;
    default:
        return TMPEGAudio::mrCancel;   // Cancel, or the box closed
    }
}

void InstallWindowReaderDefaults()
{
    TMPEGAudio::SetDefaultMessagePump([] {
        QApplication::processEvents(QEventLoop::AllEvents);
        return true;
    });
    TMPEGAudio::SetDefaultReadErrorHandler(ShowReadErrorBox);
}
