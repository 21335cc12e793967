// Telling whether two paths name one file, and whether a file is write-protected.
#include "base/FileIdentity.h"
#include "base/WriteProtection.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileIdentityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fixtures::WriteFile(song_, "a song");
        fixtures::WriteFile(other_, "a song");   // same bytes, another file
        ASSERT_EQ(mkdir(dir_.file("sub").c_str(), 0700), 0);
        ASSERT_EQ(link(song_.c_str(), dir_.file("sub/hard.mp3").c_str()), 0);
        ASSERT_EQ(symlink(song_.c_str(), dir_.file("soft.mp3").c_str()), 0);
        ASSERT_EQ(symlink("soft.mp3", dir_.file("soft-to-soft.mp3").c_str()), 0);
        ASSERT_EQ(symlink("loop", dir_.file("loop").c_str()), 0);
    }
    fixtures::ScratchDir dir_;
    const std::string song_ = dir_.file("song.mp3");
    const std::string other_ = dir_.file("other.mp3");
};

TEST_F(FileIdentityTest, EverySpellingOfOneFileIsTheSameFile)
{
    const std::string spellings[] = {song_,
                                     dir_.path() + "/./song.mp3",
                                     dir_.path() + "/sub/../song.mp3",
                                     dir_.path() + "//song.mp3",
                                     dir_.file("sub/hard.mp3"),
                                     dir_.file("soft.mp3"),
                                     dir_.file("soft-to-soft.mp3")};
    for (const std::string& a : spellings) {
        for (const std::string& b : spellings)
            EXPECT_TRUE(base::IsSameFile(a, b)) << a << " and " << b;
    }
}

TEST_F(FileIdentityTest, OtherAndMissingFilesAreNot)
{
    EXPECT_FALSE(base::IsSameFile(song_, other_));
    EXPECT_FALSE(base::IsSameFile(song_, dir_.path()));
    EXPECT_FALSE(base::IsSameFile(song_, dir_.file("missing.mp3")));
    EXPECT_FALSE(base::IsSameFile(dir_.file("missing.mp3"), dir_.file("missing.mp3")));
    EXPECT_FALSE(base::IsSameFile(dir_.file("loop"), dir_.file("loop")));

    // Relative to the current folder, "song.mp3" and "./song.mp3" are one file.
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    const bool same = base::IsSameFile("song.mp3", "./song.mp3");
    const bool sameAsAbsolute = base::IsSameFile("sub/hard.mp3", song_);
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(same);
    EXPECT_TRUE(sameAsAbsolute);
}

struct ProtectionCase {
    const char* name;
    mode_t mode;
    bool otherOwner;   // owned by another user (and group), so the others' bit counts
    bool writeProtected;
};

std::ostream& operator<<(std::ostream& out, const ProtectionCase& c) { return out << c.name; }

class WriteProtectionTest : public ::testing::TestWithParam<ProtectionCase> {};

TEST_P(WriteProtectionTest, DecidedFromTheModeBits)
{
    const ProtectionCase& c = GetParam();
    fixtures::ScratchDir dir;
    const std::string file = dir.file("ring.mp3");
    fixtures::WriteFile(file, "ring");
    if (c.otherOwner && chown(file.c_str(), 65534, 65534) != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    ASSERT_EQ(chmod(file.c_str(), c.mode), 0);
    EXPECT_EQ(base::IsWriteProtected(file), c.writeProtected);
    // Through a symbolic link it is the file's own mode that counts.
    const std::string link = dir.file("link.mp3");
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);
    EXPECT_EQ(base::IsWriteProtected(link), c.writeProtected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WriteProtectionTest,
    ::testing::Values(ProtectionCase{"Own0444", 0444, false, true}, ProtectionCase{"Own0400", 0400, false, true},
                      ProtectionCase{"Own0466", 0466, false, true}, ProtectionCase{"Own0644", 0644, false, false},
                      ProtectionCase{"Own0200", 0200, false, false}, ProtectionCase{"Other0664", 0664, true, true},
                      ProtectionCase{"Other0646", 0646, true, false}, ProtectionCase{"Other0444", 0444, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteProtection, MissingFileAndWritableFolder)
{
    fixtures::ScratchDir dir;
    EXPECT_FALSE(base::IsWriteProtected(dir.file("missing.mp3")));
    EXPECT_FALSE(base::IsWriteProtected(dir.path()));
}

}  // namespace
