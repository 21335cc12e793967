#pragma once
// A transparent text label drawn over the window's background picture. A fixed-size
// label cuts its text at its right edge, or, with middle elision on, shortens it in the
// middle with an ellipsis while keeping a tail of it whole (a file's name after its
// folder); Caption() is always the whole text. With AutoSize on, the label's width
// follows its text and it grows to the right from its left edge.
#include <QLabel>

#include "platform/ClickTracker.h"

class TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr);

    void SetCaption(const QString& text);
    QString Caption() const { return text(); }

    // Shortens a caption too wide for the label in the middle; its first keptHead and
    // last keptTail characters stay whole wherever they fit (else the whole caption is
    // shortened in the middle). Off (the default) cuts the caption at the label's right
    // edge.
    void SetMiddleElision(bool on, int keptHead = 0, int keptTail = 0);
    // The text as the label paints it.
    QString ShownText() const;

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
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void FitWidth();

    bool autoSize_ = false;
    bool elideMiddle_ = false;
    int keptHead_ = 0;
    int keptTail_ = 0;
    ClickTracker click_;
    unsigned int fontColor_ = 0x000000;
};
