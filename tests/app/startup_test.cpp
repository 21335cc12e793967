// Start-up: the work folder, the encoder tool written into it, config.ini, and the
// window's creation, show and close handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "app/appDefine.h"
#include "app/mainunit.h"
#include "strip/WaveRender.h"
#include "support/Fixtures.h"

namespace {

// Points the temporary directory at a scratch folder for one test.
class ScopedRuntimeDir {
public:
    explicit ScopedRuntimeDir(const std::string& path) : old_(std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "")
    {
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~ScopedRuntimeDir()
    {
        if (old_.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    }

private:
    std::string old_;
};

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

std::string ConfigPath()
{
    return (QCoreApplication::applicationDirPath() + "/config.ini").toStdString();
}

class StartupTest : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(ConfigPath()); }
    fixtures::ScratchDir scratch;
};

}  // namespace

TEST_F(StartupTest, WritesTheEncoderToolIntoAPrivateWorkFolder)
{
    const std::string runtime = scratch.file("missing/runtime");
    ScopedRuntimeDir env(runtime);
    TMainForm form;
    EXPECT_EQ(WorkDir.toStdString(), runtime + "/Quimbrel/");
    EXPECT_TRUE(WorkDirTrusted);
    EXPECT_EQ(ModeOf(runtime + "/Quimbrel"), 0700u);
    const std::string tool = runtime + "/Quimbrel/av";
    EXPECT_EQ(ModeOf(tool), 0700u);
    // The written tool is the real encoder: it answers a bad command line with a message.
    const auto run = fixtures::RunTool({tool, "-zz", "1", "out.mp3"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.standardError.find("-zz"), std::string::npos) << run.standardError;
    EXPECT_FALSE(IsConverting);
}

TEST_F(StartupTest, RewritesTheToolAtEveryStart)
{
    ScopedRuntimeDir env(scratch.path());
    const std::string tool = scratch.file("Quimbrel/av");
    { TMainForm first; }
    const std::string original = fixtures::ReadFile(tool);
    fixtures::WriteFile(tool, "damaged");
    { TMainForm second; }
    EXPECT_EQ(fixtures::ReadFile(tool), original);
}

TEST_F(StartupTest, KeepsItsOwnUnchangedToolAndReplacesAnyOther)
{
    ScopedRuntimeDir env(scratch.path());
    const std::string tool = scratch.file("Quimbrel/av");
    { TMainForm first; }
    const std::string original = fixtures::ReadFile(tool);
    ASSERT_FALSE(original.empty());
    const auto inodeOf = [](const std::string& path) {
        struct stat info {};
        lstat(path.c_str(), &info);
        return info.st_ino;
    };
    fixtures::ScratchDir elsewhere;
    struct Case {
        const char* name;
        std::function<void()> change;  // done to the tool before the next start
        bool replaced;
    };
    const Case cases[] = {
        {"unchanged", [] {}, false},
        {"another mode", [&] { chmod(tool.c_str(), 0755); }, true},
        {"a byte more", [&] { fixtures::WriteFile(tool, original + "x"); chmod(tool.c_str(), 0700); }, true},
        {"a byte changed",
         [&] {
             std::string changed = original;
             changed[changed.size() / 2] = char(changed[changed.size() / 2] ^ 1);
             fixtures::WriteFile(tool, changed);
             chmod(tool.c_str(), 0700);
         },
         true},
        {"a second name", [&] { link(tool.c_str(), elsewhere.file("av").c_str()); }, true},
        {"a link to a copy",
         [&] {
             fixtures::WriteFile(elsewhere.file("copy"), original);
             chmod(elsewhere.file("copy").c_str(), 0700);
             std::filesystem::remove(tool);
             symlink(elsewhere.file("copy").c_str(), tool.c_str());
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case starts from the tool as a start leaves it.
        { TMainForm again; }
        const auto before = inodeOf(tool);
        c.change();
        { TMainForm next; }
        if (!c.replaced) {
            EXPECT_EQ(inodeOf(tool), before);
        }
        struct stat info {};
        ASSERT_EQ(lstat(tool.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        EXPECT_EQ(info.st_mode & 07777, 0700u);
        EXPECT_EQ(info.st_nlink, 1u);
        EXPECT_EQ(fixtures::ReadFile(tool), original);
    }
}

TEST_F(StartupTest, NeverWritesIntoAFolderOthersCouldChange)
{
    ScopedRuntimeDir env(scratch.path());
    const std::string folder = scratch.file("Quimbrel");
    mkdir(folder.c_str(), 0700);
    chmod(folder.c_str(), 0777);
    TMainForm form;
    EXPECT_FALSE(WorkDirTrusted);
    EXPECT_FALSE(std::filesystem::exists(folder + "/av"));

    // A work folder that is a link to somewhere else is not used either.
    fixtures::ScratchDir other;
    const std::string elsewhere = other.file("target");
    mkdir(elsewhere.c_str(), 0700);
    fixtures::ScratchDir runtime;
    symlink(elsewhere.c_str(), runtime.file("Quimbrel").c_str());
    ScopedRuntimeDir env2(runtime.path());
    TMainForm linked;
    EXPECT_FALSE(WorkDirTrusted);
    EXPECT_FALSE(std::filesystem::exists(elsewhere + "/av"));
}

TEST_F(StartupTest, HomepageFromConfigIni)
{
    ScopedRuntimeDir env(scratch.path());
    struct Case {
        const char* content;   // null: no config.ini
        QString expected;
    };
    const Case cases[] = {
        {nullptr, kDefaultHomepage},
        {"[ApplicationInfo]\nHomepage=https://ring.example/\n", "https://ring.example/"},
        {"[ApplicationInfo]\nHomepage=\n", ""},
        {"[Other]\nHomepage=https://wrong.example/\n", kDefaultHomepage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content ? c.content : "(no config.ini)");
        std::filesystem::remove(ConfigPath());
        if (c.content)
            fixtures::WriteFile(ConfigPath(), c.content);
        TMainForm form;
        EXPECT_EQ(AppInfo.Homepage, c.expected);
    }
}

TEST_F(StartupTest, FirstShowReadsConfigAgainAndCentres)
{
    ScopedRuntimeDir env(scratch.path());
    std::filesystem::remove(ConfigPath());
    TMainForm form;
    EXPECT_EQ(AppInfo.Homepage, kDefaultHomepage);
    fixtures::WriteFile(ConfigPath(), "[ApplicationInfo]\nHomepage=https://later.example/\n");
    form.show();
    EXPECT_EQ(AppInfo.Homepage, "https://later.example/");
    EXPECT_EQ(form.size(), QSize(598, 422));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowTitle(), "Tallowick");
    // Showing again after hiding (as a restore does) reads nothing.
    fixtures::WriteFile(ConfigPath(), "[ApplicationInfo]\nHomepage=https://third.example/\n");
    form.hide();
    form.show();
    EXPECT_EQ(AppInfo.Homepage, "https://later.example/");
}

TEST_F(StartupTest, StripRendererLivesFromCreateToClose)
{
    ScopedRuntimeDir env(scratch.path());
    TMainForm form;
    ASSERT_TRUE(form.FRender);
    EXPECT_EQ(form.FRender->CursorPos(), 20);
    // The strip is drawn by its control, which is as large as the strip.
    EXPECT_EQ(form.imgWave->Strip(), form.FRender.get());
    EXPECT_EQ(form.FRender->StripWidth(), 276);
    EXPECT_EQ(form.FRender->StripHeight(), 152);
    EXPECT_EQ(form.imgWave->size(), QSize(276, 152));
    form.show();
    form.close();
    EXPECT_FALSE(form.FRender);
    EXPECT_EQ(form.imgWave->Strip(), nullptr);
    // Handlers that come after the close find no renderer and do nothing.
    form.btnMarkStartClick(&form);
    bool done = false;
    form.ApplicationEvents1Idle(&form, done);
    EXPECT_TRUE(done);
}
