#pragma once
// The click rule of the controls: a click is a left-button release over the control that
// follows a left-button press on it. The second press of a double click starts no click.
#include <QMouseEvent>
#include <QRect>

class ClickTracker {
public:
    void Press(const QMouseEvent& event)
    {
        if (event.button() == Qt::LeftButton)
            pending_ = true;
    }
    void DoubleClick() { pending_ = false; }
    // Whether this release completes a click.
    bool Release(const QMouseEvent& event, const QRect& controlRect)
    {
        if (event.button() != Qt::LeftButton)
            return false;
        const bool click = pending_ && controlRect.contains(event.position().toPoint());
        pending_ = false;
        return click;
    }

private:
    bool pending_ = false;
};
