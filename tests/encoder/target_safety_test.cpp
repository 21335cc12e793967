// What av does to the target and its folder: it never replaces the source or a
// write-protected file, and no failure, kill or file-size limit leaves a temporary file
// or a changed target behind.
#include "support/AvRun.h"
#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using avrun::AmrLine;
using avrun::FolderEntries;
using avrun::Mp3Line;
using avrun::RunAv;

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

void ExpectOneLine(const fixtures::ToolResult& r, const std::string& wanted)
{
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.standardError, wanted + "\n");
    EXPECT_TRUE(r.standardOutput.empty());
}

// --- the source as target ----------------------------------------------------------------

class SourceAsTargetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(mkdir(dir_.file("sub").c_str(), 0755), 0);
        ASSERT_TRUE(fixtures::MakeTone(song_, 2, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}));
        ASSERT_EQ(link(song_.c_str(), dir_.file("sub/hard.mp3").c_str()), 0);
        ASSERT_EQ(symlink(song_.c_str(), dir_.file("soft.mp3").c_str()), 0);
        ASSERT_EQ(symlink("../soft.mp3", dir_.file("sub/soft-to-soft.mp3").c_str()), 0);
        bytes_ = fixtures::ReadFile(song_);
        entries_ = FolderEntries(dir_.path());
    }

    void ExpectRefused(const std::string& source, const std::string& target)
    {
        SCOPED_TRACE(source + " -> " + target);
        ExpectOneLine(RunAv(Mp3Line(source, "00:00:00", "00:00:01", target)),
                      "The ringtone cannot replace the file it is cut from.");
        ExpectOneLine(RunAv(AmrLine(source, "00:00:00", "00:00:01", target)),
                      "The ringtone cannot replace the file it is cut from.");
        EXPECT_EQ(fixtures::ReadFile(song_), bytes_);
        EXPECT_EQ(FolderEntries(dir_.path()), entries_);
        EXPECT_TRUE(fs::is_symlink(dir_.file("soft.mp3")));
    }

    fixtures::ScratchDir dir_;
    const std::string song_ = dir_.file("song.mp3");
    std::string bytes_;
    std::vector<std::string> entries_;
};

TEST_F(SourceAsTargetTest, EverySpellingOfTheSourceIsRefused)
{
    const std::vector<std::string> targets = {song_,
                                              dir_.path() + "/./song.mp3",
                                              dir_.path() + "/sub/../song.mp3",
                                              dir_.path() + "//song.mp3",
                                              dir_.file("sub/hard.mp3"),
                                              dir_.file("soft.mp3"),
                                              dir_.file("sub/soft-to-soft.mp3")};
    for (const std::string& target : targets)
        ExpectRefused(song_, target);
    // The source reached through a link, the target by its own name.
    ExpectRefused(dir_.file("sub/soft-to-soft.mp3"), song_);
    ExpectRefused(dir_.file("sub/hard.mp3"), song_);
}

TEST_F(SourceAsTargetTest, RelativeSpellingsAreRefused)
{
    const fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    ExpectRefused("song.mp3", "song.mp3");
    ExpectRefused("song.mp3", "./song.mp3");
    ExpectRefused("./sub/../song.mp3", "sub/hard.mp3");
    fs::current_path(previous);
}

