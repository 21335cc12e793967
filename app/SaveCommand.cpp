// The Save command: asks for a target and hands the selection to a conversion worker.
#include <QApplication>

#include "app/DialogStart.h"
#include "app/appDefine.h"
#include "app/mainunit.h"
#include "base/FileIdentity.h"
#include "export/CommandLine.h"
#include "platform/Dialogs.h"
#include "platform/FileExtension.h"
#include "strip/TimeText.h"
#include "strip/WaveRender.h"

namespace {

const char* const kSaveFilter = "Mp3 Music File (*.mp3)|*.mp3|AMR Ringtone (*.amr)|*.amr|"
                                "iPhone Ringtone (*.m4r)|*.m4r|Ogg Ringtone (*.ogg)|*.ogg";
const char* const kSaveDefaultExt = ".mp3";
const char* const kBusyNotice =
    "A ringtone is still being converted. Please wait until it has finished before saving another one.";
const char* const kNoFileNotice = "Please open an audio file first: there is nothing to save yet.";
const char* const kReplacesSourceNotice = "The ringtone cannot replace the file it is cut from.";
const char* const kWrongExtensionNotice = "Only .mp3, .amr, .m4r and .ogg files can be written. Please choose a name "
                                          "ending in .mp3, .amr, .m4r or .ogg.";
const char* const kLongRingtoneQuestion =
    "iPhone ringtones can be at most 40 seconds long. Save the first 40 seconds?";
// The longest ringtone an iPhone takes, in seconds.
constexpr int64_t kLongestIphoneRingtone = 40;

void Notice(QWidget* window, const QString& text)
{
    Dialogs::Current().Message(window, QApplication::applicationDisplayName(), text, QMessageBox::Information,
                                QMessageBox::Ok);
}

}  // namespace

void TMainForm::btnSaveClick(QObject*)
{
    if (IsConverting) {
        Notice(this, kBusyNotice);
        return;
    }
    if (FSourceFile.isEmpty() || !FRender) {
        Notice(this, kNoFileNotice);
        return;
    }
    const auto answer = Dialogs::Current().SaveFile(
        this, {kSaveFilter, kSaveDefaultExt, false, SaveDialogStart(FSourceFile, kSaveDefaultExt)});
    if (!answer)
        return;
    RememberSaveDialogAnswer(answer->path);
    FTargetFile = answer->path;
    if (!CommandTemplateFor(FTargetFile.toStdString())) {
        Notice(this, kWrongExtensionNotice);
        return;
    }
    // The target is written over whatever file it names; the song itself is never it,
    // whatever the spelling or link that leads to it.
    if (base::IsSameFile(FSourceFile.toStdString(), FTargetFile.toStdString())) {
        Notice(this, kReplacesSourceNotice);
        return;
    }
    FCutInfo.SourceFile = FSourceFile;
    FCutInfo.TargetFile = FTargetFile;
    const int64_t begin = FRender->BeginSecond();
    FCutInfo.StartTime = QString::fromStdString(FormatTimeText(begin));
    int64_t length = int64_t(FRender->EndSecond()) - begin;
    // A phone refuses a longer ringtone; the user may take its first 40 seconds instead.
    if (length > kLongestIphoneRingtone && HasExtension(FTargetFile.toStdString(), ".m4r")) {
        const auto answer = Dialogs::Current().Message(this, QApplication::applicationDisplayName(),
                                                        kLongRingtoneQuestion, QMessageBox::Question,
                                                        QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        length = kLongestIphoneRingtone;
    }
    FCutInfo.CutLength = QString::fromStdString(FormatTimeText(length));
    FCutInfo.options = ChosenExportOptions();
    // The flag is set before the worker exists, so that it can never be cleared first.
    IsConverting = true;
    try {
        TCutMp3Thread::Start(FCutInfo, {WorkDir, WorkDirTrusted, &IsConverting, this, sb_status});
    } catch (...) {
        IsConverting = false;
        throw;
    }
}
