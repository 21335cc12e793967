// Filters of the file dialogs and the default error box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <stdexcept>

#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"

namespace {

const QString kOpenFilter =
    "Mp3 Music Files (*.mp3)|*.mp3|Wave Files (*.wav)|*.wav|WMA Files (*.wma)|*.wma|All Files (*.*)|*.*";

class RecordingDialogs : public Dialogs {
public:
    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest&) override { return {}; }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest&) override { return {}; }
    QMessageBox::StandardButton Message(QWidget*, const QString& caption, const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons) override
    {
        captions << caption;
        texts << text;
        icons << icon;
        return QMessageBox::Ok;
    }
    QStringList captions, texts;
    QList<QMessageBox::Icon> icons;
};

}  // namespace

TEST(Dialogs, TranslatesFiltersToQtForm)
{
    EXPECT_EQ(TranslateFilter(kOpenFilter),
              QStringList({"Mp3 Music Files (*.mp3)", "Wave Files (*.wav)", "WMA Files (*.wma)", "All Files (*)"}));
    EXPECT_EQ(TranslateFilter("Mp3 Music File (*.mp3)|*.mp3|AMR Ringtone (*.amr)|*.amr"),
              QStringList({"Mp3 Music File (*.mp3)", "AMR Ringtone (*.amr)"}));
    EXPECT_EQ(TranslateFilter("Sounds|*.wav;*.mp3"), QStringList({"Sounds (*.wav *.mp3)"}));
    EXPECT_TRUE(TranslateFilter("").isEmpty());
}

TEST(Dialogs, EntryExtensions)
{
    EXPECT_EQ(FilterEntryExtension("Mp3 Music File (*.mp3)|*.mp3|AMR Ringtone (*.amr)|*.amr", 1), ".amr");
    EXPECT_EQ(FilterEntryExtension(kOpenFilter, 0), ".mp3");
    EXPECT_EQ(FilterEntryExtension(kOpenFilter, 3), "");
    EXPECT_EQ(FilterEntryExtension(kOpenFilter, 9), "");
    EXPECT_EQ(FilterEntryExtension("Sounds|*.wav;*.mp3", 0), "");
}

TEST(ErrorHandler, AppendsFullStopOnlyAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(ErrorBoxText("No MCI device open"), "No MCI device open.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Really?"), "Really?.");   // '?' sorts after '.'
    EXPECT_EQ(ErrorBoxText("Wait!"), "Wait!");        // '!' sorts before '.'
    EXPECT_EQ(ErrorBoxText("ends in -"), "ends in -");
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(ErrorHandler, ErrorsEscapingHandlersReachTheErrorBox)
{
    RecordingDialogs dialogs;
    Dialogs::Install(&dialogs);
    bool after = false;
    RunHandler([] { throw std::runtime_error("Unknown error code"); });
    RunHandler([] { throw 42; });
    RunHandler([&] { after = true; });
    Dialogs::Install(nullptr);
    EXPECT_TRUE(after);
    ASSERT_EQ(dialogs.texts.size(), 2);
    EXPECT_EQ(dialogs.texts[0], "Unknown error code.");
    EXPECT_EQ(dialogs.captions[0], QApplication::applicationDisplayName());
    EXPECT_EQ(dialogs.icons[0], QMessageBox::Critical);
    EXPECT_EQ(dialogs.texts[1], "Unknown error.");
}

namespace {

// Answers the desktop's save dialog once it is up: picks a filter entry, types a name, accepts.
std::optional<FileDialogAnswer> AnswerSaveDialog(const QString& folder, int filterIndex, const QString& typed)
{
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        timer.stop();
        // As a user does: through the file-type box, which tells the dialog of the choice.
        if (auto* types = dialog->findChild<QComboBox*>("fileTypeCombo")) {
            types->setCurrentIndex(filterIndex);
            emit types->activated(filterIndex);
        }
        dialog->setDirectory(folder);
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    timer.start();
    return Dialogs::Current().SaveFile(nullptr, {"Mp3 Music File (*.mp3)|*.mp3|AMR Ringtone (*.amr)|*.amr", ".mp3", false});
}

}  // namespace

TEST(Dialogs, SaveDialogAddsTheSelectedEntrysExtension)
{
    QTemporaryDir folder;
    struct Case {
        int filterIndex;
        QString typed;
        QString expectedName;
    };
    const Case cases[] = {
        {0, "ring", "ring.mp3"},
        {1, "ring", "ring.amr"},
        {1, "tone.mp3", "tone.mp3"},
        {0, "keep.amr", "keep.amr"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expectedName.toStdString());
        const auto answer = AnswerSaveDialog(folder.path(), c.filterIndex, c.typed);
        ASSERT_TRUE(answer);
        EXPECT_EQ(QFileInfo(answer->path).fileName(), c.expectedName);
        EXPECT_EQ(answer->filterIndex, c.filterIndex);
    }
    // An existing file is chosen without a question.
    QFile existing(folder.filePath("old.mp3"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    const auto answer = AnswerSaveDialog(folder.path(), 0, "old.mp3");
    ASSERT_TRUE(answer);
    EXPECT_EQ(QFileInfo(answer->path).fileName(), "old.mp3");
}

TEST(Dialogs, FileDialogsStartWhereTheRequestSays)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir().mkdir(folder.filePath("Rings")));
    const QString rings = QFileInfo(folder.filePath("Rings")).canonicalFilePath();
    struct Case {
        const char* what;
        bool save;
        QString initialPath;
        QString expectedFolder;
        QString expectedName;
    };
    const Case cases[] = {
        {"open in a folder", false, rings, rings, ""},
        {"save in a folder", true, rings, rings, ""},
        {"save with a proposed name", true, rings + "/song (ringtone).mp3", rings, "song (ringtone).mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString shownFolder, shownName;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            timer.stop();
            shownFolder = dialog->directory().canonicalPath();
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
                shownName = name->text();
            QMetaObject::invokeMethod(dialog, "reject");
        });
        timer.start();
        const FileDialogRequest request{"Mp3 Music File (*.mp3)|*.mp3", ".mp3", false, c.initialPath};
        const auto answer = c.save ? Dialogs::Current().SaveFile(nullptr, request)
                                   : Dialogs::Current().OpenFile(nullptr, request);
        EXPECT_FALSE(answer);
        EXPECT_EQ(shownFolder, c.expectedFolder);
        EXPECT_EQ(shownName, c.expectedName);
    }
}