TEST_F(SourceAsTargetTest, AnotherTargetBesideTheSourceIsWritten)
{
    const std::string target = dir_.file("sub/ring.mp3");
    const fixtures::ToolResult r = RunAv(Mp3Line(song_, "00:00:00", "00:00:01", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_FALSE(avrun::DecodeToSamples(target).empty());
    EXPECT_EQ(fixtures::ReadFile(song_), bytes_);
}

// --- a write-protected target ------------------------------------------------------------

class WriteProtectedTargetTest : public ::testing::TestWithParam<mode_t> {
protected:
    void SetUp() override { ASSERT_TRUE(fixtures::MakeTone(source_, 2, 22050, 1)); }
    fixtures::ScratchDir dir_;
    const std::string source_ = dir_.file("tone.wav");
};

// Tests run as root, for whom access() allows every write: the mode bits decide.
TEST_P(WriteProtectedTargetTest, IsRefusedAndKept)
{
    const mode_t mode = GetParam();
    for (const char* name : {"ring.mp3", "ring.amr"}) {
        const std::string target = dir_.file(name);
        fixtures::WriteFile(target, "a protected ringtone");
        ASSERT_EQ(chmod(target.c_str(), mode), 0);
        const bool amr = std::string(name) == "ring.amr";
        ExpectOneLine(RunAv(amr ? AmrLine(source_, "00:00:00", "00:00:01", target)
                                : Mp3Line(source_, "00:00:00", "00:00:01", target)),
                      "The file \"" + target + "\" is write-protected.");
        EXPECT_EQ(fixtures::ReadFile(target), "a protected ringtone");
        EXPECT_EQ(ModeOf(target), mode);
    }
    EXPECT_EQ(FolderEntries(dir_.path()), (std::vector<std::string>{"ring.amr", "ring.mp3", "tone.wav"}));

    // The path is told as it was given.
    const fs::path previous = fs::current_path();
    fs::current_path(dir_.path());
    const fixtures::ToolResult r = RunAv(Mp3Line("tone.wav", "00:00:00", "00:00:01", "./ring.mp3"));
    fs::current_path(previous);
    ExpectOneLine(r, "The file \"./ring.mp3\" is write-protected.");
}

INSTANTIATE_TEST_SUITE_P(Modes, WriteProtectedTargetTest, ::testing::Values(0444, 0400, 0555, 0466),
                         [](const auto& info) { return "Mode0" + std::to_string(info.param / 64) +
                                                       std::to_string(info.param / 8 % 8) +
                                                       std::to_string(info.param % 8); });

// --- stopped midway ------------------------------------------------------------------------

// A WAV file of silence that lasts an hour, made in no time: its samples are a hole in
// the file that reads as zeros.
void MakeLongSilence(const std::string& path)
{
    constexpr std::uint32_t kRate = 48000, kChannels = 2, kSeconds = 3600;
    const std::uint32_t dataBytes = kRate * kChannels * 2 * kSeconds;
    fixtures::WriteFile(path, avrun::WavHeader(1, 16, kRate, kChannels, dataBytes));
    fs::resize_file(path, 44 + std::uint64_t(dataBytes));
}

// Starts av without waiting for it; its output goes nowhere.
pid_t StartAv(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {AV_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv)
        pointers.push_back(a.data());
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Whether the process holds a file of the folder open for writing: the target file
// being written, named or not (its link then reads "folder/#inode (deleted)").
bool IsWritingInto(pid_t pid, const std::string& folder)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fds, error)) {
        const std::string link = fs::read_symlink(entry.path(), error).string();
        if (!error && link.rfind(folder + "/", 0) == 0)
            return true;
    }
    return false;
}

struct KillCase {
    int signalNumber;
    bool amr;
};

std::ostream& operator<<(std::ostream& out, const KillCase& c)
{
    return out << sigabbrev_np(c.signalNumber) << (c.amr ? " AMR" : " MP3");
}

class KilledExportTest : public ::testing::TestWithParam<KillCase> {
protected:
    static void SetUpTestSuite()
    {
        sources_ = new fixtures::ScratchDir;
        MakeLongSilence(sources_->file("hour.wav"));
        // No core file from SIGQUIT in the test's folder.
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
    }
    static void TearDownTestSuite()
    {
        delete sources_;
        sources_ = nullptr;
    }
    static fixtures::ScratchDir* sources_;
};
fixtures::ScratchDir* KilledExportTest::sources_ = nullptr;

// The export is killed while it writes the target: the folder holds the earlier target,
// unchanged, and nothing else.
TEST_P(KilledExportTest, LeavesTheFolderAsItWas)
{
    const KillCase& c = GetParam();
    fixtures::ScratchDir targets;
    const std::string target = targets.file(c.amr ? "ring.amr" : "ring.mp3");
    fixtures::WriteFile(target, "an older ringtone");
    const std::string source = sources_->file("hour.wav");
    const pid_t pid = StartAv(c.amr ? AmrLine(source, "00:00:00", "01:00:00", target)
                                    : Mp3Line(source, "00:00:00", "01:00:00", target));
    ASSERT_GT(pid, 0);
    // A generous bound that only catches a tool that never starts writing.
    const std::string folder = fs::canonical(targets.path()).string();
    bool writing = false;
    for (int i = 0; i < 60000 && !writing; ++i) {
        writing = IsWritingInto(pid, folder);
        if (!writing)
            usleep(1000);
    }
    kill(pid, c.signalNumber);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(writing);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the export ended before it was stopped";
    EXPECT_EQ(WTERMSIG(status), c.signalNumber);
    EXPECT_EQ(FolderEntries(targets.path()), std::vector<std::string>{fs::path(target).filename().string()});
    EXPECT_EQ(fixtures::ReadFile(target), "an older ringtone");
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledExportTest,
                         ::testing::Values(KillCase{SIGKILL, false}, KillCase{SIGKILL, true}, KillCase{SIGQUIT, false},
                                           KillCase{SIGPIPE, false}, KillCase{SIGXCPU, true}),
                         [](const auto& info) {
                             return std::string(sigabbrev_np(info.param.signalNumber)) + (info.param.amr ? "Amr" : "Mp3");
                         });

