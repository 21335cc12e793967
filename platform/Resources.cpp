#include "platform/Resources.h"

#include "base/AtomicFileWriter.h"

#include <QDir>
#include <QFile>
#include <QResource>

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

bool ReplaceFileContents(const std::string& path, const QByteArray& bytes, mode_t mode, bool syncToDisk)
{
    base::AtomicFileWriter::Options options;
    options.syncToDisk = syncToDisk;
    base::AtomicFileWriter writer(path, options);
    return writer.Open() == 0 && writer.Write(bytes.constData(), std::size_t(bytes.size())) == 0 &&
           writer.Flush(mode) == 0 && writer.Replace() == 0;
}
