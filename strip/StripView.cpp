#include "strip/StripView.h"

#include <QPaintEvent>
#include <QPainter>

#include "strip/WaveRender.h"

StripView::StripView(QWidget* parent) : TImage(parent)
{
    // Every pixel it shows is drawn by the strip; nothing beneath needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

StripView::~StripView()
{
    if (strip_)
        strip_->OnChange = nullptr;
}

void StripView::SetStrip(TWaveRender* strip)
{
    if (strip_)
        strip_->OnChange = nullptr;
    strip_ = strip;
    if (strip_)
        strip_->OnChange = [this] { update(); };
    update();
}

QRect StripView::VisibleRect() const
{
    if (!parentWidget())
        return rect();
    return rect() & QRect(mapFromParent(QPoint(0, 0)), parentWidget()->size());
}

void StripView::Render(int firstColumn, int count)
{
    const int height = strip_->StripHeight();
    if (buffer_.width() != count || buffer_.height() != height) {
        buffer_ = QImage(count, height, QImage::Format_RGB32);
        canvas_.SetBitmap(&buffer_);
    }
    // The strip paints every row of its own columns; columns beyond its ends (a control
    // wider than its strip) show the background.
    if (firstColumn < 0 || int64_t(firstColumn) + count > strip_->StripWidth())
        buffer_.fill(ToPixel(TWaveRender::BackColor));
    strip_->PaintColumns(canvas_, firstColumn, count);
}

QImage StripView::VisibleImage()
{
    const QRect visible = VisibleRect();
    if (!strip_ || visible.isEmpty())
        return {};
    Render(visible.left(), visible.width());
    return buffer_.copy();
}

void StripView::paintEvent(QPaintEvent* event)
{
    const QRect area = event->rect() & VisibleRect();
    if (area.isEmpty())
        return;
    QPainter painter(this);
    if (!strip_) {
        painter.fillRect(area, ToQColor(TWaveRender::BackColor));
        return;
    }
    Render(area.left(), area.width());
    painter.drawImage(area.left(), 0, buffer_);
}
