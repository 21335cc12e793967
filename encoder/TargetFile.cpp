#include "encoder/TargetFile.h"

#include "encoder/ToolError.h"

#include <cerrno>
#include <cstring>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace av {

namespace {

bool IsDiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

base::AtomicFileWriter::Options WriterOptions(TargetFile::Method method)
{
    base::AtomicFileWriter::Options options;
    options.temporaryPrefix = ".av-";
    options.method = method;
    options.removeOnSignal = true;
    return options;
}

// The folder as the user knows it, for messages: "." is shown as the current folder.
std::string ShownFolder(const std::string& folder)
{
    if (folder != ".")
        return folder;
    std::vector<char> buffer(PATH_MAX + 1);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : folder;
}

// Permissions a newly created file would get: those of the target it replaces, else
// read and write for all as the umask allows.
mode_t TargetMode(const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TargetFile::TargetFile(const std::string& target, Method method) : writer_(target, WriterOptions(method))
{
    const int error = writer_.Open();
    if (error == 0)
        return;
    if (IsDiskFull(error))
        throw ToolError("The disk is full");
    throw ToolError("Cannot write to the folder " + Quoted(ShownFolder(writer_.folder())) + ": " +
                    std::strerror(error));
}

std::string TargetFile::WriteFailure(int error) const
{
    if (IsDiskFull(error))
        return "The disk is full";
    if (error == EFBIG)
        return "The file is too large for this file system.";
    return "Cannot write the target file " + Quoted(target()) + ": " + std::strerror(error);
}

void TargetFile::Commit()
{
    int error = writer_.Flush(TargetMode(target()));
    if (error != 0)
        throw ToolError(WriteFailure(error));
    error = writer_.Replace();
    if (error == 0)
        return;
    if (IsDiskFull(error))
        throw ToolError("The disk is full");
    throw ToolError("Cannot replace the target file " + Quoted(target()) + ": " + std::strerror(error));
}

}  // namespace av
