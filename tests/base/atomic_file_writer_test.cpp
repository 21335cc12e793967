// Writing a file so that it is either the earlier file or the whole new one: with a
// file that has no name until it is complete, and with the named temporary file that
// stands in where the file system cannot make one.
#include "base/AtomicFileWriter.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Method = base::AtomicFileWriter::Method;

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

base::AtomicFileWriter::Options With(Method method, bool removeOnSignal = false)
{
    base::AtomicFileWriter::Options options;
    options.temporaryPrefix = ".test-";
    options.method = method;
    options.removeOnSignal = removeOnSignal;
    return options;
}

const char* NameOf(Method method) { return method == Method::Unnamed ? "Unnamed" : "NamedTemporary"; }

class AtomicFileWriterTest : public ::testing::TestWithParam<Method> {
protected:
    void SetUp() override { fixtures::WriteFile(target_, "the earlier file"); }
    fixtures::ScratchDir dir_;
    const std::string target_ = dir_.file("ring.mp3");
};

TEST_P(AtomicFileWriterTest, ReplacesTheTargetWithTheWholeFile)
{
    base::AtomicFileWriter writer(target_, With(GetParam()));
    ASSERT_EQ(writer.Open(), 0);
    ASSERT_EQ(writer.Write("the new ", 8), 0);
    ASSERT_EQ(writer.Write("file", 4), 0);
    EXPECT_EQ(fixtures::ReadFile(target_), "the earlier file");
    ASSERT_EQ(writer.Flush(0640), 0);
    ASSERT_EQ(writer.Replace(), 0);
    EXPECT_EQ(writer.fd(), -1);
    EXPECT_EQ(fixtures::ReadFile(target_), "the new file");
    EXPECT_EQ(ModeOf(target_), 0640u);
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
}

TEST_P(AtomicFileWriterTest, AFileNotPutInPlaceLeavesNothing)
{
    {
        base::AtomicFileWriter writer(target_, With(GetParam()));
        ASSERT_EQ(writer.Open(), 0);
        ASSERT_EQ(writer.Write("half", 4), 0);
        ASSERT_EQ(writer.Flush(0644), 0);
    }
    EXPECT_EQ(fixtures::ReadFile(target_), "the earlier file");
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
}

TEST_P(AtomicFileWriterTest, AFailedReplaceLeavesNothing)
{
    const std::string folder = dir_.file("folder.mp3");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    {
        base::AtomicFileWriter writer(folder, With(GetParam()));
        ASSERT_EQ(writer.Open(), 0);
        ASSERT_EQ(writer.Write("x", 1), 0);
        ASSERT_EQ(writer.Flush(0644), 0);
        EXPECT_EQ(writer.Replace(), EISDIR);
    }
    EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"folder.mp3", "ring.mp3"}));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_P(AtomicFileWriterTest, TellsWhyTheFolderCannotTakeTheFile)
{
    base::AtomicFileWriter missing(dir_.file("missing/ring.mp3"), With(GetParam()));
    EXPECT_EQ(missing.Open(), ENOENT);
    base::AtomicFileWriter throughFile(target_ + "/ring.mp3", With(GetParam()));
    EXPECT_EQ(throughFile.Open(), ENOTDIR);
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
}

INSTANTIATE_TEST_SUITE_P(Methods, AtomicFileWriterTest, ::testing::Values(Method::Unnamed, Method::NamedTemporary),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

// Until it is complete, the new file has no name at all: a kill at any moment before
// leaves nothing in the folder.
TEST(AtomicFileWriter, TheUnnamedFileHasNoNameUntilItReplacesTheTarget)
{
    fixtures::ScratchDir dir;
    base::AtomicFileWriter writer(dir.file("av"));
    ASSERT_EQ(writer.Open(), 0);
    ASSERT_EQ(writer.Write("tool", 4), 0);
    ASSERT_EQ(writer.Flush(0700), 0);
    EXPECT_TRUE(writer.temporaryPath().empty());
    EXPECT_TRUE(fs::is_empty(dir.path()));
    ASSERT_EQ(writer.Replace(), 0);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"av"});
    EXPECT_EQ(ModeOf(dir.file("av")), 0700u);
}

