#include "platform/Label.h"

#include <QMouseEvent>

#include "platform/Canvas.h"

TLabel::TLabel(QWidget* parent) : QLabel(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setMouseTracking(true);
    // Mnemonics are not part of these texts: an ampersand shows as itself.
    setTextInteractionFlags(Qt::NoTextInteraction);
}

void TLabel::SetCaption(const QString& text)
{
    if (text == this->text())
        return;
    setText(text);
    FitWidth();
}

void TLabel::SetAutoSize(bool on)
{
    autoSize_ = on;
    FitWidth();
}

void TLabel::SetFontColor(unsigned int color)
{
    fontColor_ = color;
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(color));
    setPalette(p);
}

void TLabel::FitWidth()
{
    if (!autoSize_)
        return;
    const QFontMetrics metrics(font());
    resize(qMax(1, metrics.horizontalAdvance(text())), metrics.height());
}

void TLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitWidth();
}

void TLabel::mousePressEvent(QMouseEvent* event)
{
    click_.Press(*event);
    QLabel::mousePressEvent(event);
}

void TLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (click_.Release(*event, rect()))
        emit Click();
    QLabel::mouseReleaseEvent(event);
}

void TLabel::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    emit MouseMove(event->buttons(), event->modifiers(), pos.x(), pos.y());
    QLabel::mouseMoveEvent(event);
}

void TLabel::leaveEvent(QEvent* event)
{
    emit MouseLeave();
    QLabel::leaveEvent(event);
}
