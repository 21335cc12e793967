#include "audio/MPGErrorBox.h"

#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

std::uint16_t ShowReadErrorBox(const TMPEGAudio& reader)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("Error openning file: ") +
                        QFile::decodeName(QByteArray::fromStdString(reader.FileName())),
                    QMessageBox::NoButton);
    // One role for all three keeps them in the order they are added.
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::ActionRole);
    QPushButton* retry = box.addButton(QStringLiteral("Retry"), QMessageBox::ActionRole);
    QPushButton* ignore = box.addButton(QStringLiteral("Ignore"), QMessageBox::ActionRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);  // the close button and Esc answer Cancel
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == retry)
        return TMPEGAudio::mrRetry;
    if (clicked == ignore)
        return TMPEGAudio::mrIgnore;
    return TMPEGAudio::mrCancel;
}
