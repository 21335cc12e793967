// Writing the encoder tool into the work folder when the writing process dies midway:
// the folder keeps the earlier copy and no temporary file.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Resources.h"
#include "support/Fixtures.h"

// A child process writes a copy larger than its file-size limit allows, and is killed
// by SIGXFSZ in the middle of the write, as a kill at start-up would stop the window.
TEST(Resources, AWriteKilledMidwayLeavesOnlyTheEarlierCopy)
{
    fixtures::ScratchDir scratch;
    const std::string target = scratch.file("av");
    ASSERT_TRUE(ReplaceFileContents(target, "the earlier copy", 0700));
    const QByteArray bytes(256 * 1024, 'x');

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limits = {64 * 1024, 64 * 1024};
        struct rlimit noCore = {0, 0};
        signal(SIGXFSZ, SIG_DFL);
        if (setrlimit(RLIMIT_FSIZE, &limits) != 0 || setrlimit(RLIMIT_CORE, &noCore) != 0)
            _exit(2);
        ReplaceFileContents(target, bytes, 0700);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(fixtures::ReadFile(target), "the earlier copy");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
}
