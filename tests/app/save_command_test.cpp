// The Save command and the conversion worker on the real window, with the encoder tool
// that start-up writes into the work folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "app/appDefine.h"
#include "export/CutMp3Thread.h"
#include "platform/Shell.h"
#include "strip/WaveRender.h"
#include "support/WindowFixture.h"

using fixtures::FakeDialogs;
using fixtures::WindowFixture;

namespace {

// What ffprobe says of a file: "codec channels sample_rate duration".
std::string Probe(const std::string& path)
{
    const auto run = fixtures::RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                        "stream=codec_name,channels,sample_rate:format=duration,format_name", "-of",
                                        "default=noprint_wrappers=1:nokey=1", path});
    std::string flat = run.standardOutput;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    return flat;
}

// A file decoded by ffmpeg to 16-bit samples (all channels, interleaved).
std::vector<std::int16_t> DecodeToSamples(const std::string& path)
{
    const std::string raw = path + ".raw";
    std::vector<std::int16_t> samples;
    if (!fixtures::Ffmpeg({"-i", path, "-f", "s16le", "-c:a", "pcm_s16le", raw}))
        return samples;
    const std::string bytes = fixtures::ReadFile(raw);
    std::filesystem::remove(raw);
    samples.resize(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        source = w.files.file("my song.wav");
        ASSERT_TRUE(fixtures::MakeTone(source, 40, 22050, 2));
        w.Open(source);
        SetFolderOpener([this](const QString& folder) { openedFolders << folder; });
    }
    void TearDown() override
    {
        EXPECT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }));
        SetFolderOpener({});
    }
    // Clicks Save with the dialog answering the path, and waits for the worker to end.
    void Save(const std::string& target, int filterIndex = 0)
    {
        w.dialogs.saveAnswers.push_back(FakeDialogs::Pick(target, filterIndex));
        w.form->btnSaveClick(w.form->btnSave);
        ASSERT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }));
    }
    QStringList MessageTexts() const
    {
        QStringList texts;
        for (const auto& m : w.dialogs.messages)
            texts << m.text;
        return texts;
    }

    WindowFixture w;
    std::string source;
    QStringList openedFolders;
};

}  // namespace

