#include "export/CutMp3Thread.h"

#include <QApplication>
#include <optional>
#include <sys/stat.h>
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
    return {OwnCopy(info.SourceFile), OwnCopy(info.TargetFile), OwnCopy(info.StartTime), OwnCopy(info.CutLength),
            info.options};
}

// What tells one version of a file from the next: the tool writes a new file and
// renames it over the target, so a written target is a new inode, or at least a later
// change time.
struct FileStamp {
    dev_t device;
    ino_t inode;
    struct timespec changed;
};

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return FileStamp{info.st_dev, info.st_ino, info.st_ctim};
}

// Whether the file at path was written after the stamp taken before (none: it did not
// exist then).
bool WrittenSince(const std::string& path, const std::optional<FileStamp>& before)
{
    const auto now = StampOf(path);
    if (!now)
        return false;
    if (!before)
        return true;
    if (now->device != before->device || now->inode != before->inode)
        return true;
    return now->changed.tv_sec > before->changed.tv_sec ||
           (now->changed.tv_sec == before->changed.tv_sec && now->changed.tv_nsec > before->changed.tv_nsec);
}

}  // namespace

void TCutMp3Thread::Start(const TCutMp3ThreadInfo& info, const ConversionSetup& setup)
{
    PrepareMainThreadCalls();
    auto* worker = new TCutMp3Thread(info, setup);
    std::thread([worker] {
        worker->Execute();
        delete worker;
    }).detach();
}

TCutMp3Thread::TCutMp3Thread(const TCutMp3ThreadInfo& info, const ConversionSetup& setup)
    : FInfo(OwnCopy(info)),
      workDir_(OwnCopy(setup.workDir)),
      workDirTrusted_(setup.workDirTrusted),
      busy_(setup.busy),
      link_(new WindowLink{setup.window, setup.statusLabel})
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
        return "Only .mp3, .amr, .m4r and .ogg targets can be written: " + FInfo.TargetFile;
    const QString toolPath = workDir_ + kToolFileName;
    const auto tool = workDirTrusted_ ? OpenPrivateProgram(workDir_.toStdString(), kToolFileName) : std::nullopt;
    if (!tool)
        return "The encoder tool is unavailable: " + toolPath + " is missing or could be changed by other users.";
    const ToolCommandLine command =
        FillCommandTemplate(commandTemplate, FInfo.SourceFile.toStdString(), FInfo.StartTime.toStdString(),
                            FInfo.CutLength.toStdString(), target, FInfo.options);
    const auto before = StampOf(target);
    // The tool tells its progress on a channel of its own; the status line shows it after
    // the described text: "Generating <target> ... 45%".
    const QString generating = FStatus;
    int shownPercent = -1;
    const auto showProgress = [&](int percent) {
        if (percent == shownPercent)
            return;
        shownPercent = percent;
        FStatus = generating + QString(" %1%").arg(percent);
        UpdateStatus();
    };
    const RunResult run = RunAndWait(tool->program.get(), command.arguments, tool->folder.get(), showProgress);
    if (!run.started)
        return "The encoder tool could not be started: " + QString::fromStdString(run.message);
    if (run.exitCode != 0)
        return run.message.empty() ? QString("The encoder tool failed (exit status %1).").arg(run.exitCode)
                                   : QString::fromStdString(run.message);
    if (!WrittenSince(target, before))
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
        const auto answer = Dialogs::Current().Message(link_->window, "Confirm", kOpenFolderQuestion,
                                                        QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            OpenFolderInFileManager(OwnCopy(FInfo.TargetFile.left(FInfo.TargetFile.lastIndexOf('/') + 1)));
    });
}

void TCutMp3Thread::ShowFailure(const QString& reason)
{
    RunOnMainThread([this, &reason] {
        if (link_->window)
            Dialogs::Current().Message(link_->window, QApplication::applicationDisplayName(), OwnCopy(reason),
                                        QMessageBox::Critical, QMessageBox::Ok);
    });
}
