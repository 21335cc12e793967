// Without the FFmpeg libraries (here: one of them under a name that does not exist), the
// program does not crash: opening a source is refused with a message that names the
// library, through the source opening, the decoder and the player alike, and error texts
// of the system's codes still read as before. This program links no FFmpeg library, and
// the names are set before anything loads them.
#include "audio/AudioDecoder.h"
#include "audio/MediaPlayer.h"
#include "media/FfmpegLibraries.h"
#include "media/SourceInput.h"

#include "support/Fixtures.h"

#include <QString>
#include <cerrno>
#include <gtest/gtest.h>
#include <string>

namespace {

const char* const kMissing = "libavformat-missing.so.0";

class FfmpegMissingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        media::FfmpegLibraryNames names = media::DefaultFfmpegLibraryNames();
        names.avformat = kMissing;
        ASSERT_TRUE(media::UseFfmpegLibraryNames(names));
    }

    void SetUp() override
    {
        // The fixture is made with the ffmpeg program, not the libraries.
        song_ = dir_.file("tone.mp3");
        ASSERT_TRUE(fixtures::MakeTone(song_, 2.0));
    }

    // The text names the library that is missing, in the decoder's words.
    static void ExpectNamesTheLibrary(const std::string& text)
    {
        EXPECT_NE(text.find("The FFmpeg libraries cannot be loaded"), std::string::npos) << text;
        EXPECT_NE(text.find(kMissing), std::string::npos) << text;
    }

    fixtures::ScratchDir dir_;
    std::string song_;
};

TEST_F(FfmpegMissingTest, EveryWayOfOpeningTellsWhichLibraryIsMissing)
{
    try {
        media::SourceFile file(song_);
        media::SourceInput input(file);
        ADD_FAILURE() << "the source opened";
    } catch (const media::SourceError& error) {
        EXPECT_EQ(int(error.kind()), int(media::SourceError::Kind::NoLibraries));
        ExpectNamesTheLibrary(error.what());
    }

    try {
        AudioDecoder decoder(song_);
        ADD_FAILURE() << "the decoder opened";
    } catch (const AudioDecoderError& error) {
        EXPECT_FALSE(error.IsDecoderReason());
        ExpectNamesTheLibrary(error.what());
    }

    TMediaPlayer player;
    try {
        player.OpenReplacing(QString::fromStdString(song_));
        ADD_FAILURE() << "the player opened";
    } catch (const EMCIDeviceError& error) {
        ExpectNamesTheLibrary(error.what());
    }
    EXPECT_EQ(player.Mode(), TMediaPlayer::ModeNotReady);
}

TEST_F(FfmpegMissingTest, TheLoadFailsForGoodWithItsReason)
{
    std::string why;
    EXPECT_FALSE(media::LoadFfmpeg(&why));
    EXPECT_NE(why.find(kMissing), std::string::npos) << why;
    EXPECT_FALSE(media::FfmpegLoaded());
    // Once a load has been tried, the names stay as they were.
    EXPECT_FALSE(media::UseFfmpegLibraryNames(media::DefaultFfmpegLibraryNames()));
    EXPECT_FALSE(media::LoadFfmpeg());
}

TEST_F(FfmpegMissingTest, SystemErrorsStillReadAsBefore)
{
    // A missing file is refused before FFmpeg is asked, with the system's words.
    try {
        media::SourceFile file(dir_.file("absent.mp3"));
        ADD_FAILURE() << "the file opened";
    } catch (const media::SourceError& error) {
        EXPECT_EQ(int(error.kind()), int(media::SourceError::Kind::CannotOpen));
        EXPECT_EQ(std::string(error.what()), "No such file or directory");
    }
    EXPECT_EQ(media::ErrorText(AVERROR(EACCES)), "Permission denied");
}

}  // namespace
