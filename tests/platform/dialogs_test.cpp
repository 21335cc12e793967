// Filters of the file dialogs and the default error box.
#include <gtest/gtest.h>

#include <QApplication>
#include <stdexcept>

#include "platform/Dialogs.h"
#include "platform/ErrorHandler.h"

namespace {

const QString kOpenFilter =
    "Mp3 Music Files (*.mp3)|*.mp3|Wave Files (*.wav)|*.wav|WMA Files (*.wma)|*.wma|All Files (*.*)|*.*";

class RecordingDialogs : public TDialogs {
public:
    std::optional<TFileDialogAnswer> OpenFile(QWidget*, const TFileDialogRequest&) override { return {}; }
    std::optional<TFileDialogAnswer> SaveFile(QWidget*, const TFileDialogRequest&) override { return {}; }
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
    TDialogs::Install(&dialogs);
    bool after = false;
    RunHandler([] { throw std::runtime_error("Unknown error code"); });
    RunHandler([] { throw 42; });
    RunHandler([&] { after = true; });
    TDialogs::Install(nullptr);
    EXPECT_TRUE(after);
    ASSERT_EQ(dialogs.texts.size(), 2);
    EXPECT_EQ(dialogs.texts[0], "Unknown error code.");
    EXPECT_EQ(dialogs.captions[0], QApplication::applicationDisplayName());
    EXPECT_EQ(dialogs.icons[0], QMessageBox::Critical);
    EXPECT_EQ(dialogs.texts[1], "Unknown error.");
}
