#include "platform/PrivateFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uid_t kRootUid = 0;

bool OwnedAndClosed(const struct stat& info)
{
    return info.st_uid == geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool OwnedByUserOrRoot(const struct stat& info)
{
    return info.st_uid == geteuid() || info.st_uid == kRootUid;
}

// Whether no other user can rename or replace the entries of this folder that belong
// to this user or root: it is theirs, and where others may write into it, the sticky
// bit keeps them from touching entries that are not their own.
bool GuardsItsEntries(const struct stat& folder)
{
    if (!S_ISDIR(folder.st_mode) || !OwnedByUserOrRoot(folder))
        return false;
    const bool othersMayWrite = (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersMayWrite || (folder.st_mode & S_ISVTX) != 0;
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

std::string NameOf(const std::string& path)
{
    const std::string trimmed = WithoutTrailingSlashes(path);
    const auto slash = trimmed.find_last_of('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

std::vector<std::string> Components(const std::string& absolutePath)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start < absolutePath.size()) {
        const std::size_t end = absolutePath.find('/', start);
        const std::size_t stop = end == std::string::npos ? absolutePath.size() : end;
        if (stop > start)
            parts.push_back(absolutePath.substr(start, stop - start));
        start = stop + 1;
    }
    return parts;
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

// Opens the folder by walking from the root one name at a time, never following a
// symbolic link, and checks every folder on the way through its descriptor. The links
// above the folder are resolved once beforehand; a link swapped in later fails the walk.
base::UniqueFd OpenPrivateFolder(const std::string& path)
{
    const std::string name = NameOf(path);
    if (name.empty() || name == "." || name == ".." || name == "/")
        return {};
    std::vector<char> resolved(PATH_MAX + 1);
    if (!realpath(ParentOf(path).c_str(), resolved.data()))
        return {};
    std::vector<std::string> names = Components(resolved.data());
    names.push_back(name);

    base::UniqueFd current(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!current || fstat(current.get(), &info) != 0)
        return {};
    for (const std::string& next : names) {
        if (!GuardsItsEntries(info))
            return {};
        base::UniqueFd child(openat(current.get(), next.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!child || fstat(child.get(), &info) != 0 || !OwnedByUserOrRoot(info))
            return {};
        current = std::move(child);
    }
    if (!OwnedAndClosed(info))
        return {};
    return current;
}

}  // namespace

bool MakePrivateFolder(const std::string& path)
{
    MakeWithParents(path);
    return IsPrivateFolder(path);
}

bool IsPrivateFolder(const std::string& path)
{
    return OpenPrivateFolder(path).valid();
}

std::optional<PrivateProgram> OpenPrivateProgram(const std::string& folder, const std::string& name)
{
    PrivateProgram opened;
    opened.folder = OpenPrivateFolder(folder);
    if (!opened.folder || name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    opened.program = base::UniqueFd(openat(opened.folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!opened.program || fstat(opened.program.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !OwnedAndClosed(info) || (info.st_mode & S_IXUSR) == 0)
        return std::nullopt;
    return opened;
}
