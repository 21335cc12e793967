// The reader's error box: caption, icon, text, the three buttons in order and their answers.
#include "audio/MPGErrorBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// Shows the box for the reader and lets act answer it once it is on screen.
std::uint16_t AnswerBox(const TMPEGAudio& reader, const std::function<void(QMessageBox&)>& act)
{
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer.stop();
        act(*box);
    });
    timer.start();
    return ShowReadErrorBox(reader);
}

QAbstractButton* ButtonNamed(QMessageBox& box, const QString& text)
{
    for (auto* button : box.buttons())
        if (button->text().remove('&') == text)
            return button;
    return nullptr;
}

TEST(MPGErrorBox, LooksAsDescribedAndAnswersEachButton)
{
    TMPEGAudio reader;
    reader.SetAutoLoad(false);
    reader.SetFileName("/music/a song.mp3");

    struct Case { const char* name; std::function<void(QMessageBox&)> act; std::uint16_t answer; };
    const Case cases[] = {
        {"Cancel", [](QMessageBox& b) { ButtonNamed(b, "Cancel")->click(); }, TMPEGAudio::mrCancel},
        {"Retry", [](QMessageBox& b) { ButtonNamed(b, "Retry")->click(); }, TMPEGAudio::mrRetry},
        {"Ignore", [](QMessageBox& b) { ButtonNamed(b, "Ignore")->click(); }, TMPEGAudio::mrIgnore},
        {"closed", [](QMessageBox& b) { b.close(); }, TMPEGAudio::mrCancel},
        {"Escape", [](QMessageBox& b) {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&b, &escape);
         }, TMPEGAudio::mrCancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList order;
        const std::uint16_t answer = AnswerBox(reader, [&](QMessageBox& box) {
            caption = box.windowTitle();
            text = box.text();
            icon = box.icon();
            auto buttons = box.buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (auto* button : buttons)
                order << button->text().remove('&');
            c.act(box);
        });
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(caption, "Error");
        EXPECT_EQ(text, "Error openning file: /music/a song.mp3");
        EXPECT_EQ(icon, QMessageBox::Critical);
        EXPECT_EQ(order, QStringList({"Cancel", "Retry", "Ignore"}));
    }
}

TEST(MPGErrorBox, AsTheReadersHandlerRetryReadsAgain)
{
    TMPEGAudio reader;
    reader.SetAutoLoad(false);
    reader.SetReadErrorHandler(ShowReadErrorBox);
    reader.SetFileName("/nonexistent-folder/x.mp3");
    int boxes = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ++boxes;
        ButtonNamed(*box, boxes == 1 ? "Retry" : "Cancel")->click();
    });
    timer.start();
    EXPECT_EQ(reader.Load(), TMPEGAudio::mrCancel);
    EXPECT_EQ(boxes, 2);
}

}  // namespace
