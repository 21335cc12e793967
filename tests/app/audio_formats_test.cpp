// Every kind of file that the Open dialog's "All Audio Files" entry lists opens, shows its
// properties, plays and exports, each from a file made at test time.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/OpenableFiles.h"
#include "app/appDefine.h"
#include "audio/MediaPlayer.h"
#include "strip/WaveRender.h"
#include "support/WindowFixture.h"

using fixtures::FakeDialogs;
using fixtures::WindowFixture;

namespace {

// "codec_name duration" of a file's first audio stream, as ffprobe tells them.
std::string Probe(const std::string& path)
{
    const auto run = fixtures::RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                        "stream=codec_name:format=duration", "-of",
                                        "default=noprint_wrappers=1:nokey=1", path});
    std::string flat = run.standardOutput;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    return flat;
}

QString ValueAfter(const QString& caption, const char* prefix)
{
    return caption.startsWith(prefix) ? caption.mid(int(strlen(prefix))) : QString();
}

struct Kind {
    const char* extension;
    std::vector<std::string> encoder;
};

}  // namespace

TEST(AudioFormats, EveryListedKindOpensPlaysShowsItsPropertiesAndExports)
{
    WindowFixture w;
    w.form->show();
    // Six seconds each, so that the default selection (seconds 20 to 30) is moved into it.
    const Kind kinds[] = {
        {"flac", {"-c:a", "flac"}},
        {"ogg", {"-c:a", "libvorbis"}},
        {"oga", {"-c:a", "flac", "-f", "ogg"}},
        {"opus", {"-c:a", "libopus", "-b:a", "64k"}},
        {"m4a", {"-c:a", "aac", "-b:a", "96k"}},
        {"aac", {"-c:a", "aac", "-b:a", "96k", "-f", "adts"}},
        {"aiff", {"-c:a", "pcm_s16be"}},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.extension);
        const std::string source = w.files.file(std::string("tone.") + kind.extension);
        const int sampleRate = std::string(kind.extension) == "opus" ? 48000 : 44100;
        ASSERT_TRUE(fixtures::MakeTone(source, 6, sampleRate, 2, kind.encoder));
        EXPECT_TRUE(IsOpenableAudioFile(QString::fromStdString(source)));

        w.dialogs.messages.clear();
        w.Open(source);
        ASSERT_EQ(w.form->FSourceFile, QString::fromStdString(source));
        EXPECT_TRUE(w.dialogs.messages.isEmpty());
        EXPECT_EQ(w.form->lblSampleRate->Caption(), "Sample Rate: " + QString::number(sampleRate));
        EXPECT_EQ(w.form->lblChannel->Caption(), "Channel: Stereo");
        EXPECT_GT(ValueAfter(w.form->lblBitrate->Caption(), "Bitrate: ").toInt(), 0)
            << w.form->lblBitrate->Caption().toStdString();
        EXPECT_FALSE(ValueAfter(w.form->lblLength->Caption(), "Time Length: ").isEmpty());
        EXPECT_EQ(w.form->FRender->StripWidth(), 30);

        // Plays on the null output until its position moves.
        w.form->FRender->SetCursorPos(0);
        w.form->btnPlayClick(w.form->btnPlay);
        EXPECT_EQ(w.form->MediaPlayer1->Mode(), TMediaPlayer::ModePlaying);
        EXPECT_TRUE(WindowFixture::WaitFor([&] { return w.form->MediaPlayer1->Position() > 0; }));
        w.form->MouseEffectImage1Click(w.form->MouseEffectImage1);
        EXPECT_NE(w.form->MediaPlayer1->Mode(), TMediaPlayer::ModePlaying);

        // From second 1 to second 3 of it, as an MP3.
        w.form->FRender->SetBeginPos(5);
        w.form->FRender->SetEndPos(15);
        const std::string target = w.files.file(std::string("ring from ") + kind.extension + ".mp3");
        w.dialogs.saveAnswers.push_back(FakeDialogs::Pick(target));
        w.form->btnSaveClick(w.form->btnSave);
        ASSERT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }, 60000));
        EXPECT_EQ(w.form->sb_status->Caption(), "Completed.");
        const std::string probe = Probe(target);
        ASSERT_EQ(probe.rfind("mp3 ", 0), 0u) << probe;
        EXPECT_NEAR(std::stod(probe.substr(4)), 2.0, 0.15) << probe;
    }
}
