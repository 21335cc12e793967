#pragma once
// Dialog answers for window tests: installed for the lifetime of the object, it records
// every message box and answers the file dialogs and boxes from queues or a callback.
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "platform/Dialogs.h"

namespace fixtures {

struct RecordedMessage {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

class FakeDialogs : public Dialogs {
public:
    FakeDialogs() { Dialogs::Install(this); }
    ~FakeDialogs() override { Dialogs::Install(nullptr); }

    // nullopt answers a dialog with Cancel; an empty queue cancels too.
    std::deque<std::optional<FileDialogAnswer>> openAnswers;
    std::deque<std::optional<FileDialogAnswer>> saveAnswers;
    // Decides a message box's answer; without one, boxes answer with their escape button.
    std::function<QMessageBox::StandardButton(const RecordedMessage&)> answerMessage;

    QList<RecordedMessage> messages;
    QList<FileDialogRequest> openRequests, saveRequests;

    std::optional<FileDialogAnswer> OpenFile(QWidget*, const FileDialogRequest& request) override
    {
        openRequests.append(request);
        return Next(openAnswers);
    }
    std::optional<FileDialogAnswer> SaveFile(QWidget*, const FileDialogRequest& request) override
    {
        saveRequests.append(request);
        return Next(saveAnswers);
    }
    QMessageBox::StandardButton Message(QWidget*, const QString& caption, const QString& text, QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons) override
    {
        const RecordedMessage message{caption, text, icon, buttons};
        messages.append(message);
        if (answerMessage)
            return answerMessage(message);
        for (const auto b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok})
            if (buttons & b)
                return b;
        return QMessageBox::NoButton;
    }

    static std::optional<FileDialogAnswer> Pick(const std::string& path, int filterIndex = 0)
    {
        return FileDialogAnswer{QString::fromStdString(path), filterIndex};
    }

private:
    static std::optional<FileDialogAnswer> Next(std::deque<std::optional<FileDialogAnswer>>& queue)
    {
        std::optional<FileDialogAnswer> answer;
        if (!queue.empty()) {
            answer.swap(queue.front());
            queue.pop_front();
        }
        return answer;
    }
};

}  // namespace fixtures