TEST(AtomicFileWriter, TheNamedTemporaryFileIsHiddenBesideTheTarget)
{
    fixtures::ScratchDir dir;
    base::AtomicFileWriter writer(dir.file("ring.mp3"), With(Method::NamedTemporary));
    ASSERT_EQ(writer.Open(), 0);
    const std::vector<std::string> entries = FolderEntries(dir.path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].rfind(".test-", 0), 0u) << entries[0];
    EXPECT_EQ(writer.temporaryPath(), dir.file(entries[0]));

    // Without a prefix of its own, the name is the target's, hidden.
    base::AtomicFileWriter::Options options;
    options.method = Method::NamedTemporary;
    base::AtomicFileWriter byDefault(dir.file("av"), options);
    ASSERT_EQ(byDefault.Open(), 0);
    EXPECT_EQ(fs::path(byDefault.temporaryPath()).filename().string().rfind(".av-", 0), 0u)
        << byDefault.temporaryPath();
}

TEST(AtomicFileWriter, FolderOfAPath)
{
    EXPECT_EQ(base::FolderOf("ring.mp3"), ".");
    EXPECT_EQ(base::FolderOf("/ring.mp3"), "/");
    EXPECT_EQ(base::FolderOf("a/b/ring.mp3"), "a/b");
    EXPECT_EQ(base::FolderOf("/a b/ring.mp3"), "/a b");
}

// --- a signal that ends the program midway ----------------------------------------------

struct SignalCase {
    Method method;
    int signalNumber;
};

std::ostream& operator<<(std::ostream& out, const SignalCase& c)
{
    return out << NameOf(c.method) << " " << strsignal(c.signalNumber);
}

class SignalTest : public ::testing::TestWithParam<SignalCase> {};

// A child process writes the file, with or without a name, and is stopped by the
// signal while doing so: the folder holds the earlier target and nothing else.
TEST_P(SignalTest, LeavesOnlyTheEarlierTarget)
{
    const SignalCase& c = GetParam();
    fixtures::ScratchDir dir;
    const std::string target = dir.file("ring.mp3");
    fixtures::WriteFile(target, "the earlier file");
    // No core file from SIGQUIT, SIGXCPU or SIGABRT in the test's folder.
    struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        base::AtomicFileWriter writer(target, With(c.method, true));
        if (writer.Open() != 0 || writer.Write("half", 4) != 0)
            _exit(2);
        const char byte = writer.temporaryPath().empty() ? 'u' : 'n';
        if (write(ready[1], &byte, 1) != 1)
            _exit(3);
        for (;;)
            pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    EXPECT_EQ(byte, c.method == Method::Unnamed ? 'u' : 'n');
    if (c.method == Method::NamedTemporary) {
        EXPECT_EQ(FolderEntries(dir.path()).size(), 2u);
    }

    kill(child, c.signalNumber);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), c.signalNumber);
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"ring.mp3"});
    EXPECT_EQ(fixtures::ReadFile(target), "the earlier file");
}

std::vector<SignalCase> SignalCases()
{
    std::vector<SignalCase> cases;
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXCPU, SIGXFSZ, SIGALRM, SIGUSR1, SIGUSR2,
                             SIGABRT})
        cases.push_back({Method::NamedTemporary, signalNumber});
    for (int signalNumber : {SIGKILL, SIGQUIT})
        cases.push_back({Method::Unnamed, signalNumber});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalTest, ::testing::ValuesIn(SignalCases()), [](const auto& info) {
    return std::string(NameOf(info.param.method)) + "_" + sigabbrev_np(info.param.signalNumber);
});

}  // namespace
