#include "platform/PrivateFolder.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool OwnedAndClosed(const struct stat& info)
{
    return info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string ParentOf(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const auto slash = trimmed.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

void MakeWithParents(const std::string& path)
{
    struct stat info {};
    if (path.empty() || lstat(path.c_str(), &info) == 0)
        return;
    const std::string parent = ParentOf(path);
    if (parent != path)
        MakeWithParents(parent);
    mkdir(path.c_str(), 0700);
}

}  // namespace

bool MakePrivateFolder(const std::string& path)
{
    MakeWithParents(path);
    return IsPrivateFolder(path);
}

bool IsPrivateFolder(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && OwnedAndClosed(info);
}

bool IsPrivateExecutable(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && OwnedAndClosed(info) &&
           (info.st_mode & S_IXUSR) != 0 && IsPrivateFolder(ParentOf(path));
}
