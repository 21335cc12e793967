// The encoder tool's command lines, as text and as argument vectors, and running a tool.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include "base/UniqueFd.h"

#include "export/CommandLine.h"
#include "export/RunAndWait.h"
#include "platform/FileExtension.h"
#include "support/Fixtures.h"

TEST(CommandLine, FilledTemplatesAsTextAndArguments)
{
    struct Case {
        std::string target;
        std::string source;
        std::string text;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"/home/me/Tones/ring tone.mp3", "/home/me/My Music/song.mp3",
         "av -i /home/me/My Music/song.mp3 -ss 00:00:20 -t 00:00:10 -acodec mp3 -ab 64 -ac 2 "
         "\"/home/me/Tones/ring tone.mp3\"",
         {"av", "-i", "/home/me/My Music/song.mp3", "-ss", "00:00:20", "-t", "00:00:10", "-acodec", "mp3", "-ab", "64",
          "-ac", "2", "/home/me/Tones/ring tone.mp3"}},
        {"/home/me/Tones/ring.amr", "/home/me/song.mp3",
         "av -i /home/me/song.mp3 -ss 00:00:20 -t 00:00:10 -f amr -acodec amr_nb -ab 32 -ac 1 -ar 8000 "
         "\"/home/me/Tones/ring.amr\"",
         {"av", "-i", "/home/me/song.mp3", "-ss", "00:00:20", "-t", "00:00:10", "-f", "amr", "-acodec", "amr_nb", "-ab",
          "32", "-ac", "1", "-ar", "8000", "/home/me/Tones/ring.amr"}},
        // An empty source leaves two blanks after -i in the text and one empty argument.
        {"/t/x.mp3", "",
         "av -i  -ss 00:00:20 -t 00:00:10 -acodec mp3 -ab 64 -ac 2 \"/t/x.mp3\"",
         {"av", "-i", "", "-ss", "00:00:20", "-t", "00:00:10", "-acodec", "mp3", "-ab", "64", "-ac", "2", "/t/x.mp3"}},
        // Quotes, a "%s" and a leading dash in the paths stay whole arguments.
        {"/t/-\"a\" %s.mp3", "/m/it's \"x\".wav",
         "av -i /m/it's \"x\".wav -ss 00:00:20 -t 00:00:10 -acodec mp3 -ab 64 -ac 2 \"/t/-\"a\" %s.mp3\"",
         {"av", "-i", "/m/it's \"x\".wav", "-ss", "00:00:20", "-t", "00:00:10", "-acodec", "mp3", "-ab", "64", "-ac", "2",
          "/t/-\"a\" %s.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const char* commandTemplate = CommandTemplateFor(c.target);
        ASSERT_NE(commandTemplate, nullptr);
        const ToolCommandLine line = FillCommandTemplate(commandTemplate, c.source, "00:00:20", "00:00:10", c.target);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.arguments, c.arguments);
    }
}

// The ringtones for phones of today, and the options that come before the target: the
// described two lines stay as they are without options.
TEST(CommandLine, RingtoneTemplatesAndOptionsBeforeTheTarget)
{
    struct Case {
        std::string target;
        ExportOptions options;
        std::string text;
    };
    const std::string head = "av -i /m/s.mp3 -ss 00:00:20 -t 00:00:10 ";
    const Case cases[] = {
        {"/t/r.m4r", {}, head + "-f ipod -acodec aac -ab 128 -ac 2 -ar 44100 \"/t/r.m4r\""},
        {"/t/r.OGG", {}, head + "-f ogg -acodec libvorbis -ab 128 -ac 2 -ar 44100 \"/t/r.OGG\""},
        {"/t/r.mp3", {true, false}, head + "-acodec mp3 -ab 64 -ac 2 -fade 500 \"/t/r.mp3\""},
        {"/t/r.amr", {false, true}, head + "-f amr -acodec amr_nb -ab 32 -ac 1 -ar 8000 -loudness -14 \"/t/r.amr\""},
        {"/t/a b.m4r", {true, true},
         head + "-f ipod -acodec aac -ab 128 -ac 2 -ar 44100 -fade 500 -loudness -14 \"/t/a b.m4r\""},
        {"/t/r.mp3", {false, false}, head + "-acodec mp3 -ab 64 -ac 2 \"/t/r.mp3\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const char* commandTemplate = CommandTemplateFor(c.target);
        ASSERT_NE(commandTemplate, nullptr);
        const ToolCommandLine line = FillCommandTemplate(commandTemplate, "/m/s.mp3", "00:00:20", "00:00:10", c.target,
                                                         c.options);
        EXPECT_EQ(line.text, c.text);
        // The arguments are the text's words, with the target (blanks and all) last.
        std::vector<std::string> words;
        const std::string untargeted = c.text.substr(0, c.text.find('"'));
        for (std::size_t pos = 0; pos < untargeted.size();) {
            const std::size_t end = untargeted.find(' ', pos);
            words.push_back(untargeted.substr(pos, end - pos));
            pos = end + 1;
        }
        words.push_back(c.target);
        EXPECT_EQ(line.arguments, words);
    }
    EXPECT_EQ(CommandTemplateFor("/a/r.M4R"), kM4rCommandTemplate);
    EXPECT_EQ(CommandTemplateFor("/a/r.Ogg"), kOggCommandTemplate);
    EXPECT_EQ(CommandTemplateFor("/a/r.m4a"), nullptr);
}

TEST(CommandLine, TemplateChosenByExtensionInAnyCase)
{
    for (const char* mp3 : {"/a/ring.mp3", "/a/ring.MP3", "/a/ring.mP3", "/A.AMR/ring.Mp3"})
        EXPECT_EQ(CommandTemplateFor(mp3), kMp3CommandTemplate) << mp3;
    for (const char* amr : {"/a/ring.amr", "/a/ring.Amr", "/a/ring.AMR"})
        EXPECT_EQ(CommandTemplateFor(amr), kAmrCommandTemplate) << amr;
    for (const char* other : {"/a/ring.wav", "/a/ring", "/a.mp3/ring", "/a/.mp3x", "/a/ring.mp", "/a/ring.mp3.wav"})
        EXPECT_EQ(CommandTemplateFor(other), nullptr) << other;
    EXPECT_TRUE(HasExtension("/a/c.Mp3", ".mp3"));
    EXPECT_FALSE(HasExtension("/a/c.mp4", ".mp3"));
    EXPECT_EQ(FileExtension("/a.b/c"), "");
    EXPECT_EQ(FileExtension("/a/c.tar.gz"), ".gz");
    EXPECT_EQ(FileExtension("/a/c."), ".");
}

namespace {

base::UniqueFd OpenForRunning(const std::string& path)
{
    return base::UniqueFd(open(path.c_str(), O_PATH | O_CLOEXEC));
}

void WriteScript(const std::string& path, const std::string& body)
{
    fixtures::WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0700);
}

}  // namespace

