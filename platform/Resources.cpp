#include "platform/Resources.h"

#include "base/AtomicFileWriter.h"
#include "base/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QResource>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString FindEntry(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
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
    // A resource stored uncompressed is handed out where it lies in the program, not copied.
    const QResource resource(path);
    if (resource.isValid() && resource.compressionAlgorithm() == QResource::NoCompression && resource.data())
        return QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()), qsizetype(resource.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool FileHoldsContents(const std::string& path, const QByteArray& bytes, mode_t mode)
{
    const base::UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
        info.st_nlink != 1 || (info.st_mode & 07777) != mode || info.st_size != off_t(bytes.size()))
        return false;
    QByteArray held(bytes.size(), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < held.size()) {
        const ssize_t n = pread(fd.get(), held.data() + got, std::size_t(held.size() - got), off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += n;
    }
    return held == bytes;
}

bool ReplaceFileContents(const std::string& path, const QByteArray& bytes, mode_t mode, bool syncToDisk)
{
    base::AtomicFileWriter::Options options;
    options.syncToDisk = syncToDisk;
    base::AtomicFileWriter writer(path, options);
    return writer.Open() == 0 && writer.Write(bytes.constData(), std::size_t(bytes.size())) == 0 &&
           writer.Flush(mode) == 0 && writer.Replace() == 0;
}
