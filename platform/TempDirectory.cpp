#include "platform/TempDirectory.h"

#include <cstdlib>
#include <sys/stat.h>

namespace {

bool Usable(const char* value)
{
    if (!value || value[0] != '/')
        return false;
    struct stat info {};
    if (stat(value, &info) != 0)
        return true;
    return S_ISDIR(info.st_mode);
}

}  // namespace

std::string ChooseTempDirectory(const char* xdgRuntimeDir, const char* tmpDir)
{
    std::string chosen = Usable(xdgRuntimeDir) ? xdgRuntimeDir : Usable(tmpDir) ? tmpDir : "/tmp";
    if (chosen.back() != '/')
        chosen += '/';
    return chosen;
}

std::string TempDirectoryFromEnvironment()
{
    return ChooseTempDirectory(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"));
}