TEST(RunAndWait, RunsInFolderAndReportsExitAndLastErrorLine)
{
    fixtures::ScratchDir scratch;
    const std::string tool = scratch.file("tool");
    WriteScript(tool,
                "pwd > seen-folder\n"
                "printf '%s\\n' \"$@\" > seen-arguments\n"
                "read line && echo read-stdin > seen-stdin\n"
                "echo first >&2\necho 'Cannot read the source file' >&2\nexit 3\n");
    const base::UniqueFd folder = OpenForRunning(scratch.path());
    const RunResult result = RunAndWait(OpenForRunning(tool).get(), {"av", "a b", "", "\"q\""}, folder.get());
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.message, "Cannot read the source file");
    EXPECT_EQ(fixtures::ReadFile(scratch.file("seen-folder")), scratch.path() + "\n");
    EXPECT_EQ(fixtures::ReadFile(scratch.file("seen-arguments")), "a b\n\n\"q\"\n");
    EXPECT_EQ(fixtures::ReadFile(scratch.file("seen-stdin")), "") << "standard input is empty";
}

TEST(RunAndWait, RunsTheFileThatWasOpenedWhateverItsNameLeadsToLater)
{
    fixtures::ScratchDir scratch;
    const std::string tool = scratch.file("av");
    WriteScript(tool, "echo checked > ran\n");
    const base::UniqueFd opened = OpenForRunning(tool);
    // Another program takes the name between the check and the start.
    const std::string planted = scratch.file("planted");
    WriteScript(planted, "echo planted > ran\n");
    ASSERT_EQ(rename(planted.c_str(), tool.c_str()), 0);
    const base::UniqueFd folder = OpenForRunning(scratch.path());
    const RunResult result = RunAndWait(opened.get(), {"av"}, folder.get());
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(scratch.file("ran")), "checked\n");
}

TEST(RunAndWait, ToolThatCannotStart)
{
    fixtures::ScratchDir scratch;
    const base::UniqueFd folder = OpenForRunning(scratch.path());
    const std::string notRunnable = scratch.file("data");
    fixtures::WriteFile(notRunnable, "plain text\n");
    chmod(notRunnable.c_str(), 0600);
    const RunResult refused = RunAndWait(OpenForRunning(notRunnable).get(), {"av"}, folder.get());
    EXPECT_FALSE(refused.started);
    EXPECT_EQ(refused.exitCode, -1);
    EXPECT_FALSE(refused.message.empty());
    EXPECT_FALSE(RunAndWait(-1, {"av"}, folder.get()).started);

    const std::string tool = scratch.file("tool");
    WriteScript(tool, "exit 0\n");
    EXPECT_FALSE(RunAndWait(OpenForRunning(tool).get(), {"av"}, -1).started) << "no working folder";
    EXPECT_EQ(RunAndWait(OpenForRunning(tool).get(), {"av"}, folder.get()).exitCode, 0);
}

TEST(RunAndWait, ProgressComesOnAChannelOfItsOwnOutsideTheCommandLine)
{
    fixtures::ScratchDir scratch;
    const std::string tool = scratch.file("tool");
    WriteScript(tool,
                "printf '%s\\n' \"$@\" > seen-arguments\n"
                "echo \"${AV_PROGRESS_FD-unset}\" > seen-variable\n"
                "if [ -n \"$AV_PROGRESS_FD\" ]; then\n"
                "  printf '5\\n50\\nnot a percentage\\n' > /proc/self/fd/$AV_PROGRESS_FD\n"
                "  sleep 0.2\n"
                "  printf '100\\n' > /proc/self/fd/$AV_PROGRESS_FD\n"
                "fi\n");
    const base::UniqueFd folder = OpenForRunning(scratch.path());
    std::vector<int> told;
    const RunResult result =
        RunAndWait(OpenForRunning(tool).get(), {"av", "-i", "a b"}, folder.get(), [&](int percent) { told.push_back(percent); });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(told, std::vector<int>({5, 50, 100}));
    EXPECT_EQ(fixtures::ReadFile(scratch.file("seen-arguments")), "-i\na b\n") << "the command line is as given";
    EXPECT_NE(fixtures::ReadFile(scratch.file("seen-variable")), "unset\n");

    // Without a listener the tool gets no channel and runs as before.
    setenv("AV_PROGRESS_FD", "1", 1);
    const RunResult plain = RunAndWait(OpenForRunning(tool).get(), {"av"}, folder.get());
    unsetenv("AV_PROGRESS_FD");
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(fixtures::ReadFile(scratch.file("seen-variable")), "unset\n");
}
