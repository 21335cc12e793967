#pragma once
// The one seam through which every handler reaches a modal dialog: the open and save
// file dialogs and the message boxes. The desktop implementation shows real dialogs;
// tests install their own answers.
#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

// A file dialog as the window describes it. The filter is written as pairs of
// description and pattern separated by '|' ("Mp3 Music Files (*.mp3)|*.mp3|...").
struct FileDialogRequest {
    QString filter;
    QString defaultExt;        // with its dot (".mp3"); empty for none
    bool confirmOverwrite = false;
    // Where the dialog starts: a folder, or a file whose folder it shows with the file's
    // name proposed; empty leaves it to the dialog.
    QString initialPath = QString();
};

struct FileDialogAnswer {
    QString path;
    int filterIndex = 0;       // which filter entry was selected, from 0
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual std::optional<FileDialogAnswer> OpenFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogAnswer> SaveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    // Returns the button that closed the box; closing it any other way gives the
    // escape button (Cancel or No where there is one).
    virtual QMessageBox::StandardButton Message(QWidget* parent, const QString& caption, const QString& text,
                                                QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) = 0;

    // The dialogs in use: the desktop ones unless a test installed others.
    static Dialogs& Current();
    // Installs a replacement (not owned); nullptr restores the desktop dialogs.
    static void Install(Dialogs* dialogs);
};

// "Mp3 Music Files (*.mp3)|*.mp3|All Files (*.*)|*.*" -> Qt's name filters
// "Mp3 Music Files (*.mp3)" and "All Files (*)".
QStringList TranslateFilter(const QString& filter);
// The extension a filter entry stands for (".amr" for "*.amr"); empty for "*.*" or a list.
QString FilterEntryExtension(const QString& filter, int index);
