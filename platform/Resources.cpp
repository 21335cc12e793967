#include "platform/Resources.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QString FindEntry(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

}  // namespace

QString FindResource(const QString& type, const QString& name)
{
    const QString folder = FindEntry(QStringLiteral(":/"), type);
    return folder.isEmpty() ? QString() : FindEntry(folder, name);
}

std::optional<QByteArray> LoadResource(const QString& type, const QString& name)
{
    const QString path = FindResource(type, name);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool ReplaceFileContents(const std::string& path, const QByteArray& bytes, mode_t mode)
{
    std::string pattern = path + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    const bool written = fchmod(fd, mode) == 0 && WriteAll(fd, bytes.constData(), std::size_t(bytes.size()));
    const bool closed = close(fd) == 0;
    if (written && closed && rename(name.data(), path.c_str()) == 0)
        return true;
    unlink(name.data());
    return false;
}
