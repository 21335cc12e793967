// media::SourceFile and media::SourceInput: what is refused and why, that the file opened
// is the one read, and that the cancel flag breaks an open off.
#include "media/SourceInput.h"

#include "support/Fixtures.h"
#include "support/HostileSources.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using Kind = media::SourceError::Kind;

struct Refusal {
    Kind kind;
    int averror;
};

// How opening the path as a source fails, or nothing when it opens.
std::optional<Refusal> RefusalOf(const std::string& path, media::CancelFlag cancel = nullptr)
{
    try {
        media::SourceFile file(path);
        media::SourceInput input(file, cancel);
    } catch (const media::SourceError& error) {
        return Refusal{error.kind(), error.averror()};
    }
    return std::nullopt;
}

TEST(SourceInput, EachKindOfRefusal)
{
    fixtures::ScratchDir dir;
    ASSERT_TRUE(fixtures::MakeTone(dir.file("other.mp3"), 1));
    ASSERT_EQ(mkfifo(dir.file("pipe.mp3").c_str(), 0600), 0);
    fixtures::WriteFile(dir.file("notes.txt"), "These are not sounds.\n");
    ASSERT_TRUE(fixtures::MakeSparseFile(dir.file("zeros.mp3"), off_t(1) << 30));
    struct Case {
        std::string name;
        Kind kind;
        int averror;
    };
    std::vector<Case> cases = {
        {"missing.mp3", Kind::CannotOpen, AVERROR(ENOENT)},
        {".", Kind::CannotOpen, AVERROR(EISDIR)},
        {"pipe.mp3", Kind::NotRegularFile, 0},
        {"notes.txt", Kind::Failed, AVERROR_INVALIDDATA},
        {"zeros.mp3", Kind::NotAudioFormat, 0},
    };
    for (const fixtures::ListSource& list : fixtures::MakeListSources(dir.path()))
        cases.push_back({list.name, Kind::NotAudioFormat, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fixtures::HangGuard guard(60);
        const auto refusal = RefusalOf(dir.file(c.name));
        ASSERT_TRUE(refusal.has_value());
        EXPECT_EQ(int(refusal->kind), int(c.kind));
        EXPECT_EQ(refusal->averror, c.averror);
    }
    EXPECT_FALSE(RefusalOf(dir.file("other.mp3")).has_value());
}

TEST(SourceInput, ReadsTheFileThatWasOpenedEvenWhenAnotherTakesItsName)
{
    fixtures::ScratchDir dir;
    const std::string path = dir.file("song.mp3");
    ASSERT_TRUE(fixtures::MakeTone(path, 1, 8000, 1, {"-f", "wav"}));
    ASSERT_TRUE(fixtures::MakeTone(dir.file("swap.mp3"), 1));
    media::SourceFile file(path);
    ASSERT_EQ(std::rename(dir.file("swap.mp3").c_str(), path.c_str()), 0);
    media::SourceInput input(file);
    EXPECT_STREQ(input->iformat->name, "wav");
    EXPECT_EQ(fixtures::ReadFile(file.descriptorPath()).substr(0, 4), "RIFF");
}

TEST(SourceInput, TheCancelFlagBreaksTheOpenOff)
{
    fixtures::ScratchDir dir;
    ASSERT_TRUE(fixtures::MakeTone(dir.file("tone.mp3"), 1));
    auto cancel = std::make_shared<std::atomic<bool>>(true);
    const auto refusal = RefusalOf(dir.file("tone.mp3"), cancel);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(int(refusal->kind), int(Kind::Cancelled));
}

}  // namespace
