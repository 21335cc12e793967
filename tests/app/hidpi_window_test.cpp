// The window on a screen at 100 % and at 200 %: CTest runs this executable twice, once
// with QT_SCALE_FACTOR=1 and once with QT_SCALE_FACTOR=2. At 200 % the window is twice the
// size in device pixels and its pictures are the skin's own 2x drawings, shown one pixel
// to one device pixel; at 100 % it shows the 1x pictures exactly as before.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "app/Skin.h"
#include "app/aboutUnit.h"
#include "app/mainunit.h"

namespace {

// The device pixel ratio this run was started with.
qreal ExpectedRatio()
{
    const QString factor = qEnvironmentVariable("QT_SCALE_FACTOR");
    return factor.isEmpty() ? 1.0 : factor.toDouble();
}

QImage Grab(QWidget& widget)
{
    QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    return image;
}

// `image` as plain device pixels, to compare with a part of a grab.
QImage DevicePixels(const QImage& image)
{
    QImage plain = image.convertToFormat(QImage::Format_RGB32);
    plain.setDevicePixelRatio(1);
    return plain;
}

void PressLeft(QWidget* widget, QPoint at)
{
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

class HiDpiWindowTest : public ::testing::Test {
protected:
    HiDpiWindowTest() { form.show(); }
    qreal Ratio() const { return form.devicePixelRatioF(); }
    TMainForm form;
};

TEST_F(HiDpiWindowTest, RunsAtTheScaleItWasStartedWith)
{
    EXPECT_EQ(Ratio(), ExpectedRatio());
}

TEST_F(HiDpiWindowTest, LogicalLayoutStaysAndTheGrabGrowsWithTheScale)
{
    EXPECT_EQ(form.size(), QSize(598, 422));
    EXPECT_EQ(form.btnOpen->geometry(), QRect(26, 254, 108, 32));
    EXPECT_EQ(form.btnOpen->Picture().Width(), 108);
    EXPECT_EQ(form.btnOpen->Picture().Height(), 32);
    EXPECT_EQ(Grab(form).size(), QSize(598, 422) * Ratio());
}

// Every picture the window shows has its 2x drawing: twice the pixels, the same logical size.
TEST_F(HiDpiWindowTest, EverySkinPictureHasItsDoubleDrawing)
{
    std::vector<std::pair<QString, TPicture>> pictures = {{"imgBack", form.imgBack->Picture()},
                                                          {"imgAd", form.imgAd->Picture()}};
    for (TMouseEffectImage* button : {form.btnOpen, form.btnSave, form.btnPlay, form.btnMarkStart, form.btnMarkEnd,
                                      form.btnPlaySelected, form.btnMoveLeft, form.btnMoveRight,
                                      form.MouseEffectImage1, form.btnSuggest, form.btnMinimize, form.btnClose}) {
        pictures.emplace_back(button->objectName(), button->OriginPicture());
        pictures.emplace_back(button->objectName() + "_over", button->OverPicture());
        pictures.emplace_back(button->objectName() + "_down", button->DownPicture());
    }
    TAboutForm about(&form);
    pictures.emplace_back("AboutBack", about.Image1->Picture());
    for (const auto& [name, picture] : pictures) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_FALSE(picture.Empty());
        const QImage& doubled = picture.DoubleImage();
        EXPECT_EQ(doubled.size(), picture.Image().size() * 2);
        EXPECT_EQ(doubled.devicePixelRatio(), 2.0);
        EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(picture.Image().size()));
        // Drawn anew, not the 1x picture enlarged.
        EXPECT_NE(DevicePixels(doubled),
                  DevicePixels(picture.Image()).scaled(doubled.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
}

// The pressed Open button shows, pixel for pixel, the picture drawn for this screen.
TEST_F(HiDpiWindowTest, ButtonShowsThePictureDrawnForTheScreen)
{
    PressLeft(form.btnOpen, {10, 10});
    const qreal ratio = Ratio();
    const QImage shown = Grab(form).copy(QRect(form.btnOpen->geometry().topLeft() * ratio, QSize(108, 32) * ratio));
    EXPECT_EQ(shown, DevicePixels(SkinPicture("btnOpen_down.bmp").ImageFor(ratio)));
}

// The top edge of the folder mark on the pressed Open button lies half-way through a 1x
// pixel (row 12.5 of the button). Drawn at 1x and enlarged, it would be blurred over two
// device pixels at 200 %; the 2x drawing puts it on a device pixel boundary. Either way
// at most one device pixel of the column lies between the button's red and the mark's white.
TEST_F(HiDpiWindowTest, EdgeOfTheFolderMarkIsOneDevicePixelWide)
{
    PressLeft(form.btnOpen, {10, 10});
    const qreal ratio = Ratio();
    const QImage window = Grab(form);
    const int x = qRound((26 + 23) * ratio);
    int red = 0, white = 0, between = 0;
    for (int y = qRound((254 + 8) * ratio); y < qRound((254 + 16) * ratio); ++y) {
        const int green = qGreen(window.pixel(x, y));  // red body about 46, white 255
        if (green < 88)
            ++red;
        else if (green > 213)
            ++white;
        else
            ++between;
    }
    EXPECT_GE(red, 2);
    EXPECT_GE(white, 2);
    EXPECT_LE(between, 1);
}

}  // namespace
