#pragma once
// The conversion worker: runs the encoder tool once for one export request on a thread
// of its own, reports its progress in the window's status label, and ends with the
// final question (or the reason the export failed). It frees itself when done.
#include <QPointer>
#include <QString>

class QWidget;
class TLabel;

struct TCutMp3ThreadInfo {
    QString SourceFile;
    QString TargetFile;
    QString StartTime;
    QString CutLength;
};

extern const char* const kConvertingStatus;   // "Converting Mp3 Ringtone ... "
extern const char* const kGeneratingStatus;   // "Generating %s ..."
extern const char* const kCompletedStatus;    // "Completed."
extern const char* const kFailedStatus;
extern const char* const kOpenFolderQuestion;

class TCutMp3Thread {
public:
    // Copies the request and starts the worker at once. The window and label are only
    // touched on the main thread, and not at all once they are gone.
    static void Start(const TCutMp3ThreadInfo& info, QWidget* window, TLabel* statusLabel);

    ~TCutMp3Thread();   // clears IsConverting, on the worker thread

private:
    TCutMp3Thread(const TCutMp3ThreadInfo& info, QWidget* window, TLabel* statusLabel);
    void Execute();
    void UpdateStatus();
    void ShowResult();
    void ShowFailure(const QString& reason);
    // Runs the tool; returns the reason of a failure, or an empty text on success.
    QString Convert();

    // The window and its status label, guarded against their destruction. The guards are
    // made, read and freed on the main thread only.
    struct TWindowLink {
        QPointer<QWidget> window;
        QPointer<TLabel> statusLabel;
    };

    QString FStatus;
    TCutMp3ThreadInfo FInfo;
    TWindowLink* link_;
};
