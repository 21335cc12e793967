#include "app/appDefine.h"

#include "platform/Resources.h"

QString WorkDir;
bool WorkDirTrusted = false;
std::atomic<bool> IsConverting{false};
TApplicationInfo AppInfo;

bool ExtractResourceToFile(const QString& ResType, const QString& ResName, const QString& DestFile)
{
    const auto bytes = LoadResource(ResType, ResName);
    if (!bytes)
        return false;
    const std::string path = DestFile.toStdString();
    return FileHoldsContents(path, *bytes, 0700) || ReplaceFileContents(path, *bytes, 0700, false);
}
