#pragma once
// The strip's view: a control as wide as the strip (one pixel a column), meant to sit in a
// scroll area, that draws in its paint event only the columns its viewport shows, from
// the strip's model. It keeps no picture of the whole strip, so a strip of many hours
// costs no more memory or drawing than a short one, and a change of a marker or the cursor
// only schedules a redraw of what is seen. Its mouse events are those of the image control,
// with x in strip columns.
#include <QImage>
#include <QRect>
#include <QWidget>

#include "platform/Canvas.h"
#include "platform/ImageControl.h"

class TWaveRender;

class StripView : public TImage {
    Q_OBJECT
public:
    explicit StripView(QWidget* parent = nullptr);
    ~StripView() override;

    // The strip shown; not owned, null for none. The view redraws on each of its changes,
    // so a strip set here must be set back to null before it is destroyed.
    void SetStrip(TWaveRender* strip);
    TWaveRender* Strip() const { return strip_; }

    // The part of the control that its parent (the scroll area's viewport) shows; the
    // whole control when it has no parent.
    QRect VisibleRect() const;
    // The visible columns as they are drawn on screen (no strip: an empty image).
    QImage VisibleImage();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws the columns of the given stretch into the buffer, which it sizes to them.
    void Render(int firstColumn, int count);

    TWaveRender* strip_ = nullptr;
    // The drawing of the last stretch shown, and a canvas over it that keeps the ruler's
    // rendered numbers from one redraw to the next.
    QImage buffer_;
    TCanvas canvas_;
};