TEST_F(SaveTest, TimesFromTheMarkersWholeSeconds)
{
    struct Case {
        int begin, end;
        QString start, length;
    };
    const Case cases[] = {
        {100, 150, "00:00:20", "00:00:10"}, {18000, 18010, "01:00:00", "00:00:02"}, {18004, 18004, "01:00:00", "00:00:00"},
        {-5, 10, "00:00:-01", "00:00:03"},   {104, 106, "00:00:20", "00:00:01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.begin);
        w.form->FRender->SetBeginPos(c.begin);
        w.form->FRender->SetEndPos(c.end);
        Save(w.files.file("ring.mp3"));
        EXPECT_EQ(w.form->FCutInfo.SourceFile, QString::fromStdString(source));
        EXPECT_EQ(w.form->FCutInfo.TargetFile, QString::fromStdString(w.files.file("ring.mp3")));
        EXPECT_EQ(w.form->FCutInfo.StartTime, c.start);
        EXPECT_EQ(w.form->FCutInfo.CutLength, c.length);
    }
    ASSERT_FALSE(w.dialogs.saveRequests.isEmpty());
    EXPECT_EQ(w.dialogs.saveRequests[0].filter, "Mp3 Music File (*.mp3)|*.mp3|AMR Ringtone (*.amr)|*.amr|"
                                                "iPhone Ringtone (*.m4r)|*.m4r|Ogg Ringtone (*.ogg)|*.ogg");
    EXPECT_EQ(w.dialogs.saveRequests[0].defaultExt, ".mp3");
    // A name typed without an extension gets the selected entry's.
    const QString filter = w.dialogs.saveRequests[0].filter;
    EXPECT_EQ(FilterEntryExtension(filter, 0), ".mp3");
    EXPECT_EQ(FilterEntryExtension(filter, 1), ".amr");
    EXPECT_EQ(FilterEntryExtension(filter, 2), ".m4r");
    EXPECT_EQ(FilterEntryExtension(filter, 3), ".ogg");
    EXPECT_FALSE(w.dialogs.saveRequests[0].confirmOverwrite);
}

TEST_F(SaveTest, ExportsMp3AndAmrAndOffersTheFolder)
{
    w.dialogs.answerMessage = [](const fixtures::RecordedMessage& m) {
        return m.caption == "Confirm" ? QMessageBox::Yes : QMessageBox::Ok;
    };
    const std::string folder = w.files.file("Ring Tones");
    std::filesystem::create_directory(folder);
    const std::string mp3 = folder + "/ring tone.mp3";
    const std::string amr = folder + "/ring.amr";
    Save(mp3);
    Save(amr, 1);
    EXPECT_EQ(w.form->sb_status->Caption(), "Completed.");
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    for (const auto& m : w.dialogs.messages) {
        EXPECT_EQ(m.caption, "Confirm");
        EXPECT_EQ(m.text, "Completed. Do you want to open the target directory?");
        EXPECT_EQ(m.icon, QMessageBox::NoIcon);
        EXPECT_EQ(m.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    EXPECT_EQ(openedFolders, QStringList({QString::fromStdString(folder + "/"), QString::fromStdString(folder + "/")}));
    // The default selection: ten seconds from second 20.
    const std::string mp3Probe = Probe(mp3), amrProbe = Probe(amr);
    EXPECT_NE(mp3Probe.find("mp3 22050 2 mp3"), std::string::npos) << mp3Probe;
    EXPECT_NE(amrProbe.find("amr_nb 8000 1 amr"), std::string::npos) << amrProbe;
    EXPECT_NEAR(std::stod(mp3Probe.substr(mp3Probe.rfind(' ', mp3Probe.size() - 2))), 10.0, 0.1);
    // AMR-NB at 12.2 kbit/s: 32-byte frames of 20 ms after the 6-byte "#!AMR\n" header.
    const std::string amrBytes = fixtures::ReadFile(amr);
    ASSERT_EQ(amrBytes.substr(0, 6), "#!AMR\n");
    EXPECT_EQ(amrBytes[6], '\x3c') << "mode 7, 12.2 kbit/s";
    EXPECT_NEAR((amrBytes.size() - 6) / 32 * 0.02, 10.0, 0.05);
}

TEST_F(SaveTest, StatusTextsOfAnExport)
{
    QStringList statuses;
    w.dialogs.answerMessage = [&](const fixtures::RecordedMessage&) {
        statuses << w.form->sb_status->Caption();
        return QMessageBox::No;
    };
    // Record every status the worker shows, in order.
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (seen.isEmpty() || seen.back() != w.form->sb_status->Caption())
            seen << w.form->sb_status->Caption();
    });
    poll.start(0);
    const std::string target = w.files.file("ring.amr");
    Save(target);
    poll.stop();
    EXPECT_EQ(statuses, QStringList({"Completed."}));
    EXPECT_TRUE(seen.contains("Generating " + QString::fromStdString(target) + " ..."));
    EXPECT_EQ(seen.back(), "Completed.");
    EXPECT_TRUE(openedFolders.isEmpty()) << "No opens nothing";
}

TEST_F(SaveTest, ALongExportShowsItsProgressInTheStatusBar)
{
    // Twenty minutes of silence, 8000 Hz mono 16-bit: a WAV header and then a hole.
    const std::string silence = w.files.file("silence.wav");
    const uint32_t dataBytes = 20 * 60 * 8000 * 2;
    std::string header = "RIFF";
    const auto append32 = [&header](uint32_t v) { for (int i = 0; i < 4; ++i) header += char(v >> (8 * i) & 0xFF); };
    const auto append16 = [&header](uint16_t v) { for (int i = 0; i < 2; ++i) header += char(v >> (8 * i) & 0xFF); };
    append32(36 + dataBytes);
    header += "WAVEfmt ";
    append32(16);
    append16(1);
    append16(1);
    append32(8000);
    append32(16000);
    append16(2);
    append16(16);
    header += "data";
    append32(dataBytes);
    fixtures::WriteFile(silence, header);
    ASSERT_EQ(truncate(silence.c_str(), off_t(header.size()) + dataBytes), 0);
    w.Open(silence);
    ASSERT_EQ(w.form->FSourceFile, QString::fromStdString(silence));
    w.form->FRender->SetBeginPos(0);
    w.form->FRender->SetEndPos(20 * 60 * TWaveRender::ColumnsPerSecond);
    w.dialogs.answerMessage = [](const fixtures::RecordedMessage&) { return QMessageBox::No; };

    const std::string target = w.files.file("long ring.mp3");
    const QString generating = "Generating " + QString::fromStdString(target) + " ...";
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (seen.isEmpty() || seen.back() != w.form->sb_status->Caption())
            seen << w.form->sb_status->Caption();
    });
    poll.start(0);
    Save(target);
    poll.stop();
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].caption, "Confirm");
    EXPECT_EQ(seen.back(), "Completed.");
    EXPECT_TRUE(seen.contains(generating)) << "the described text comes first";
    // The percentages the tool told, in the order shown.
    QList<int> percentages;
    const QRegularExpression told("^" + QRegularExpression::escape(generating) + " (\\d+)%$");
    for (const QString& status : seen)
        if (const auto match = told.match(status); match.hasMatch())
            percentages << match.captured(1).toInt();
    ASSERT_FALSE(percentages.isEmpty()) << seen.join(" | ").toStdString();
    EXPECT_TRUE(std::any_of(percentages.begin(), percentages.end(), [](int p) { return p > 0 && p < 100; }))
        << seen.join(" | ").toStdString();
    EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
}

