#include "platform/Label.h"

#include <QMouseEvent>
#include <QPainter>

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

void TLabel::SetMiddleElision(bool on, int keptHead, int keptTail)
{
    elideMiddle_ = on;
    keptHead_ = qMax(0, keptHead);
    keptTail_ = qMax(0, keptTail);
    update();
}

QString TLabel::ShownText() const
{
    const QString whole = text();
    const int room = contentsRect().width();
    const QFontMetrics metrics(font());
    if (!elideMiddle_ || autoSize_ || metrics.horizontalAdvance(whole) <= room)
        return whole;
    const qsizetype headSize = qMin<qsizetype>(keptHead_, whole.size());
    const qsizetype tailSize = qMin<qsizetype>(keptTail_, whole.size() - headSize);
    const QString head = whole.left(headSize);
    const QString tail = whole.right(tailSize);
    const QString middle = whole.mid(headSize, whole.size() - headSize - tailSize);
    const int middleRoom = room - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(tail);
    // The middle keeps its start and end ("/ho…ic/"), or at least the ellipsis that tells
    // that something was left out.
    if (!middle.isEmpty() && middleRoom >= metrics.horizontalAdvance(QChar(0x2026)))
        return head + metrics.elidedText(middle, Qt::ElideMiddle, middleRoom) + tail;
    return metrics.elidedText(whole, Qt::ElideMiddle, room);
}

void TLabel::paintEvent(QPaintEvent* event)
{
    if (!elideMiddle_ || autoSize_) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(contentsRect(), int(alignment()) | Qt::TextSingleLine, ShownText());
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
