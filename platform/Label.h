#pragma once
// A transparent text label drawn over the window's background picture. A fixed-size
// label cuts its text at its right edge; with AutoSize on, the label's width follows its
// text and it grows to the right from its left edge.
#include <QLabel>

#include "platform/ClickTracker.h"

class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr);

    void SetCaption(const QString& text);
    QString Caption() const { return text(); }

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);

    // Font colour as 0x00BBGGRR.
    void SetFontColor(unsigned int color);
    unsigned int FontColor() const { return fontColor_; }

    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }

signals:
    void Click();
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseLeave();

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void FitWidth();

    bool autoSize_ = false;
    ClickTracker click_;
    unsigned int fontColor_ = 0x000000;
};
