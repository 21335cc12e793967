#include "export/CutMp3Thread.h"

#include <QApplication>
#include <QFileInfo>
#include <thread>

#include "export/CommandLine.h"
#include "export/RunAndWait.h"
#include "platform/Dialogs.h"
#include "platform/Label.h"
#include "platform/MainThread.h"
#include "platform/PrivateFolder.h"
#include "platform/Shell.h"

const char* const kConvertingStatus = "Converting Mp3 Ringtone ... ";
const char* const kGeneratingStatus = "Generating %s ...";
const char* const kCompletedStatus = "Completed.";
const char* const kFailedStatus = "Export failed.";
const char* const kOpenFolderQuestion = "Completed. Do you want to open the target directory?";

namespace {

// Texts cross between the threads only as copies of their characters, never as shared
// data whose last owner could be on the other thread.
QString OwnCopy(const QString& text)
{
    return QString(text.constData(), text.size());
}

TCutMp3ThreadInfo OwnCopy(const TCutMp3ThreadInfo& info)
{
    return {OwnCopy(info.SourceFile), OwnCopy(info.TargetFile), OwnCopy(info.StartTime), OwnCopy(info.CutLength)};
}

}  // namespace

void TCutMp3Thread::Start(const TCutMp3ThreadInfo& info, const TConversionSetup& setup)
{
    PrepareMainThreadCalls();
    auto* worker = new TCutMp3Thread(info, setup);
    std::thread([worker] {
        worker->Execute();
        delete worker;
    }).detach();
}

TCutMp3Thread::TCutMp3Thread(const TCutMp3ThreadInfo& info, const TConversionSetup& setup)
    : FInfo(OwnCopy(info)),
      workDir_(OwnCopy(setup.workDir)),
      workDirTrusted_(setup.workDirTrusted),
      busy_(setup.busy),
      link_(new TWindowLink{setup.window, setup.statusLabel})
{
}

TCutMp3Thread::~TCutMp3Thread()
{
    if (busy_)
        *busy_ = false;
}

void TCutMp3Thread::Execute()
{
    FStatus = kConvertingStatus;
    UpdateStatus();
    FStatus = QString(kGeneratingStatus).replace("%s", FInfo.TargetFile);
    UpdateStatus();
    const QString failure = Convert();
    if (failure.isEmpty()) {
        FStatus = kCompletedStatus;
        UpdateStatus();
        ShowResult();
    } else {
        FStatus = kFailedStatus;
        UpdateStatus();
        ShowFailure(failure);
    }
    RunOnMainThread([this] { delete link_; });
}

QString TCutMp3Thread::Convert()
{
    const std::string target = FInfo.TargetFile.toStdString();
    const char* commandTemplate = CommandTemplateFor(target);
    if (!commandTemplate)
        return "Only .mp3 and .amr targets can be written: " + FInfo.TargetFile;
    const QString toolPath = workDir_ + kToolFileName;
    if (!workDirTrusted_ || !IsPrivateExecutable(toolPath.toStdString()))
        return "The encoder tool is unavailable: " + toolPath + " is missing or could be changed by other users.";
    const TCommandLine command =
        FillCommandTemplate(commandTemplate, FInfo.SourceFile.toStdString(), FInfo.StartTime.toStdString(),
                            FInfo.CutLength.toStdString(), target);
    const TRunResult run = RunAndWait(toolPath.toStdString(), command.arguments, workDir_.toStdString());
    if (!run.started)
        return "The encoder tool could not be started: " + QString::fromStdString(run.message);
    if (run.exitCode != 0)
        return run.message.empty() ? QString("The encoder tool failed (exit status %1).").arg(run.exitCode)
                                   : QString::fromStdString(run.message);
    if (!QFileInfo(FInfo.TargetFile).isFile())
        return "The encoder tool wrote no file at " + FInfo.TargetFile;
    return {};
}

void TCutMp3Thread::UpdateStatus()
{
    RunOnMainThread([this] {
        if (link_->statusLabel)
            link_->statusLabel->SetCaption(OwnCopy(FStatus));
    });
}

void TCutMp3Thread::ShowResult()
{
    RunOnMainThread([this] {
        if (!link_->window)
            return;
        const auto answer = TDialogs::Current().Message(link_->window, "Confirm", kOpenFolderQuestion,
                                                        QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            OpenFolderInFileManager(OwnCopy(FInfo.TargetFile.left(FInfo.TargetFile.lastIndexOf('/') + 1)));
    });
}

void TCutMp3Thread::ShowFailure(const QString& reason)
{
    RunOnMainThread([this, &reason] {
        if (link_->window)
            TDialogs::Current().Message(link_->window, QApplication::applicationDisplayName(), OwnCopy(reason),
                                        QMessageBox::Critical, QMessageBox::Ok);
    });
}
