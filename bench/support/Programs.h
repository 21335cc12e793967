#pragma once
// What the command-line benchmarks share: running a program quietly, telling whether a
// fixture has been made, dropping a file from the page cache, and the median of runs.
#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace bench {

// Runs a program (found on PATH) with standard input from /dev/null, standard output to
// output and standard error to /dev/null. Returns its exit status, -1 when it could not
// be started or did not exit.
inline int RunProgram(const std::vector<std::string>& argv, const std::string& output = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether a fixture has been made: the file exists and is not empty.
inline bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

// Drops the file's pages from the page cache (written pages are flushed first), so that
// the next run reads it from the disk. False when the file cannot be opened or the
// kernel refuses.
inline bool DropFromPageCache(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fdatasync(fd);
    const bool dropped = posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    close(fd);
    return dropped;
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace bench
