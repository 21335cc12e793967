// TPicture::Deferred: a picture read when first asked for gives exactly what reading the
// file at once gives (pixels, size, format, its 2x drawing at device pixel ratio 2), its
// copies share what was read but not what is drawn on one of them, and a picture that
// cannot be read is empty with no 2x drawing.
#include "platform/ImageControl.h"

#include "support/Fixtures.h"

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

namespace {

QImage Pattern(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed) & 255, (y * 13 + seed) & 255, (x * y + seed) & 255));
    return image;
}

QString Saved(const fixtures::ScratchDir& dir, const std::string& name, const QImage& image, const char* format)
{
    const QString path = QString::fromStdString(dir.file(name));
    EXPECT_TRUE(image.save(path, format)) << name;
    return path;
}

TEST(DeferredPicture, ReadsWhatReadingAtOnceReads)
{
    fixtures::ScratchDir dir;
    struct Case {
        const char* name;
        const char* doubleName;  // null: no 2x file
        const char* format;
        PictureFormat expected;
    };
    const Case cases[] = {
        {"a.jpg", "a@2x.jpg", "JPG", PictureFormat::Jpeg},
        {"b.bmp", "b@2x.bmp", "BMP", PictureFormat::Bitmap},
        {"c.jpg", nullptr, "JPG", PictureFormat::Jpeg},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = Saved(dir, c.name, Pattern(21, 9, 1), c.format);
        const QString doublePath = c.doubleName ? Saved(dir, c.doubleName, Pattern(42, 18, 2), c.format)
                                                : QString::fromStdString(dir.file("none@2x.jpg"));
        const TPicture eager = TPicture::FromFile(path);
        const TPicture deferred = TPicture::Deferred(path, doublePath);
        ASSERT_FALSE(deferred.Empty());
        EXPECT_EQ(deferred.Format(), c.expected);
        EXPECT_EQ(deferred.Width(), 21);
        EXPECT_EQ(deferred.Height(), 9);
        EXPECT_EQ(deferred.Image(), eager.Image());
        EXPECT_EQ(deferred.ImageFor(1.0), eager.Image());
        if (c.doubleName) {
            const QImage doubled = TPicture::FromFile(doublePath).Image();
            EXPECT_EQ(deferred.DoubleImage(), doubled);
            EXPECT_EQ(deferred.DoubleImage().devicePixelRatio(), 2.0);
            EXPECT_EQ(&deferred.ImageFor(2.0), &deferred.DoubleImage());
        } else {
            EXPECT_TRUE(deferred.DoubleImage().isNull());
            EXPECT_EQ(deferred.ImageFor(2.0), eager.Image());
        }
    }
}

TEST(DeferredPicture, AMissingFileIsAnEmptyPictureWithoutADoubleDrawing)
{
    fixtures::ScratchDir dir;
    // Even where a 2x file exists, a picture that cannot be read has no 2x drawing.
    const QString doublePath = Saved(dir, "gone@2x.jpg", Pattern(8, 8, 3), "JPG");
    const TPicture picture = TPicture::Deferred(QString::fromStdString(dir.file("gone.jpg")), doublePath);
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(picture.Format(), PictureFormat::None);
    EXPECT_TRUE(picture.DoubleImage().isNull());
    EXPECT_TRUE(picture.ImageFor(2.0).isNull());
}

TEST(DeferredPicture, DrawingOnOneCopyLeavesTheOthersAsRead)
{
    fixtures::ScratchDir dir;
    const QString path = Saved(dir, "p.bmp", Pattern(10, 10, 4), "BMP");
    const QString doublePath = Saved(dir, "p@2x.bmp", Pattern(20, 20, 5), "BMP");
    const TPicture original = TPicture::Deferred(path, doublePath);
    TPicture drawnOn = original;  // copied before anything was read
    TPicture later = original;
    drawnOn.Image().fill(qRgb(1, 2, 3));
    EXPECT_EQ(drawnOn.Image().pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(original.Image(), TPicture::FromFile(path).Image());
    EXPECT_EQ(later.Image(), TPicture::FromFile(path).Image());
    EXPECT_EQ(drawnOn.Format(), PictureFormat::Bitmap);
    // A new 2x drawing replaces the deferred one for this copy only.
    drawnOn.SetDoubleImage(QImage());
    EXPECT_TRUE(drawnOn.DoubleImage().isNull());
    EXPECT_EQ(later.DoubleImage(), TPicture::FromFile(doublePath).Image());
}

TEST(DeferredPicture, ADeferredDoubleDrawingJoinsAPictureReadAtOnce)
{
    fixtures::ScratchDir dir;
    const QString path = Saved(dir, "q.jpg", Pattern(12, 6, 6), "JPG");
    const QString doublePath = Saved(dir, "q@2x.jpg", Pattern(24, 12, 7), "JPG");
    TPicture picture = TPicture::FromFile(path);
    picture.SetDeferredDoubleImage(doublePath);
    EXPECT_EQ(picture.Image(), TPicture::FromFile(path).Image());
    EXPECT_EQ(picture.DoubleImage(), TPicture::FromFile(doublePath).Image());
    EXPECT_EQ(picture.DoubleImage().devicePixelRatio(), 2.0);
}

}  // namespace
