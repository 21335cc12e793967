#include "app/appDefine.h"

#include "platform/Resources.h"

QString WorkDir;
bool WorkDirTrusted = false;
std::atomic<bool> IsConverting{false};
TApplicationInfo AppInfo;

bool ExtractResourceToFile(const QString& ResType, const QString& ResName, const QString& DestFile)
{
    const auto bytes = LoadResource(ResType, ResName);
    return bytes && ReplaceFileContents(DestFile.toStdString(), *bytes, 0700, false);
}
