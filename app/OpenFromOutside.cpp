// Files that reach the window from outside it: the one named on the command line (a file
// manager's "Open with Tallowick" starts "tallowick FILE") and a local audio file dropped
// on the window. Both open through the same path as the Open button after its dialog.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/OpenableFiles.h"
#include "app/mainunit.h"
#include "platform/ErrorHandler.h"

namespace {

// The local audio file that a drag carries: exactly one local file URL of a kind the
// window opens; empty for anything else (text, a remote URL, several files, a picture).
QString DroppedAudioFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QUrl url = data->urls().first();
    if (!url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    return IsOpenableAudioFile(path) ? path : QString();
}

}  // namespace

void TMainForm::OpenFromArguments(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return;
    // A desktop may pass a file URL rather than a path.
    const QString& argument = arguments.first();
    const QUrl url(argument);
    const QString path = url.isLocalFile() ? url.toLocalFile() : argument;
    RunHandler([&] { OpenPath(path); });
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (DroppedAudioFile(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QString path = DroppedAudioFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The file opens once the drop has ended, so that the program it was dragged from is
    // not kept waiting while the file is examined (or its error box is open).
    QTimer::singleShot(0, this, [this, path] { RunHandler([&] { OpenPath(path); }); });
}
