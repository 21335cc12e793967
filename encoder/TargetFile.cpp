#include "TargetFile.h"

#include "ToolError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace av {

namespace {

// The temporary file to remove when a signal stops the program; read by the signal
// handler, so a plain character array set before the handler is armed.
char gPendingPath[PATH_MAX + 1];
volatile std::sig_atomic_t gPendingSet = 0;

extern "C" void RemovePendingAndDie(int signalNumber)
{
    if (gPendingSet)
        unlink(gPendingPath);
    std::signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void ArmSignalCleanup(const std::string& path)
{
    if (path.size() > PATH_MAX)
        return;
    std::memcpy(gPendingPath, path.c_str(), path.size() + 1);
    gPendingSet = 1;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signalNumber, RemovePendingAndDie);
}

void DisarmSignalCleanup() { gPendingSet = 0; }

bool IsDiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

std::string FolderOf(const std::string& target)
{
    auto slash = target.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return target.substr(0, slash);
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

TargetFile::TargetFile(const std::string& target) : target_(target), folder_(FolderOf(target))
{
    std::string pattern = folder_ + "/.av-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        if (IsDiskFull(error))
            throw ToolError("The disk is full");
        throw ToolError("Cannot write to the folder " + Quoted(ShownFolder(folder_)) + ": " +
                        std::strerror(error));
    }
    temporary_ = name.data();
    ArmSignalCleanup(temporary_);
}

TargetFile::~TargetFile()
{
    if (fd_ >= 0)
        close(fd_);
    if (!committed_) {
        unlink(temporary_.c_str());
        DisarmSignalCleanup();
    }
}

std::string TargetFile::WriteFailure(int error) const
{
    if (IsDiskFull(error))
        return "The disk is full";
    return "Cannot write the target file " + Quoted(target_) + ": " + std::strerror(error);
}

void TargetFile::Commit()
{
    if (fchmod(fd_, TargetMode(target_)) != 0 || fsync(fd_) != 0)
        throw ToolError(WriteFailure(errno));
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        throw ToolError(WriteFailure(errno));
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        throw ToolError("Cannot replace the target file " + Quoted(target_) + ": " + std::strerror(error));
    }
    committed_ = true;
    DisarmSignalCleanup();
}

}  // namespace av
