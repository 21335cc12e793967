#include "app/DialogStart.h"

#include <QDir>
#include <QFileInfo>

#include "app/UserSettings.h"

namespace {

const char* const kOpenFolderKey = "Dialogs/OpenFolder";
const char* const kSaveFolderKey = "Dialogs/SaveFolder";

// A remembered folder that is still there; a removed or renamed one is forgotten, and
// the dialog then starts where it would have started without it.
QString ExistingFolder(const QString& key)
{
    const QString folder = UserSettings().value(key).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFolderOf(const QString& key, const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return;
    UserSettings().setValue(key, QFileInfo(chosenPath).absolutePath());
}

}  // namespace

QString OpenDialogStart()
{
    return ExistingFolder(kOpenFolderKey);
}

void RememberOpenDialogAnswer(const QString& chosenPath)
{
    RememberFolderOf(kOpenFolderKey, chosenPath);
}

QString ProposedRingtonePath(const QString& folder, const QString& sourcePath, const QString& extension)
{
    // The suffix keeps the name apart from the song's even when the song is an MP3 in the
    // same folder; the whole base name is kept, dots and all ("a.b.mp3" -> "a.b (ringtone)").
    const QString baseName = QFileInfo(sourcePath).completeBaseName();
    return QDir(folder).filePath(baseName + " (ringtone)" + extension);
}

QString SaveDialogStart(const QString& sourcePath, const QString& extension)
{
    QString folder = ExistingFolder(kSaveFolderKey);
    if (folder.isEmpty())
        folder = QFileInfo(sourcePath).absolutePath();
    return ProposedRingtonePath(folder, sourcePath, extension);
}

void RememberSaveDialogAnswer(const QString& chosenPath)
{
    RememberFolderOf(kSaveFolderKey, chosenPath);
}
