#include "support/Fixtures.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>

extern char** environ;

namespace fixtures {

ScratchDir::ScratchDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tallowick-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("cannot make a scratch folder");
    path_ = buffer.data();
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

// Reads both pipes until the child closes them, so that neither can fill up and block it.
void DrainPipes(int outFd, int errFd, ToolResult& result)
{
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    int open = 2;
    char chunk[4096];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                (i == 0 ? result.standardOutput : result.standardError).append(chunk, size_t(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& argv)
{
    ToolResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);

    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        result.standardError = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        return result;
    }
    DrainPipes(outPipe[0], errPipe[0], result);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

bool Ffmpeg(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-hide_banner", "-loglevel", "error"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv).exitCode == 0;
}

bool MakeTone(const std::string& target, double seconds, int sampleRate, int channels,
              const std::vector<std::string>& encoderArgs)
{
    // ffmpeg reads a duration of 0 as "without end".
    if (seconds <= 0)
        return false;
    std::vector<std::string> args = {
        "-f", "lavfi", "-i",
        "sine=frequency=440:sample_rate=" + std::to_string(sampleRate) + ":duration=" + std::to_string(seconds),
        "-ac", std::to_string(channels)};
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    args.push_back(target);
    return Ffmpeg(args);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<std::int64_t> AudioPacketPositions(const std::string& path)
{
    const ToolResult probe = RunTool({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "packet=pos",
                                      "-of", "csv=p=0", path});
    std::vector<std::int64_t> positions;
    std::istringstream lines(probe.standardOutput);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] >= '0' && line[0] <= '9')  // side data comes on lines of its own
            positions.push_back(std::stoll(line));
    return positions;
}

}  // namespace fixtures
