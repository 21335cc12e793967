// Files that reach the window from outside: a file dropped on the window, the file named
// on the command line, and the menu entry through which file managers offer the program.
#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "platform/ErrorHandler.h"
#include "strip/WaveRender.h"
#include "support/WindowFixture.h"

using fixtures::WindowFixture;

namespace {

// Drags data over the middle of the window and drops it, as a file manager does; returns
// whether the window took the drag and the drop.
struct DropOutcome {
    bool enterAccepted = false;
    bool dropAccepted = false;
};

DropOutcome DragAndDrop(TMainForm& form, QMimeData& data)
{
    const QPointF middle(form.width() / 2.0, form.height() / 2.0);
    QDragEnterEvent enter(middle.toPoint(), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    DropOutcome outcome;
    outcome.enterAccepted = enter.isAccepted();
    QDropEvent drop(middle, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(&form, &drop);
    outcome.dropAccepted = drop.isAccepted();
    return outcome;
}

QMimeData* UrlData(const QList<QUrl>& urls)
{
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace

TEST(OpenFromOutside, DroppedAudioFileOpensAndAnythingElseIsRefused)
{
    WindowFixture w;
    w.form->show();
    const std::string first = w.files.file("first.wav");
    const std::string dropped = w.files.file("Dropped Song.FLAC");
    const std::string second = w.files.file("second.wav");
    const std::string text = w.files.file("notes.txt");
    ASSERT_TRUE(fixtures::MakeTone(first, 3, 8000, 1));
    ASSERT_TRUE(fixtures::MakeTone(dropped, 4, 8000, 1, {"-f", "flac"}));
    ASSERT_TRUE(fixtures::MakeTone(second, 2, 8000, 1));
    fixtures::WriteFile(text, "not audio");
    w.Open(first);
    ASSERT_EQ(w.form->FSourceFile, QString::fromStdString(first));

    struct Refused {
        const char* what;
        std::function<QMimeData*()> make;
    };
    const Refused refused[] = {
        {"plain text", [] { auto* d = new QMimeData; d->setText("/tmp/song.mp3"); return d; }},
        {"a file of another kind", [&] { return UrlData({QUrl::fromLocalFile(QString::fromStdString(text))}); }},
        {"a remote file", [] { return UrlData({QUrl("https://example.org/song.mp3")}); }},
        {"two files", [&] {
             return UrlData({QUrl::fromLocalFile(QString::fromStdString(dropped)),
                             QUrl::fromLocalFile(QString::fromStdString(second))});
         }},
        {"no urls", [] { return UrlData({}); }},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.what);
        std::unique_ptr<QMimeData> data(r.make());
        const DropOutcome outcome = DragAndDrop(*w.form, *data);
        EXPECT_FALSE(outcome.enterAccepted);
        EXPECT_FALSE(outcome.dropAccepted);
        QApplication::processEvents();
        EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(first));
    }

    // An audio file, its extension in any case, opens as through the Open button.
    EXPECT_TRUE(w.form->acceptDrops());
    std::unique_ptr<QMimeData> data(UrlData({QUrl::fromLocalFile(QString::fromStdString(dropped))}));
    const DropOutcome outcome = DragAndDrop(*w.form, *data);
    EXPECT_TRUE(outcome.enterAccepted);
    EXPECT_TRUE(outcome.dropAccepted);
    ASSERT_TRUE(WindowFixture::WaitFor([&] { return w.form->FSourceFile == QString::fromStdString(dropped); }));
    EXPECT_EQ(w.form->lblFilename->Caption(), "File Name: " + QString::fromStdString(dropped));
    EXPECT_EQ(w.form->lblSampleRate->Caption(), "Sample Rate: 8000");
    EXPECT_EQ(w.form->FRender->StripWidth(), 20);
    EXPECT_EQ(w.form->MediaPlayer1->FileName(), QString::fromStdString(dropped));
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    // No dialog was asked: the drop names the file.
    EXPECT_TRUE(w.dialogs.openRequests.size() == 1);
}

TEST(OpenFromOutside, DroppedFileThatCannotBeReadIsToldAndTheEarlierFileStays)
{
    WindowFixture w;
    w.form->show();
    const std::string first = w.files.file("first.wav");
    const std::string broken = w.files.file("broken.mp3");
    ASSERT_TRUE(fixtures::MakeTone(first, 3, 8000, 1));
    fixtures::WriteFile(broken, std::string(4096, 'x'));
    w.Open(first);
    std::unique_ptr<QMimeData> data(UrlData({QUrl::fromLocalFile(QString::fromStdString(broken))}));
    EXPECT_TRUE(DragAndDrop(*w.form, *data).dropAccepted);
    ASSERT_TRUE(WindowFixture::WaitFor([&] { return !w.dialogs.messages.isEmpty(); }));
    EXPECT_EQ(w.dialogs.messages[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(w.dialogs.messages[0].text.startsWith("\"broken.mp3\" is not an audio file that Tallowick can read"))
        << w.dialogs.messages[0].text.toStdString();
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(first));
}

TEST(OpenFromOutside, CommandLineOpensItsFile)
{
    WindowFixture w;
    w.form->show();
    const std::string song = w.files.file("song.ogg");
    ASSERT_TRUE(fixtures::MakeTone(song, 5, 22050, 2, {"-c:a", "libvorbis"}));
    const QString path = QString::fromStdString(song);
    struct Case {
        const char* what;
        QStringList arguments;
    };
    const Case cases[] = {
        {"a path", {path}},
        {"a file URL, as some desktops pass it", {QUrl::fromLocalFile(path).toString()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w.form->FSourceFile.clear();
        w.form->OpenFromArguments(c.arguments);
        EXPECT_EQ(w.form->FSourceFile, path);
        EXPECT_EQ(w.form->lblSampleRate->Caption(), "Sample Rate: 22050");
        EXPECT_EQ(w.form->FRender->StripWidth(), 25);
    }
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_TRUE(w.dialogs.openRequests.isEmpty());
}

TEST(OpenFromOutside, CommandLineWithoutAFileOrWithABadOneLeavesTheWindowUsable)
{
    WindowFixture w;
    w.form->show();
    w.form->OpenFromArguments({});
    EXPECT_TRUE(w.dialogs.messages.isEmpty());
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());

    const std::string missing = w.files.file("gone.mp3");
    w.form->OpenFromArguments({QString::fromStdString(missing)});
    ASSERT_EQ(w.dialogs.messages.size(), 1);
    EXPECT_EQ(w.dialogs.messages[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(w.form->FSourceFile.isEmpty());
    EXPECT_TRUE(w.form->isVisible());
    // The same box as the Open button gives for that file.
    RunHandler([&] { w.Open(missing); });
    ASSERT_EQ(w.dialogs.messages.size(), 2);
    EXPECT_EQ(w.dialogs.messages[1].text, w.dialogs.messages[0].text);
    EXPECT_FALSE(w.dialogs.messages[0].text.isEmpty());

    // The window still opens a file afterwards.
    const std::string wav = w.files.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(wav, 2, 8000, 1));
    w.Open(wav);
    EXPECT_EQ(w.form->FSourceFile, QString::fromStdString(wav));
}

TEST(DesktopEntry, OffersTheProgramForEveryKindOfFileItOpens)
{
    QFile file(QStringLiteral(TALLOWICK_SOURCE_DIR "/packaging/tallowick.desktop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QString exec, mimeTypes;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith("Exec="))
            exec = line.mid(5);
        if (line.startsWith("MimeType="))
            mimeTypes = line.mid(9);
    }
    // A file manager starts the program with the one file chosen.
    EXPECT_EQ(exec, "tallowick %f");
    const QStringList types = mimeTypes.split(';', Qt::SkipEmptyParts);
    for (const char* type : {"audio/mpeg", "audio/x-wav", "audio/wav", "audio/x-ms-wma", "audio/flac", "audio/x-flac",
                             "audio/ogg", "audio/x-vorbis+ogg", "audio/opus", "audio/mp4", "audio/aac", "audio/x-aiff"}) {
        SCOPED_TRACE(type);
        EXPECT_TRUE(types.contains(type));
    }
    // The entry as a whole follows the desktop entry rules (a MimeType list ends with ';').
    const auto validated = fixtures::RunTool({"desktop-file-validate", file.fileName().toStdString()});
    EXPECT_EQ(validated.exitCode, 0) << validated.standardOutput << validated.standardError;
    EXPECT_EQ(validated.standardOutput, "");
}
