// Where the Open and Save dialogs start: the folder each was last answered in, kept in
// the user's settings, and a proposed ringtone name that is never the song itself.
#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>

#include "app/DialogStart.h"
#include "app/appDefine.h"
#include "support/WindowFixture.h"

using fixtures::FakeDialogs;
using fixtures::WindowFixture;

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

}  // namespace

TEST(DialogStart, ProposedNameIsTheSongsBaseNameAndNeverTheSongItself)
{
    struct Case {
        QString source, folder, extension, expected;
    };
    const Case cases[] = {
        {"/music/song.mp3", "/music", ".mp3", "/music/song (ringtone).mp3"},
        {"/music/song.wav", "/rings", ".mp3", "/rings/song (ringtone).mp3"},
        {"/music/a.b.flac", "/music", ".mp3", "/music/a.b (ringtone).mp3"},
        {"/music/song (ringtone).mp3", "/music", ".mp3", "/music/song (ringtone) (ringtone).mp3"},
        {"/music/noextension", "/music", ".amr", "/music/noextension (ringtone).amr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.toStdString());
        const QString proposed = ProposedRingtonePath(c.folder, c.source, c.extension);
        EXPECT_EQ(proposed, c.expected);
        EXPECT_NE(proposed, c.source);
    }
}

TEST(DialogStart, OpenDialogStartsInTheFolderLastOpenedFromEvenAfterARestart)
{
    WindowFixture w;
    const std::string folder = w.files.file("Music");
    std::filesystem::create_directory(folder);
    const std::string song = folder + "/song.wav";
    ASSERT_TRUE(fixtures::MakeTone(song, 2, 8000, 1));

    w.form->btnOpenClick(w.form->btnOpen);    // cancelled: nothing remembered
    w.Open(song);
    w.form->btnOpenClick(w.form->btnOpen);
    // A new window (the program started again) reads it from the settings.
    w.form = std::make_unique<TMainForm>();
    w.form->btnOpenClick(w.form->btnOpen);
    ASSERT_EQ(w.dialogs.openRequests.size(), 4);
    EXPECT_EQ(w.dialogs.openRequests[0].initialPath, "");
    EXPECT_EQ(w.dialogs.openRequests[1].initialPath, "");
    EXPECT_EQ(w.dialogs.openRequests[2].initialPath, Q(folder));
    EXPECT_EQ(w.dialogs.openRequests[3].initialPath, Q(folder));

    // A folder that is gone is forgotten rather than offered.
    std::filesystem::remove_all(folder);
    w.form->btnOpenClick(w.form->btnOpen);
    EXPECT_EQ(w.dialogs.openRequests.last().initialPath, "");
}

TEST(DialogStart, SaveDialogProposesANameBesideTheSongThenTheFolderLastSavedIn)
{
    WindowFixture w;
    const std::string music = w.files.file("Music");
    const std::string rings = w.files.file("Ring Tones");
    std::filesystem::create_directory(music);
    std::filesystem::create_directory(rings);
    const std::string song = music + "/song.mp3";
    ASSERT_TRUE(fixtures::MakeTone(song, 40, 22050, 1, {"-c:a", "libmp3lame"}));
    w.Open(song);

    // The first save: beside the song, under a name that is not the song's.
    w.dialogs.saveAnswers.push_back(FakeDialogs::Pick(rings + "/mine.mp3"));
    w.form->btnSaveClick(w.form->btnSave);
    ASSERT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }, 60000));
    // The next one in the folder saved in; a cancelled one changes nothing.
    w.form->btnSaveClick(w.form->btnSave);
    w.form->btnSaveClick(w.form->btnSave);
    ASSERT_EQ(w.dialogs.saveRequests.size(), 3);
    EXPECT_EQ(w.dialogs.saveRequests[0].initialPath, Q(music + "/song (ringtone).mp3"));
    EXPECT_EQ(w.dialogs.saveRequests[1].initialPath, Q(rings + "/song (ringtone).mp3"));
    EXPECT_EQ(w.dialogs.saveRequests[2].initialPath, Q(rings + "/song (ringtone).mp3"));
    EXPECT_TRUE(std::filesystem::exists(rings + "/mine.mp3"));

    // Each dialog keeps its own folder: saving did not move the Open dialog's.
    w.form->btnOpenClick(w.form->btnOpen);
    EXPECT_EQ(w.dialogs.openRequests.last().initialPath, Q(music));
}