TEST_F(SaveTest, BusyNoticeWhileConvertingAndWhileTheQuestionIsOpen)
{
    int busyNotices = 0;
    bool clickedDuringQuestion = false;
    w.dialogs.answerMessage = [&](const fixtures::RecordedMessage& m) {
        if (m.text.contains("still being converted")) {
            ++busyNotices;
            return QMessageBox::Ok;
        }
        if (m.caption == "Confirm" && !clickedDuringQuestion) {
            clickedDuringQuestion = true;
            w.form->btnSaveClick(w.form->btnSave);   // a second Save while the question is open
        }
        return QMessageBox::No;
    };
    w.dialogs.saveAnswers.push_back(FakeDialogs::Pick(w.files.file("one.mp3")));
    w.form->btnSaveClick(w.form->btnSave);
    EXPECT_TRUE(IsConverting);
    w.form->btnSaveClick(w.form->btnSave);   // a second Save during the export
    ASSERT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }));
    EXPECT_EQ(busyNotices, 2);
    EXPECT_EQ(w.dialogs.saveRequests.size(), 1) << "the busy notice asks for no target";
}

TEST_F(SaveTest, FailuresAreToldAndLoseNothing)
{
    const std::string existing = w.files.file("keep.mp3");
    fixtures::WriteFile(existing, "an earlier ringtone");
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::string target;
        QString expectedText;
        bool workerRuns;
    };
    const Case cases[] = {
        {"other extension", [] {}, w.files.file("ring.wav"), "Only .mp3, .amr, .m4r and .ogg", false},
        {"no extension", [] {}, w.files.file("ring"), "Only .mp3, .amr, .m4r and .ogg", false},
        {"missing tool", [] { std::filesystem::remove((WorkDir + "av").toStdString()); }, existing,
         "encoder tool is unavailable", true},
        {"unwritable folder", [] {}, w.files.file("no/such/folder/ring.mp3"), "", true},
        {"source gone", [this] { std::filesystem::remove(source); }, existing, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.dialogs.messages.clear();
        w.form->sb_status->SetCaption("");
        c.prepare();
        Save(c.target);
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        const auto& message = w.dialogs.messages[0];
        EXPECT_NE(message.caption, "Confirm");
        EXPECT_NE(message.text, "Completed. Do you want to open the target directory?");
        if (!c.expectedText.isEmpty()) {
            EXPECT_TRUE(message.text.contains(c.expectedText)) << message.text.toStdString();
        }
        EXPECT_FALSE(message.text.isEmpty());
        EXPECT_EQ(w.form->sb_status->Caption(), c.workerRuns ? QString("Export failed.") : QString());
        EXPECT_EQ(fixtures::ReadFile(existing), "an earlier ringtone");
    }
}

TEST_F(SaveTest, ExtensionsInAnyCaseAreExported)
{
    struct Case {
        std::string name;
        std::string probed;
    };
    const Case cases[] = {
        {"ring.MP3", "mp3 22050 2 mp3"},
        {"ring.Amr", "amr_nb 8000 1 amr"},
        {"ring.mP3", "mp3 22050 2 mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.dialogs.messages.clear();
        const std::string target = w.files.file(c.name);
        Save(target);
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages[0].caption, "Confirm") << w.dialogs.messages[0].text.toStdString();
        EXPECT_EQ(w.form->sb_status->Caption(), "Completed.");
        const std::string probe = Probe(target);
        EXPECT_NE(probe.find(c.probed), std::string::npos) << probe;
    }
}

