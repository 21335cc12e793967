#pragma once
// The window's dialogs answered for a probe: the open dialog picks the file given on the
// probe's command line (and tells when it answered), the save dialog is cancelled, and
// any message box ends the probe, since a probe that meets one measures nothing.
#include <QElapsedTimer>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/Dialogs.h"

class PickFile : public Dialogs {
public:
    // clock, when given, dates the answer in answeredNs.
    explicit PickFile(QString path, const QElapsedTimer* clock = nullptr) : path_(std::move(path)), clock_(clock) {}

    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest&) override
    {
        if (clock_)
            answeredNs = clock_->nsecsElapsed();
        return FileDialogAnswer{path_, 0};
    }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest&) override { return {}; }
    QMessageBox::StandardButton Message(QWidget*, const QString&, const QString& text, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        std::exit(2);
    }

    qint64 answeredNs = -1;

private:
    QString path_;
    const QElapsedTimer* clock_;
};
