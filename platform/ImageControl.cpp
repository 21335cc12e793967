#include "platform/ImageControl.h"

#include <QFile>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

class TPicture::PendingFile {
public:
    // A 2x drawing is read as an image of device pixel ratio 2.
    PendingFile(const QString& path, bool doubled) : path_(path), doubled_(doubled) {}

    const TPicture& Picture()
    {
        if (!read_) {
            read_ = true;
            picture_ = TPicture::FromFile(path_);
            if (doubled_ && !picture_.image_.isNull())
                picture_.image_.setDevicePixelRatio(2);
        }
        return picture_;
    }

private:
    QString path_;
    bool doubled_;
    bool read_ = false;
    TPicture picture_;
};

TPicture::TPicture(const QImage& image, PictureFormat format)
    : image_(image), format_(image.isNull() ? PictureFormat::None : format)
{
}

TPicture TPicture::FromFile(const QString& path)
{
    QImageReader reader(path);
    const QByteArray kind = reader.format().toLower();
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return TPicture(image, kind == "jpeg" || kind == "jpg" ? PictureFormat::Jpeg : PictureFormat::Bitmap);
}

TPicture TPicture::Deferred(const QString& path, const QString& doublePath)
{
    TPicture picture;
    picture.pending_ = std::make_shared<PendingFile>(path, false);
    picture.pendingDouble_ = std::make_shared<PendingFile>(doublePath, true);
    return picture;
}

PictureFormat TPicture::Format() const
{
    return pending_ ? pending_->Picture().format_ : format_;
}

const QImage& TPicture::Image() const
{
    return pending_ ? pending_->Picture().image_ : image_;
}

QImage& TPicture::Image()
{
    // The image may be drawn on: it becomes this copy's own.
    if (pending_) {
        const TPicture& read = pending_->Picture();
        image_ = read.image_;
        format_ = read.format_;
        pending_.reset();
    }
    return image_;
}

const QImage& TPicture::DoubleImage() const
{
    // A picture that does not exist has no 2x drawing either.
    if (!pendingDouble_ || Image().isNull())
        return doubleImage_;
    return pendingDouble_->Picture().image_;
}

void TPicture::SetDoubleImage(const QImage& image)
{
    pendingDouble_.reset();
    doubleImage_ = image;
    if (!doubleImage_.isNull())
        doubleImage_.setDevicePixelRatio(2);
}

void TPicture::SetDeferredDoubleImage(const QString& path)
{
    doubleImage_ = QImage();
    pendingDouble_ = std::make_shared<PendingFile>(path, true);
}

const QImage& TPicture::ImageFor(qreal devicePixelRatio) const
{
    return devicePixelRatio > 1 && !DoubleImage().isNull() ? DoubleImage() : Image();
}

TImage::TImage(QWidget* parent) : QWidget(parent)
{
    // Move events are raised whether or not a button is held, as the window's
    // hover and drag handlers need them.
    setMouseTracking(true);
}

TImage::~TImage() = default;

void TImage::SetPicture(const TPicture& picture)
{
    picture_ = picture;
    if (canvas_)
        canvas_->SetBitmap(picture_.Empty() ? nullptr : &picture_.Image());
    ApplyAutoSize();
    update();
}

void TImage::SetAutoSize(bool on)
{
    autoSize_ = on;
    ApplyAutoSize();
}

void TImage::ApplyAutoSize()
{
    if (autoSize_ && !picture_.Empty())
        resize(picture_.Width(), picture_.Height());
}

void TImage::SetHint(const QString& hint)
{
    hint_ = hint;
    UpdateToolTip();
}

void TImage::SetShowHint(bool on)
{
    showHint_ = on;
    UpdateToolTip();
}

void TImage::UpdateToolTip()
{
    setToolTip(showHint_ ? hint_ : QString());
}

TCanvas& TImage::Canvas()
{
    if (picture_.Empty()) {
        QImage blank(qMax(width(), 1), qMax(height(), 1), QImage::Format_RGB32);
        blank.fill(Qt::white);
        picture_ = TPicture(blank, PictureFormat::Bitmap);
    }
    // Drawing goes onto the 1x bitmap; a 2x copy would go on showing the picture as it was.
    picture_.SetDoubleImage(QImage());
    if (!canvas_) {
        canvas_ = std::make_unique<TCanvas>(&picture_.Image());
        canvas_->OnChange = [this] { update(); };
    } else {
        canvas_->SetBitmap(&picture_.Image());
    }
    return *canvas_;
}

void TImage::ResizeBitmap(int width, int height)
{
    // A bitmap of no columns still needs a valid image behind the canvas; it is kept one
    // pixel wide, and the control itself is what shows no columns.
    QImage resized(qMax(width, 1), qMax(height, 1), QImage::Format_RGB32);
    resized.fill(Qt::white);
    if (!picture_.Empty()) {
        QPainter p(&resized);
        p.drawImage(0, 0, picture_.Image());
    }
    picture_ = TPicture(resized, PictureFormat::Bitmap);
    if (canvas_)
        canvas_->SetBitmap(&picture_.Image());
    ApplyAutoSize();
    update();
}

void TImage::paintEvent(QPaintEvent*)
{
    if (picture_.Empty())
        return;
    QPainter painter(this);
    // An image of device pixel ratio 2 is drawn at its logical size, one pixel to one
    // device pixel on a screen at 200 %.
    painter.drawImage(0, 0, picture_.ImageFor(devicePixelRatioF()));
}

void TImage::mousePressEvent(QMouseEvent* event)
{
    click_.Press(*event);
    const QPoint pos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImage::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const bool click = click_.Release(*event, rect());
    // The click comes before the mouse-up event, as a click handler may show a modal dialog
    // whose loop must not see a half-finished release.
    if (click)
        emit Click();
    emit MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click raises a double-click event and a mouse-down
    // event, but its release is no click.
    click_.DoubleClick();
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        emit DblClick();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TImage::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    emit MouseMove(event->buttons(), event->modifiers(), pos.x(), pos.y());
}

void TImage::enterEvent(QEnterEvent*)
{
    emit MouseEnter();
}

void TImage::leaveEvent(QEvent*)
{
    emit MouseLeave();
}