TEST_F(SaveTest, TheSongItselfIsNeverTheTarget)
{
    // The source is an MP3 here, so that its own name passes the extension rule.
    const std::string song = w.files.file("song.mp3");
    ASSERT_TRUE(fixtures::MakeTone(song, 12, 22050, 2, {"-c:a", "libmp3lame"}));
    w.Open(song);
    const std::string original = fixtures::ReadFile(song);
    const std::string hardLink = w.files.file("also song.mp3");
    ASSERT_EQ(link(song.c_str(), hardLink.c_str()), 0);
    const std::string symbolicLink = w.files.file("link.mp3");
    ASSERT_EQ(symlink(song.c_str(), symbolicLink.c_str()), 0);
    for (const std::string& target : {song, w.files.path() + "/./song.mp3", hardLink, symbolicLink}) {
        SCOPED_TRACE(target);
        w.dialogs.messages.clear();
        w.form->sb_status->SetCaption("");
        Save(target);
        ASSERT_EQ(w.dialogs.messages.size(), 1);
        EXPECT_EQ(w.dialogs.messages[0].text, "The ringtone cannot replace the file it is cut from.");
        EXPECT_EQ(w.form->sb_status->Caption(), "") << "no export was started";
        EXPECT_EQ(fixtures::ReadFile(song), original);
    }
}

TEST_F(SaveTest, AToolThatWritesNothingIsNoSuccess)
{
    // A tool that ends well but leaves an earlier target as it was has not exported.
    const std::string existing = w.files.file("keep.mp3");
    fixtures::WriteFile(existing, "an earlier ringtone");
    const std::string tool = (WorkDir + "av").toStdString();
    std::filesystem::remove(tool);
    fixtures::WriteFile(tool, "#!/bin/sh\nexit 0\n");
    chmod(tool.c_str(), 0700);
    Save(existing);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("wrote no file")) << w.dialogs.messages[0].text.toStdString();
    EXPECT_EQ(w.form->sb_status->Caption(), "Export failed.");
    EXPECT_EQ(fixtures::ReadFile(existing), "an earlier ringtone");
}

TEST_F(SaveTest, NothingIsRunFromAWorkFolderOthersCouldRename)
{
    // The runtime folder above the work folder becomes writable by everyone: someone
    // could put a folder of their own in the work folder's place.
    const std::string runtime = w.runtime.path();
    chmod(runtime.c_str(), 0777);
    const std::string target = w.files.file("ring.mp3");
    Save(target);
    chmod(runtime.c_str(), 0700);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("encoder tool is unavailable"));
    EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(SaveCommand, BeforeAnyFileTellsTheUserToOpenOne)
{
    WindowFixture w;
    w.form->btnSaveClick(w.form->btnSave);
    EXPECT_FALSE(IsConverting);
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_TRUE(w.dialogs.messages[0].text.contains("open an audio file first"));
    EXPECT_TRUE(w.dialogs.saveRequests.isEmpty());
}

TEST(SaveCommand, ClosingTheWindowDuringAnExportLetsTheToolFinish)
{
    auto w = std::make_unique<WindowFixture>();
    const std::string source = w->files.file("long.wav");
    ASSERT_TRUE(fixtures::MakeTone(source, 40, 44100, 2));
    w->Open(source);
    const std::string target = w->files.file("ring.mp3");
    w->dialogs.saveAnswers.push_back(FakeDialogs::Pick(target));
    w->form->btnSaveClick(w->form->btnSave);
    ASSERT_TRUE(IsConverting);
    w->form->close();
    w->form.reset();   // the window is gone while the worker still runs
    ASSERT_TRUE(WindowFixture::WaitFor([] { return !IsConverting; }));
    EXPECT_TRUE(w->dialogs.messages.isEmpty()) << "nothing is asked of a window that is gone";
    EXPECT_NE(Probe(target).find("mp3"), std::string::npos);
}

