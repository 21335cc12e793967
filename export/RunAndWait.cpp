#include "export/RunAndWait.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The last non-empty line of what the tool wrote on standard error.
std::string LastLine(int fd)
{
    std::string all;
    char chunk[4096];
    lseek(fd, 0, SEEK_SET);
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            all.append(chunk, std::size_t(n));
    while (!all.empty() && (all.back() == '\n' || all.back() == '\r'))
        all.pop_back();
    const std::size_t start = all.find_last_of('\n');
    return start == std::string::npos ? all : all.substr(start + 1);
}

}  // namespace

TRunResult RunAndWait(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDir)
{
    TRunResult result;
    // The tool's error output goes to an anonymous in-memory file rather than a pipe: if
    // Tallowick ends while the tool runs, the tool can still write its message and finish.
    const int errorFile = memfd_create("av-stderr", MFD_CLOEXEC);
    if (errorFile < 0) {
        result.message = std::strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorFile, 2);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawnError = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        close(errorFile);
        result.message = std::strerror(spawnError);
        return result;
    }
    result.started = true;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.message = LastLine(errorFile);
    if (result.message.empty() && WIFSIGNALED(status))
        result.message = std::string("The encoder tool was ended by signal ") + strsignal(WTERMSIG(status));
    close(errorFile);
    return result;
}
