#pragma once
// The image control: a widget that shows one picture from its top-left corner, cut to
// its own size, optionally sizing itself to the picture. It raises click and mouse
// events with positions in its own coordinates. Its picture keeps the format it was
// made in (JPEG or bitmap), because the skin cares which one it holds.
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>

#include "platform/Canvas.h"
#include "platform/ClickTracker.h"

enum class PictureFormat { None, Jpeg, Bitmap };

class TPicture {
public:
    TPicture() = default;
    TPicture(const QImage& image, PictureFormat format);
    // Reads a JPEG or BMP file (or Qt resource); empty when it cannot be read.
    static TPicture FromFile(const QString& path);
    // The picture of a JPEG or BMP file (or Qt resource) with its 2x drawing from a second
    // file, each read when it is first asked for: the 2x one only for a screen at 200 %.
    // Copies share what has been read. For pictures of the main thread only.
    static TPicture Deferred(const QString& path, const QString& doublePath);

    bool Empty() const { return Image().isNull(); }
    PictureFormat Format() const;
    const QImage& Image() const;
    QImage& Image();
    // Logical size: that of the 1x image, whatever screen the picture is shown on.
    int Width() const { return Image().width(); }
    int Height() const { return Image().height(); }

    // The same picture drawn at twice the resolution (device pixel ratio 2), for screens
    // at 200 %; empty when there is none.
    const QImage& DoubleImage() const;
    void SetDoubleImage(const QImage& image);
    // The 2x drawing is read from this file when first asked for (see Deferred).
    void SetDeferredDoubleImage(const QString& path);
    // The image to draw on a screen of the given device pixel ratio.
    const QImage& ImageFor(qreal devicePixelRatio) const;

private:
    // A picture file not read yet, shared by the copies of a deferred picture.
    class PendingFile;

    QImage image_;
    QImage doubleImage_;
    PictureFormat format_ = PictureFormat::None;
    // While set, these stand for image_ (with format_) and doubleImage_.
    std::shared_ptr<PendingFile> pending_;
    std::shared_ptr<PendingFile> pendingDouble_;
};

class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    const TPicture& Picture() const { return picture_; }
    // Copies the picture in; with AutoSize on, a non-empty picture sets the control's size.
    void SetPicture(const TPicture& picture);

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);

    QString Hint() const { return hint_; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on);

    // The drawing surface of the picture's bitmap. When the picture holds no image, a
    // blank bitmap of the control's size is made first, as a drawing surface needs one.
    TCanvas& Canvas();
    // Gives the bitmap a new size (making one if the picture holds none); drawing on the
    // canvas goes on against the resized bitmap.
    void ResizeBitmap(int width, int height);

signals:
    void Click();
    void DblClick();
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseEnter();
    void MouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void ApplyAutoSize();
    void UpdateToolTip();

    TPicture picture_;
    bool autoSize_ = false;
    QString hint_;
    bool showHint_ = true;
    ClickTracker click_;
    std::unique_ptr<TCanvas> canvas_;
};
