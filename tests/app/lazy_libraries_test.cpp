// The real window starts without the FFmpeg libraries, FFTW and Qt Multimedia: none of
// them is mapped once the window has been shown and painted. Opening an MP3 loads FFmpeg
// and opens the file as ever, its hook analysis loads FFTW, and playing it through a
// device loads the sound module with Qt Multimedia. This program links none of them
// itself, so what it finds mapped is what the window loaded.
#include <gtest/gtest.h>

#include <QTest>
#include <fstream>
#include <string>
#include <vector>

#include "audio/HookAnalysis.h"
#include "audio/MediaPlayer.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

// The file names of the libraries mapped into this process.
std::string MappedLibraries()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::string names;
    while (std::getline(maps, line)) {
        const auto slash = line.rfind('/');
        if (slash != std::string::npos)
            names += line.substr(slash + 1) + "\n";
    }
    return names;
}

bool IsMapped(const std::string& library)
{
    return MappedLibraries().find(library) != std::string::npos;
}

const std::vector<std::string> kFfmpeg = {"libavcodec.so", "libavformat.so", "libavutil.so", "libswresample.so"};
const char* const kFftw = "libfftw3f.so";
const char* const kMultimedia = "libQt6Multimedia.so";

TEST(LazyLibraries, LoadedByWhatNeedsThemNotByTheStart)
{
    WindowFixture w;
    w.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
    // The first paint, and whatever the event loop does right after it.
    QTest::qWait(200);
    for (const std::string& library : kFfmpeg)
        EXPECT_FALSE(IsMapped(library)) << library;
    EXPECT_FALSE(IsMapped(kFftw));
    EXPECT_FALSE(IsMapped(kMultimedia));

    // Opening a small MP3 loads FFmpeg, and the file opens as before.
    const std::string song = w.files.file("tone.mp3");
    ASSERT_TRUE(fixtures::MakeTone(song, 12.0));
    w.Open(song);
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), TMediaPlayer::ModeStopped);
    EXPECT_NEAR(w.form->MediaPlayer1->Length(), 12000, 100);
    EXPECT_EQ(w.form->lblSampleRate->Caption(), "Sample Rate: 44100");
    for (const std::string& library : kFfmpeg)
        EXPECT_TRUE(IsMapped(library)) << library;
    EXPECT_FALSE(IsMapped(kMultimedia));

    // The song's hook analysis runs on its own after the open and loads FFTW.
    ASSERT_TRUE(WindowFixture::WaitFor([&w] { return w.form->Hook() && w.form->Hook()->Finished(); }, 60000));
    EXPECT_TRUE(IsMapped(kFftw));

    // Playing on the null output needs no device; playing through a device loads the
    // sound module, whether or not there is a sound server to play on (else it plays
    // silently, as ever).
    w.form->btnPlayClick(w.form->btnPlay);
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), TMediaPlayer::ModePlaying);
    EXPECT_FALSE(IsMapped(kMultimedia));
    w.form->MediaPlayer1->Stop();
    TMediaPlayer::SetUseNullOutput(false);
    w.form->btnPlayClick(w.form->btnPlay);
    EXPECT_EQ(w.form->MediaPlayer1->Mode(), TMediaPlayer::ModePlaying);
    EXPECT_TRUE(IsMapped(kMultimedia));
    w.form->MediaPlayer1->Stop();
    TMediaPlayer::SetUseNullOutput(true);
}

}  // namespace
