#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

namespace {

struct FilterEntry {
    QString description;
    QString pattern;
};

QList<FilterEntry> SplitFilter(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QList<FilterEntry> entries;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        entries.append({parts[i], parts[i + 1]});
    return entries;
}

// Qt reads the patterns from the parenthesised part of a name filter, so the description
// is rebuilt around the real patterns; "*.*" means every file, which on Linux is "*".
QString QtNameFilter(const FilterEntry& entry)
{
    QStringList patterns = entry.pattern.split(';', Qt::SkipEmptyParts);
    for (QString& p : patterns)
        if (p.trimmed() == "*.*")
            p = "*";
    QString description = entry.description;
    const int paren = description.lastIndexOf('(');
    if (paren > 0)
        description = description.left(paren).trimmed();
    return description + " (" + patterns.join(' ') + ")";
}

QString ButtonText(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return QObject::tr("&Yes");
    case QMessageBox::No: return QObject::tr("&No");
    case QMessageBox::Ok: return QObject::tr("OK");
    case QMessageBox::Cancel: return QObject::tr("Cancel");
    case QMessageBox::Abort: return QObject::tr("&Abort");
    case QMessageBox::Retry: return QObject::tr("&Retry");
    case QMessageBox::Ignore: return QObject::tr("&Ignore");
    default: return QString();
    }
}

class DesktopDialogs final : public Dialogs {
public:
    std::optional<FileDialogAnswer> OpenFile(QWidget* parent, const FileDialogRequest& request) override
    {
        return Run(parent, request, QFileDialog::AcceptOpen);
    }

    std::optional<FileDialogAnswer> SaveFile(QWidget* parent, const FileDialogRequest& request) override
    {
        return Run(parent, request, QFileDialog::AcceptSave);
    }

    QMessageBox::StandardButton Message(QWidget* parent, const QString& caption, const QString& text,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) override
    {
        QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
        box.setTextFormat(Qt::PlainText);
        // The buttons stand in this fixed order whatever the desktop's button layout; one
        // role for all keeps them in the order they are added.
        static const QMessageBox::StandardButton order[] = {QMessageBox::Yes,    QMessageBox::No,
                                                            QMessageBox::Ok,     QMessageBox::Cancel,
                                                            QMessageBox::Abort,  QMessageBox::Retry,
                                                            QMessageBox::Ignore};
        QList<QPair<QAbstractButton*, QMessageBox::StandardButton>> added;
        for (const auto standard : order) {
            if (!(buttons & standard))
                continue;
            QAbstractButton* button = box.addButton(ButtonText(standard), QMessageBox::ActionRole);
            added.append({button, standard});
        }
        // Closing the box or pressing Escape answers Cancel, else No, else OK.
        QMessageBox::StandardButton escape = QMessageBox::NoButton;
        for (const auto candidate : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
            if (escape == QMessageBox::NoButton && (buttons & candidate))
                escape = candidate;
        for (const auto& [button, standard] : added) {
            if (standard == escape)
                box.setEscapeButton(button);
            if (button == added.first().first)
                box.setDefaultButton(qobject_cast<QPushButton*>(button));
        }
        box.exec();
        for (const auto& [button, standard] : added)
            if (box.clickedButton() == button)
                return standard;
        return escape;
    }

private:
    static void StartAt(QFileDialog& dialog, const QString& initialPath)
    {
        if (initialPath.isEmpty())
            return;
        const QFileInfo start(initialPath);
        if (start.isDir()) {
            dialog.setDirectory(start.absoluteFilePath());
            return;
        }
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }

    static std::optional<FileDialogAnswer> Run(QWidget* parent, const FileDialogRequest& request,
                                                QFileDialog::AcceptMode mode)
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(mode);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        const QStringList filters = TranslateFilter(request.filter);
        dialog.setNameFilters(filters);
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.first());
        if (!request.confirmOverwrite)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        StartAt(dialog, request.initialPath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const int filterIndex = int(filters.indexOf(dialog.selectedNameFilter()));
        QString path = dialog.selectedFiles().first();
        // A name typed without an extension gets the extension of the selected entry, or
        // the default extension when that entry stands for no single one. This is done
        // here rather than by the dialog's default suffix, which does not follow the entry.
        if (mode == QFileDialog::AcceptSave && !QFileInfo(path).fileName().contains('.')) {
            QString ext = FilterEntryExtension(request.filter, filterIndex);
            if (ext.isEmpty())
                ext = request.defaultExt;
            path += ext;
        }
        return FileDialogAnswer{path, filterIndex};
    }
};

Dialogs* installed = nullptr;

}  // namespace

Dialogs& Dialogs::Current()
{
    static DesktopDialogs desktop;
    return installed ? *installed : desktop;
}

void Dialogs::Install(Dialogs* dialogs)
{
    installed = dialogs;
}

QStringList TranslateFilter(const QString& filter)
{
    QStringList result;
    for (const FilterEntry& entry : SplitFilter(filter))
        result.append(QtNameFilter(entry));
    return result;
}

QString FilterEntryExtension(const QString& filter, int index)
{
    const QList<FilterEntry> entries = SplitFilter(filter);
    if (index < 0 || index >= entries.size())
        return {};
    const QString pattern = entries[index].pattern.trimmed();
    if (!pattern.startsWith("*.") || pattern.contains(';') || pattern == "*.*")
        return {};
    return pattern.mid(1);
}
