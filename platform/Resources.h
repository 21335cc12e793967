#pragma once
// Named resources of the executable, kept in Qt's resource system with the resource
// type as folder and the name as file (":/exefile/av"). Type and name are looked up
// without regard to case.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string>
#include <sys/types.h>

// The resource's path in the resource system, or an empty string when there is none.
QString FindResource(const QString& type, const QString& name);
std::optional<QByteArray> LoadResource(const QString& type, const QString& name);

// True when the path names (without following a link) a regular file of this user with
// one name only, these permissions and exactly these bytes.
bool FileHoldsContents(const std::string& path, const QByteArray& bytes, mode_t mode);

// Writes the bytes to the file through a new file in the same folder that has no name
// until it is complete and then replaces it in one step, so that a copy of the file
// that another process is running or reading is never changed under it, and a failed
// or killed write leaves any earlier file as it was and no temporary file behind.
// Unless syncToDisk, it does not wait for the file to reach the disk (for a file that is
// written anew before every use). Returns whether the file was replaced.
bool ReplaceFileContents(const std::string& path, const QByteArray& bytes, mode_t mode, bool syncToDisk = true);
