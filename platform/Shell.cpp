#include "platform/Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

std::function<void(const QString&)>& Opener()
{
    static std::function<void(const QString&)> opener;
    return opener;
}

}  // namespace

void OpenFolderInFileManager(const QString& folder)
{
    if (Opener())
        Opener()(folder);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void SetFolderOpener(std::function<void(const QString&)> opener)
{
    Opener() = std::move(opener);
}
