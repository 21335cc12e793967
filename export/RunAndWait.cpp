#include "export/RunAndWait.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
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

// The environment variable that names the tool's progress descriptor.
const char* const kProgressFdVariable = "AV_PROGRESS_FD";

// Reads the tool's progress lines until it closes its end (it has ended) and passes each
// percentage on.
void ReadProgress(int fd, const std::function<void(int)>& onProgress)
{
    std::string pending;
    char chunk[256];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        pending.append(chunk, std::size_t(n));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.size() <= 3 && line.find_first_not_of("0123456789") == std::string::npos) {
                const int percent = std::atoi(line.c_str());
                if (percent <= 100)
                    onProgress(percent);
            }
        }
        if (pending.size() > 64)
            pending.clear();   // not a progress line: dropped
    }
}

// In the new process, between fork and exec: only async-signal-safe calls. A failure
// is written as its errno into the report pipe, which exec closes when it succeeds.
// A progress descriptor (-1 for none) is kept open across exec.
[[noreturn]] void StartTool(int programFd, char* const* argv, char* const* envp, int workingDirFd, int input,
                            int output, int errors, int report, int progress)
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
    if (failure == 0 && progress >= 0 && fcntl(progress, F_SETFD, 0) != 0)
        failure = errno;
    if (failure == 0) {
        fexecve(programFd, argv, envp);
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

RunResult RunAndWait(int programFd, const std::vector<std::string>& arguments, int workingDirFd,
                     const std::function<void(int percent)>& onProgress)
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
    base::UniqueFd progressRead, progressWrite;
    if (onProgress) {
        int progressPipe[2] = {-1, -1};
        if (pipe2(progressPipe, O_CLOEXEC) != 0) {
            result.message = std::strerror(errno);
            return result;
        }
        progressRead.Reset(progressPipe[0]);
        progressWrite.Reset(progressPipe[1]);
    }

    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // The environment as it is, with the progress descriptor named (in place of any
    // earlier naming), made before fork.
    const std::string progressEntry =
        std::string(kProgressFdVariable) + "=" + std::to_string(progressWrite.get());
    std::vector<char*> envp;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, kProgressFdVariable, std::strlen(kProgressFdVariable)) != 0 ||
            (*entry)[std::strlen(kProgressFdVariable)] != '=')
            envp.push_back(*entry);
    if (progressWrite)
        envp.push_back(const_cast<char*>(progressEntry.c_str()));
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) {
        result.message = std::strerror(errno);
        return result;
    }
    if (pid == 0)
        StartTool(programFd, argv.data(), envp.data(), workingDirFd, input.get(), output.get(), errorFile.get(),
                  reportWrite.get(), progressWrite.get());
    reportWrite.Reset();
    progressWrite.Reset();
    const int startFailure = ReadStartFailure(reportRead.get());
    if (startFailure == 0 && progressRead)
        ReadProgress(progressRead.get(), onProgress);
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
