#include "controls/MouseEffectImage.h"

#include <QMouseEvent>

TMouseEffectImage::TMouseEffectImage(QWidget* parent) : TImage(parent)
{
    SetAutoSize(true);
}

void TMouseEffectImage::SetOriginPicture(const TPicture& picture)
{
    originPicture_ = picture;
    SetPicture(originPicture_);
}

void TMouseEffectImage::SetOverPicture(const TPicture& picture)
{
    overPicture_ = picture;
}

void TMouseEffectImage::SetDownPicture(const TPicture& picture)
{
    downPicture_ = picture;
}

void TMouseEffectImage::enterEvent(QEnterEvent* event)
{
    if (!designMode_)
        SetPicture(overPicture_);
    TImage::enterEvent(event);
}

void TMouseEffectImage::leaveEvent(QEvent* event)
{
    SetPicture(originPicture_);
    TImage::leaveEvent(event);
}

void TMouseEffectImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        SetPicture(downPicture_);
    TImage::mousePressEvent(event);
}

void TMouseEffectImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !revertOnLeave_)
        SetPicture(originPicture_);
    TImage::mouseReleaseEvent(event);
}
