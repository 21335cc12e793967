#include "base/WriteProtection.h"

#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace base {

namespace {

bool IsInGroup(gid_t group)
{
    if (group == getegid())
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i) {
        if (groups[static_cast<std::size_t>(i)] == group)
            return true;
    }
    return false;
}

}  // namespace

bool IsWriteProtected(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return false;
    mode_t writeBit = S_IWOTH;
    if (info.st_uid == geteuid())
        writeBit = S_IWUSR;
    else if (IsInGroup(info.st_gid))
        writeBit = S_IWGRP;
    return (info.st_mode & writeBit) == 0;
}

}  // namespace base
