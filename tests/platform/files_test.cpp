// The platform's file services: the temporary directory, the private work folder,
// resources and their atomic writing, and the INI reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/IniFile.h"
#include "platform/PrivateFolder.h"
#include "platform/Resources.h"
#include "platform/TempDirectory.h"
#include "support/Fixtures.h"

namespace {

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

}  // namespace

TEST(TempDirectory, PrefersRuntimeFolderThenTmpdirThenTmp)
{
    fixtures::ScratchDir scratch;
    const std::string file = scratch.file("plain-file");
    const std::string withSlash = scratch.path() + "/";
    fixtures::WriteFile(file, "x");
    struct Case {
        const char* xdg;
        const char* tmpdir;
        std::string expected;
    };
    const Case cases[] = {
        {scratch.path().c_str(), "/var/tmp", scratch.path() + "/"},
        {withSlash.c_str(), nullptr, scratch.path() + "/"},
        {nullptr, "/var/tmp", "/var/tmp/"},
        {"", "/var/tmp/", "/var/tmp/"},
        {"relative/dir", nullptr, "/tmp/"},
        {file.c_str(), "", "/tmp/"},               // names a file, not a folder
        {nullptr, nullptr, "/tmp/"},
        {"/does/not/exist/yet", nullptr, "/does/not/exist/yet/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " | " + (c.tmpdir ? c.tmpdir : "(unset)"));
        EXPECT_EQ(ChooseTempDirectory(c.xdg, c.tmpdir), c.expected);
    }
}

TEST(PrivateFolder, MakesMissingParentsPrivate)
{
    fixtures::ScratchDir scratch;
    const std::string folder = scratch.file("a/b/Quimbrel/");
    ASSERT_TRUE(MakePrivateFolder(folder));
    EXPECT_EQ(ModeOf(scratch.file("a/b/Quimbrel")), 0700u);
    EXPECT_EQ(ModeOf(scratch.file("a")), 0700u);
    // An existing private folder is reused as it is.
    fixtures::WriteFile(scratch.file("a/b/Quimbrel/keep"), "x");
    EXPECT_TRUE(MakePrivateFolder(folder));
    EXPECT_EQ(fixtures::ReadFile(scratch.file("a/b/Quimbrel/keep")), "x");
}

TEST(PrivateFolder, RefusesFoldersOthersCouldChange)
{
    fixtures::ScratchDir scratch;
    const std::string open = scratch.file("open");
    mkdir(open.c_str(), 0700);
    chmod(open.c_str(), 0777);
    EXPECT_FALSE(MakePrivateFolder(open));

    const std::string groupWritable = scratch.file("group");
    mkdir(groupWritable.c_str(), 0700);
    chmod(groupWritable.c_str(), 0770);
    EXPECT_FALSE(IsPrivateFolder(groupWritable));

    const std::string real = scratch.file("real");
    mkdir(real.c_str(), 0700);
    const std::string link = scratch.file("link");
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_TRUE(IsPrivateFolder(real));
    EXPECT_FALSE(MakePrivateFolder(link));
    EXPECT_FALSE(IsPrivateFolder(link + "/"));

    const std::string file = scratch.file("file");
    fixtures::WriteFile(file, "x");
    EXPECT_FALSE(MakePrivateFolder(file));
}

TEST(PrivateFolder, RefusesAFolderWhoseParentsOthersCouldRename)
{
    fixtures::ScratchDir scratch;
    const std::string shared = scratch.file("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 0700), 0);
    const std::string folder = shared + "/Quimbrel/";
    ASSERT_TRUE(MakePrivateFolder(folder));

    // Others may write into the parent: without the sticky bit they could rename the
    // work folder and put their own in its place.
    chmod(shared.c_str(), 0777);
    EXPECT_FALSE(IsPrivateFolder(folder));
    EXPECT_FALSE(OpenPrivateProgram(folder, "av"));
    chmod(shared.c_str(), 0770);
    EXPECT_FALSE(IsPrivateFolder(folder)) << "group-writable parent";
    // With the sticky bit only the owner of an entry may rename it, as in /tmp.
    chmod(shared.c_str(), 01777);
    EXPECT_TRUE(IsPrivateFolder(folder));
    chmod(shared.c_str(), 0700);

    // A folder higher up, too.
    chmod(scratch.path().c_str(), 0777);
    EXPECT_FALSE(IsPrivateFolder(folder));
    chmod(scratch.path().c_str(), 0700);
    EXPECT_TRUE(IsPrivateFolder(folder));

    // A link above the work folder is resolved; the folders it leads through are checked.
    const std::string link = scratch.file("via-link");
    ASSERT_EQ(symlink(shared.c_str(), link.c_str()), 0);
    EXPECT_TRUE(IsPrivateFolder(link + "/Quimbrel"));
    chmod(shared.c_str(), 0777);
    EXPECT_FALSE(IsPrivateFolder(link + "/Quimbrel"));
    chmod(shared.c_str(), 0700);
}

TEST(PrivateFolder, RefusesAParentOwnedByAnotherUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    fixtures::ScratchDir scratch;
    const std::string theirs = scratch.file("theirs");
    ASSERT_EQ(mkdir(theirs.c_str(), 0755), 0);
    const std::string folder = theirs + "/Quimbrel";
    ASSERT_TRUE(MakePrivateFolder(folder));
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chown(theirs.c_str(), kNobody, kNobody), 0);
    EXPECT_FALSE(IsPrivateFolder(folder)) << "its owner could rename the work folder";
}

TEST(PrivateFolder, OpensOnlyPrivatePrograms)
{
    fixtures::ScratchDir scratch;
    const std::string folder = scratch.file("work");
    ASSERT_TRUE(MakePrivateFolder(folder));
    const std::string tool = folder + "/av";
    fixtures::WriteFile(tool, "#!/bin/sh\n");
    chmod(tool.c_str(), 0700);
    const auto opened = OpenPrivateProgram(folder, "av");
    ASSERT_TRUE(opened);
    struct stat byName {}, byDescriptor {};
    stat(tool.c_str(), &byName);
    fstat(opened->program.get(), &byDescriptor);
    EXPECT_EQ(byName.st_ino, byDescriptor.st_ino);

    chmod(tool.c_str(), 0600);
    EXPECT_FALSE(OpenPrivateProgram(folder, "av")) << "no run bit";
    chmod(tool.c_str(), 0722);
    EXPECT_FALSE(OpenPrivateProgram(folder, "av")) << "writable by others";
    chmod(tool.c_str(), 0700);
    chmod(folder.c_str(), 0777);
    EXPECT_FALSE(OpenPrivateProgram(folder, "av")) << "in a folder others can change";
    chmod(folder.c_str(), 0700);
    symlink(tool.c_str(), (folder + "/link").c_str());
    EXPECT_FALSE(OpenPrivateProgram(folder, "link"));
    EXPECT_FALSE(OpenPrivateProgram(folder, "missing"));
    EXPECT_FALSE(OpenPrivateProgram(folder, "../work/av")) << "a name, never a path";
    // A work folder that is itself a link is never run from.
    const std::string linkedFolder = scratch.file("linked");
    symlink(folder.c_str(), linkedFolder.c_str());
    EXPECT_FALSE(OpenPrivateProgram(linkedFolder, "av"));
}

TEST(Resources, FoundWithoutRegardToCase)
{
    for (const auto& [type, name] : {std::pair{"exefile", "av"}, {"EXEFILE", "Av"}, {"ExeFile", "AV"}}) {
        const auto bytes = LoadResource(type, name);
        ASSERT_TRUE(bytes) << type << "/" << name;
        EXPECT_EQ(*bytes, QByteArray("#!/bin/sh\necho tool\n"));
    }
    EXPECT_FALSE(LoadResource("exefile", "cygwin1"));
    EXPECT_FALSE(LoadResource("bitmap", "av"));
}

TEST(Resources, ReplaceWritesWholeFileWithMode)
{
    fixtures::ScratchDir scratch;
    const std::string target = scratch.file("av");
    ASSERT_TRUE(ReplaceFileContents(target, "new bytes", 0700));
    EXPECT_EQ(fixtures::ReadFile(target), "new bytes");
    EXPECT_EQ(ModeOf(target), 0700u);
    ASSERT_TRUE(ReplaceFileContents(target, "newer", 0700));
    EXPECT_EQ(fixtures::ReadFile(target), "newer");
    // Only the file itself is left in the folder: no temporary names.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
}

TEST(Resources, ReplaceKeepsRunningCopyIntact)
{
    fixtures::ScratchDir scratch;
    const std::string target = scratch.file("av");
    ASSERT_TRUE(ReplaceFileContents(target, "first copy", 0700));
    // A process that has the old file open keeps reading the old bytes.
    const int fd = open(target.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(ReplaceFileContents(target, "second copy, longer", 0700));
    char buffer[64] = {};
    const ssize_t n = read(fd, buffer, sizeof buffer);
    close(fd);
    EXPECT_EQ(std::string(buffer, size_t(n)), "first copy");
    EXPECT_EQ(fixtures::ReadFile(target), "second copy, longer");
}

TEST(Resources, FailedReplaceKeepsEarlierFile)
{
    fixtures::ScratchDir scratch;
    EXPECT_FALSE(ReplaceFileContents(scratch.file("missing-folder/av"), "x", 0700));
    // A target that is a folder cannot be replaced by a file; nothing is left behind.
    const std::string folder = scratch.file("av");
    mkdir(folder.c_str(), 0700);
    EXPECT_FALSE(ReplaceFileContents(folder, "x", 0700));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
}

TEST(IniFile, PrivateProfileRules)
{
    fixtures::ScratchDir scratch;
    const std::string ini = scratch.file("config.ini");
    const std::string longValue(3000, 'x');
    struct Case {
        std::string content;
        std::string expected;
    };
    const Case cases[] = {
        {"[ApplicationInfo]\nHomepage=https://example.org/\n", "https://example.org/"},
        {"[applicationinfo]\r\nHOMEPAGE = https://a.example/ \r\n", "https://a.example/"},
        {"\xEF\xBB\xBF[ApplicationInfo]\nHomepage=bom\n", "bom"},
        {"  [ ApplicationInfo ]  \n  Homepage  =  spaced value  \n", "spaced value"},
        {"[ApplicationInfo]\nHomepage=\"quoted  \"\n", "quoted  "},
        {"[ApplicationInfo]\nHomepage=\n", ""},
        {"[ApplicationInfo]\n;Homepage=comment\nOther=1\n", "DEFAULT"},
        {"[Other]\nHomepage=wrong\n[ApplicationInfo]\nHomepage=right\n", "right"},
        {"[ApplicationInfo]\nHomepage=first\nHomepage=second\n", "first"},
        {"[ApplicationInfo]\nHomepage=a=b\n", "a=b"},
        {"[Other]\nHomepage=wrong\n", "DEFAULT"},
        {"[ApplicationInfo]\nHomepage=" + longValue + "\n", longValue.substr(0, 2047)},
        {"", "DEFAULT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 80));
        fixtures::WriteFile(ini, c.content);
        EXPECT_EQ(ReadProfileString(ini, "ApplicationInfo", "Homepage", "DEFAULT"), c.expected);
    }
    EXPECT_EQ(ReadProfileString(scratch.file("none.ini"), "ApplicationInfo", "Homepage", "DEFAULT"), "DEFAULT");
}
