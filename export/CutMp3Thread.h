#pragma once
// The conversion worker: runs the encoder tool once for one export request on a thread
// of its own, reports its progress in the window's status label ("Generating <target> ...",
// followed by the percentage that the tool reports), and ends with the final question (or
// the reason the export failed). It frees itself when done.
#include <QPointer>
#include <QString>
#include <atomic>

#include "export/CommandLine.h"

class QWidget;
class TLabel;

struct TCutMp3ThreadInfo {
    QString SourceFile;
    QString TargetFile;
    QString StartTime;
    QString CutLength;
    ExportOptions options;   // fades and loudness; none by default
};

extern const char* const kConvertingStatus;   // "Converting Mp3 Ringtone ... "
extern const char* const kGeneratingStatus;   // "Generating %s ..."
extern const char* const kCompletedStatus;    // "Completed."
extern const char* const kFailedStatus;
extern const char* const kOpenFolderQuestion;

// What a worker needs besides the request, handed to it when it starts.
struct ConversionSetup {
    QString workDir;              // the work folder holding the tool, ending in "/"
    bool workDirTrusted = false;  // whether the folder passed the private-folder checks
    // Set by the caller before it starts the worker; the worker clears it when it ends.
    std::atomic<bool>* busy = nullptr;
    // The window and its status label; touched on the main thread only, and not at all
    // once they are gone.
    QWidget* window = nullptr;
    TLabel* statusLabel = nullptr;
};

class TCutMp3Thread {
public:
    // Copies the request and the setup and starts the worker at once.
    static void Start(const TCutMp3ThreadInfo& info, const ConversionSetup& setup);

    ~TCutMp3Thread();   // clears the busy flag, on the worker thread

private:
    TCutMp3Thread(const TCutMp3ThreadInfo& info, const ConversionSetup& setup);
    void Execute();
    void UpdateStatus();
    void ShowResult();
    void ShowFailure(const QString& reason);
    // Runs the tool; returns the reason of a failure, or an empty text on success.
    QString Convert();

    // The window and its status label, guarded against their destruction. The guards are
    // made, read and freed on the main thread only.
    struct WindowLink {
        QPointer<QWidget> window;
        QPointer<TLabel> statusLabel;
    };

    QString FStatus;
    TCutMp3ThreadInfo FInfo;
    QString workDir_;
    bool workDirTrusted_;
    std::atomic<bool>* busy_;
    WindowLink* link_;
};
