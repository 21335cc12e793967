#include "export/RunAndWait.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/UniqueFd.h"

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

// In the new process, between fork and exec: only async-signal-safe calls. A failure
// is written as its errno into the report pipe, which exec closes when it succeeds.
[[noreturn]] void StartTool(int programFd, char* const* argv, int workingDirFd, int input, int output, int errors,
                            int report)
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int failure = 0;
    if (dup2(input, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0 || dup2(errors, STDERR_FILENO) < 0 ||
        fchdir(workingDirFd) != 0)
        failure = errno;
    // A script's interpreter reads the program through the descriptor, so it stays open
    // across exec.
    if (failure == 0 && fcntl(programFd, F_SETFD, 0) != 0)
        failure = errno;
    if (failure == 0) {
        fexecve(programFd, argv, environ);
        failure = errno;
    }
    while (write(report, &failure, sizeof failure) < 0 && errno == EINTR) {
    }
    _exit(127);
}

// The errno that the new process reported before exec, or 0 when exec went through.
int ReadStartFailure(int report)
{
    int failure = 0;
    ssize_t n;
    while ((n = read(report, &failure, sizeof failure)) < 0 && errno == EINTR) {
    }
    return n == sizeof failure ? failure : 0;
}

}  // namespace

RunResult RunAndWait(int programFd, const std::vector<std::string>& arguments, int workingDirFd)
{
    RunResult result;
    // The tool's error output goes to an anonymous in-memory file rather than a pipe: if
    // Tallowick ends while the tool runs, the tool can still write its message and finish.
    base::UniqueFd errorFile(memfd_create("av-stderr", MFD_CLOEXEC));
    base::UniqueFd input(open("/dev/null", O_RDONLY | O_CLOEXEC));
    base::UniqueFd output(open("/dev/null", O_WRONLY | O_CLOEXEC));
    int reportPipe[2] = {-1, -1};
    if (!errorFile || !input || !output || pipe2(reportPipe, O_CLOEXEC) != 0) {
        result.message = std::strerror(errno);
        return result;
    }
    base::UniqueFd reportRead(reportPipe[0]);
    base::UniqueFd reportWrite(reportPipe[1]);

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        result.message = std::strerror(errno);
        return result;
    }
    if (pid == 0)
        StartTool(programFd, argv.data(), workingDirFd, input.get(), output.get(), errorFile.get(), reportWrite.get());
    reportWrite.Reset();
    const int startFailure = ReadStartFailure(reportRead.get());
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (startFailure != 0) {
        result.message = std::strerror(startFailure);
        return result;
    }
    result.started = true;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.message = LastLine(errorFile.get());
    if (result.message.empty() && WIFSIGNALED(status))
        result.message = std::string("The encoder tool was ended by signal ") + strsignal(WTERMSIG(status));
    return result;
}
