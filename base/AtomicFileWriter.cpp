#include "base/AtomicFileWriter.h"

#include "base/RemoveOnSignal.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <stdlib.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace base {

namespace {

constexpr int kNameAttempts = 100;

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Six letters or digits for a temporary name, from the kernel's random source (or
// the clock and the process id where that is not available).
std::string RandomSuffix()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    constexpr std::size_t kLength = 6;
    unsigned char bytes[kLength];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<unsigned long long>(getpid()) << 32);
        for (unsigned char& b : bytes) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string suffix;
    for (unsigned char b : bytes)
        suffix += kLetters[b % (sizeof kLetters - 1)];
    return suffix;
}

// Whether open(O_TMPFILE) failed because the file system (or kernel) cannot do it,
// rather than because of the folder.
bool LacksUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

}  // namespace

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

AtomicFileWriter::AtomicFileWriter(std::string target) : AtomicFileWriter(std::move(target), Options{}) {}

AtomicFileWriter::AtomicFileWriter(std::string target, Options options)
    : target_(std::move(target)), folder_(FolderOf(target_)), options_(std::move(options))
{
    if (options_.temporaryPrefix.empty())
        options_.temporaryPrefix = "." + FileNameOf(target_) + "-";
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Discard()
{
    fd_.Reset();
    if (!replaced_ && !temporary_.empty()) {
        unlink(temporary_.c_str());
        if (options_.removeOnSignal)
            KeepOnSignal();
        temporary_.clear();
    }
}

int AtomicFileWriter::Open()
{
    if (options_.method == Method::Unnamed) {
        const int error = OpenUnnamed();
        if (!LacksUnnamedFiles(error))
            return error;
    }
    return OpenNamed();
}

int AtomicFileWriter::OpenUnnamed()
{
    fd_.Reset(open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
    return fd_ ? 0 : errno;
}

int AtomicFileWriter::OpenNamed()
{
    std::string pattern = folder_ + "/" + options_.temporaryPrefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    std::optional<EndingSignalsHeld> held;
    if (options_.removeOnSignal)
        held.emplace();
    fd_.Reset(mkostemp(name.data(), O_CLOEXEC));
    if (!fd_)
        return errno;
    temporary_ = name.data();
    if (options_.removeOnSignal)
        RemoveOnSignal(temporary_);
    return 0;
}

int AtomicFileWriter::Write(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd_.get(), bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

int AtomicFileWriter::Flush(mode_t mode)
{
    if (fchmod(fd_.get(), mode) != 0 || (options_.syncToDisk && fsync(fd_.get()) != 0))
        return errno;
    return 0;
}

// Gives the unnamed file a hidden name beside the target. linkat with AT_EMPTY_PATH
// needs a capability on older kernels; the link through /proc/self/fd does not.
int AtomicFileWriter::NameUnnamed()
{
    const std::string descriptor = "/proc/self/fd/" + std::to_string(fd_.get());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = folder_ + "/" + options_.temporaryPrefix + RandomSuffix();
        std::optional<EndingSignalsHeld> held;
        if (options_.removeOnSignal)
            held.emplace();
        int rc = linkat(fd_.get(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
        if (rc != 0 && (errno == ENOENT || errno == EPERM))
            rc = linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        if (rc == 0) {
            temporary_ = name;
            if (options_.removeOnSignal)
                RemoveOnSignal(temporary_);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int AtomicFileWriter::Replace()
{
    if (temporary_.empty()) {
        const int error = NameUnnamed();
        if (error != 0)
            return error;
    } else {
        // A named file is closed first: a file system that writes on close tells its
        // failure here, while the target is still untouched.
        if (close(fd_.Release()) != 0)
            return errno;
    }
    if (rename(temporary_.c_str(), target_.c_str()) != 0)
        return errno;
    replaced_ = true;
    if (options_.removeOnSignal)
        KeepOnSignal();
    temporary_.clear();
    fd_.Reset();
    return 0;
}

}  // namespace base