// An iPhone ringtone lasts at most 40 seconds: a longer selection is cut to its first 40
// seconds after the window asks, and nothing is written when the answer is No.
TEST_F(SaveTest, LongIphoneRingtoneIsCutToFortySecondsOnlyAfterAsking)
{
    const std::string longSource = w.files.file("long song.wav");
    ASSERT_TRUE(fixtures::MakeTone(longSource, 60, 22050, 2));
    w.Open(longSource);
    ASSERT_TRUE(WindowFixture::WaitFor([this] { return !w.form->IsExaminingFile(); }));
    const int columns = TWaveRender::ColumnsPerSecond;
    struct Case {
        const char* name;
        int seconds;
        QMessageBox::StandardButton answer;
        bool asked;
        double written;   // seconds; 0 for no file
    };
    const Case cases[] = {
        {"ring no.m4r", 50, QMessageBox::No, true, 0},
        {"ring yes.m4r", 50, QMessageBox::Yes, true, 40},
        {"ring forty.m4r", 40, QMessageBox::No, false, 40},
        {"ring long.ogg", 50, QMessageBox::No, false, 50},
    };
    const QString question = "iPhone ringtones can be at most 40 seconds long. Save the first 40 seconds?";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        w.dialogs.messages.clear();
        w.dialogs.answerMessage = [&](const fixtures::RecordedMessage& m) {
            return m.text == question ? c.answer : QMessageBox::No;
        };
        w.form->FRender->SetBeginPos(2 * columns);
        w.form->FRender->SetEndPos((2 + c.seconds) * columns);
        const std::string target = w.files.file(c.name);
        Save(target);
        ASSERT_FALSE(w.dialogs.messages.isEmpty());
        const auto& first = w.dialogs.messages[0];
        EXPECT_EQ(first.text == question, c.asked) << first.text.toStdString();
        if (c.asked) {
            EXPECT_EQ(first.buttons, QMessageBox::Yes | QMessageBox::No);
        }
        if (c.written == 0) {
            EXPECT_FALSE(std::filesystem::exists(target));
            EXPECT_EQ(w.dialogs.messages.size(), 1) << "no export after No";
            continue;
        }
        const std::string probe = Probe(target);
        EXPECT_NEAR(std::stod(probe.substr(probe.rfind(' ', probe.size() - 2))), c.written, 0.1) << probe;
    }
}

// The Save button's context menu holds the two options, off at first, kept in the
// settings for the next start and handed to the export's command line.
TEST_F(SaveTest, FadeAndLoudnessOptionsInTheSaveButtonsMenu)
{
    EXPECT_EQ(w.form->btnSave->contextMenuPolicy(), Qt::ActionsContextMenu);
    const auto actions = w.form->btnSave->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), "Fade in and out");
    EXPECT_EQ(actions[1]->text(), "Make it loud");
    for (QAction* action : actions) {
        EXPECT_TRUE(action->isCheckable());
        EXPECT_FALSE(action->isChecked());
    }

    // Off: the described command line, and the cut starts loud.
    w.dialogs.answerMessage = [](const fixtures::RecordedMessage&) { return QMessageBox::No; };
    Save(w.files.file("plain.ogg"));
    EXPECT_FALSE(w.form->FCutInfo.options.fadeInOut);
    EXPECT_FALSE(w.form->FCutInfo.options.makeLoud);

    actions[0]->trigger();
    actions[1]->trigger();
    {
        // A window started later finds them on.
        TMainForm later;
        ASSERT_EQ(later.btnSave->actions().size(), 2);
        EXPECT_TRUE(later.btnSave->actions()[0]->isChecked());
        EXPECT_TRUE(later.btnSave->actions()[1]->isChecked());
        later.FormClose(&later);
    }
    const std::string target = w.files.file("faded.ogg");
    Save(target);
    EXPECT_TRUE(w.form->FCutInfo.options.fadeInOut);
    EXPECT_TRUE(w.form->FCutInfo.options.makeLoud);
    // The tool got them: the ringtone starts and ends in silence.
    const std::vector<std::int16_t> samples = DecodeToSamples(target);
    ASSERT_GT(samples.size(), 44100u * 2 * 9);
    for (std::size_t i : {std::size_t(0), std::size_t(1), samples.size() - 2, samples.size() - 1})
        EXPECT_LE(std::abs(int(samples[i])), 33) << i;
    // Its first 10 ms are near silence, where the cut without options is already loud.
    const std::vector<std::int16_t> plain = DecodeToSamples(w.files.file("plain.ogg"));
    ASSERT_GT(plain.size(), 882u);
    auto loudestOfFirst10Ms = [](const std::vector<std::int16_t>& s) {
        int loudest = 0;
        for (std::size_t i = 0; i < 882; ++i)
            loudest = std::max(loudest, std::abs(int(s[i])));
        return loudest;
    };
    EXPECT_GT(loudestOfFirst10Ms(plain), 1000);
    EXPECT_LT(loudestOfFirst10Ms(samples), 100);

    actions[0]->trigger();
    TMainForm afterTurningOff;
    EXPECT_FALSE(afterTurningOff.btnSave->actions()[0]->isChecked());
    EXPECT_TRUE(afterTurningOff.btnSave->actions()[1]->isChecked());
    afterTurningOff.FormClose(&afterTurningOff);
}
