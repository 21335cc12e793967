#include "platform/PrivateFolder.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool OwnedAndClosed(const struct stat& info)
{
    return info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// "a/b/" names the same entry as "a/b", but a trailing slash makes lstat follow a
// symbolic link, so the checks look at the name without it.
std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string ParentOf(const std::string& path)
{
    const std::string trimmed = WithoutTrailingSlashes(path);
    const auto slash = trimmed.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : trimmed.substr(0, slash);
}

void MakeWithParents(const std::string& path)
{
    struct stat info {};
    if (path.empty() || lstat(WithoutTrailingSlashes(path).c_str(), &info) == 0)
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
    return lstat(WithoutTrailingSlashes(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode) && OwnedAndClosed(info);
}

bool IsPrivateExecutable(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && OwnedAndClosed(info) &&
           (info.st_mode & S_IXUSR) != 0 && IsPrivateFolder(ParentOf(path));
}