// --- a file-size limit -----------------------------------------------------------------------

// Under `ulimit -f 4` (2 KiB) the ringtone cannot be written: that is told, and the
// earlier target stays.
TEST(FileSizeLimit, IsToldAndLeavesTheTarget)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(source, 4, 22050, 1));
    for (bool amr : {false, true}) {
        SCOPED_TRACE(amr ? "AMR" : "MP3");
        const std::string target = dir.file(amr ? "ring.amr" : "ring.mp3");
        fixtures::WriteFile(target, "an older ringtone");
        std::vector<std::string> argv = {"sh", "-c", "ulimit -f 4 && exec \"$0\" \"$@\"", AV_TOOL_PATH};
        const std::vector<std::string> line = amr ? AmrLine(source, "00:00:00", "00:00:04", target)
                                                  : Mp3Line(source, "00:00:00", "00:00:04", target);
        argv.insert(argv.end(), line.begin(), line.end());
        ExpectOneLine(fixtures::RunTool(argv), "The file is too large for this file system.");
        EXPECT_EQ(fixtures::ReadFile(target), "an older ringtone");
    }
    EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"ring.amr", "ring.mp3", "tone.wav"}));
}

// --- the target file writer ------------------------------------------------------------------

struct WriterCase {
    av::TargetFile::Method method;
    bool named;
};

class TargetFileTest : public ::testing::TestWithParam<WriterCase> {
protected:
    void SetUp() override
    {
        fixtures::WriteFile(target_, "an older ringtone");
        ASSERT_EQ(chmod(target_.c_str(), 0640), 0);
    }
    fixtures::ScratchDir dir_;
    const std::string target_ = dir_.file("ring.mp3");
};

TEST_P(TargetFileTest, CommitReplacesTheTargetAndKeepsItsPermissions)
{
    av::TargetFile file(target_, GetParam().method);
    EXPECT_EQ(!file.temporaryPath().empty(), GetParam().named);
    ASSERT_EQ(write(file.fd(), "new", 3), 3);
    if (GetParam().named) {
        // The stand-in for a file system without unnamed files: a hidden ".av-" file.
        EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), fs::path(dir_.path()));
        EXPECT_EQ(fs::path(file.temporaryPath()).filename().string().rfind(".av-", 0), 0u);
        EXPECT_EQ(FolderEntries(dir_.path()).size(), 2u);
    } else {
        EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
    }
    file.Commit();
    EXPECT_EQ(fixtures::ReadFile(target_), "new");
    EXPECT_EQ(ModeOf(target_), 0640u);
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
}

TEST_P(TargetFileTest, AFileNotCommittedLeavesNothing)
{
    {
        av::TargetFile file(target_, GetParam().method);
        ASSERT_EQ(write(file.fd(), "new", 3), 3);
    }
    EXPECT_EQ(fixtures::ReadFile(target_), "an older ringtone");
    EXPECT_EQ(FolderEntries(dir_.path()), std::vector<std::string>{"ring.mp3"});
}

TEST_P(TargetFileTest, FailuresAreToldInTheUsersTerms)
{
    av::TargetFile file(target_, GetParam().method);
    EXPECT_EQ(file.WriteFailure(EFBIG), "The file is too large for this file system.");
    EXPECT_EQ(file.WriteFailure(ENOSPC), "The disk is full");
    EXPECT_EQ(file.WriteFailure(EIO), "Cannot write the target file \"" + target_ + "\": Input/output error");
    try {
        av::TargetFile missing(dir_.file("missing/ring.mp3"), GetParam().method);
        FAIL() << "no folder, yet a target file";
    } catch (const av::ToolError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot write to the folder \"" + dir_.file("missing") + "\": No such file or directory");
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, TargetFileTest,
                         ::testing::Values(WriterCase{av::TargetFile::Method::Unnamed, false},
                                           WriterCase{av::TargetFile::Method::NamedTemporary, true}),
                         [](const auto& info) { return std::string(info.param.named ? "Named" : "Unnamed"); });

}  // namespace
