// The skinned main window and the About dialog: the layout of every control, the skin's
// pictures, fonts and colours, the window chrome (close, minimise, drag), the hint echo
// of the transport buttons and the About link.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDirIterator>
#include <QEnterEvent>
#include <QFile>
#include <QFontInfo>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QtEndian>
#include <functional>

#include "app/aboutUnit.h"
#include "app/appDefine.h"
#include "app/mainunit.h"
#include "audio/MediaPlayer.h"

namespace {

void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void MoveOver(QWidget* widget, QPoint at = {3, 3}, Qt::MouseButtons held = Qt::NoButton)
{
    Mouse(widget, QEvent::MouseMove, at, Qt::NoButton, held);
}

void ClickOn(QWidget* widget, QPoint at = {3, 3})
{
    Mouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    Mouse(widget, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

void Leave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

// Runs `inspect` on the modal dialog once `open` has shown it; `inspect` must close it.
void WithModalDialog(const std::function<void()>& open, const std::function<void(QWidget*)>& inspect)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        seen = true;
        inspect(dialog);
    });
    open();
    EXPECT_TRUE(seen);
}

class SkinTest : public ::testing::Test {
protected:
    SkinTest() { form.show(); }
    TMainForm form;
};

// ---- layout -----------------------------------------------------------------------------

struct Placement {
    const char* name;
    QRect geometry;
    bool widthFollowsText;
};

// Every control in creation order, at its place and size.
const Placement kLayout[] = {
    {"imgBack", {0, 0, 598, 422}, false},
    {"lblFilename", {188, 262, 176, 13}, false},
    {"lblBitrate", {188, 282, 176, 16}, false},
    {"lblChannel", {188, 304, 176, 13}, false},
    {"lblSampleRate", {188, 324, 176, 13}, false},
    {"lblLength", {188, 344, 176, 13}, false},
    {"lblBeginPos", {393, 262, 175, 13}, false},
    {"lblEndPos", {393, 282, 175, 16}, false},
    {"lblSelectedLength", {393, 304, 175, 13}, false},
    {"btnOpen", {26, 254, 108, 32}, false},
    {"btnSave", {26, 303, 108, 32}, false},
    {"btnPlay", {454, 97, 47, 48}, false},
    {"btnMarkStart", {414, 105, 36, 35}, false},
    {"btnMarkEnd", {500, 104, 36, 35}, false},
    {"btnPlaySelected", {458, 60, 36, 36}, false},
    {"btnMoveLeft", {408, 51, 40, 40}, false},
    {"btnMoveRight", {503, 51, 42, 42}, false},
    {"imgAd", {13, 38, 363, 170}, false},
    {"btnMinimize", {549, 8, 14, 14}, false},
    {"btnClose", {572, 8, 14, 14}, false},
    {"sb_status", {1, 400, 90, 13}, true},
    {"MouseEffectImage1", {458, 144, 35, 35}, false},
    {"btnSuggest", {414, 144, 36, 35}, false},
    {"lbl_status", {395, 186, 25, 13}, true},
    {"lblAbout", {60, 367, 28, 13}, true},
    {"lblCurrentPos", {393, 324, 175, 13}, false},
    {"ScrollBoxWave", {13, 37, 363, 171}, false},
};

TEST_F(SkinTest, EveryControlAtItsPlaceInCreationOrder)
{
    std::vector<QString> order;
    for (QObject* child : form.children())
        if (qobject_cast<QWidget*>(child))
            order.push_back(child->objectName());
    int previous = -1;
    for (const Placement& p : kLayout) {
        SCOPED_TRACE(p.name);
        auto* control = form.findChild<QWidget*>(p.name, Qt::FindDirectChildrenOnly);
        ASSERT_NE(control, nullptr);
        if (p.widthFollowsText) {
            // The width follows the text in the window's font; the label grows to the right.
            const auto* label = qobject_cast<TLabel*>(control);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(control->pos(), p.geometry.topLeft());
            EXPECT_EQ(control->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
            EXPECT_EQ(control->height(), 13);
        } else {
            EXPECT_EQ(control->geometry(), p.geometry);
        }
        // Later controls paint over earlier ones.
        const int index = int(std::find(order.begin(), order.end(), p.name) - order.begin());
        EXPECT_GT(index, previous);
        previous = index;
    }
    auto* strip = form.findChild<QWidget*>("imgWave");
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->parentWidget()->parentWidget(), form.ScrollBoxWave);
    EXPECT_EQ(strip->pos(), QPoint(0, 0));
    EXPECT_EQ(strip->height(), 152);
}

TEST_F(SkinTest, FramelessWindowOfTheBackgroundsSize)
{
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(598, 422));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.imgAd->isVisible());
    EXPECT_FALSE(form.ScrollBoxWave->isVisible());
    EXPECT_FALSE(form.MediaPlayer1->isVisible());
    // The icon of the taskbar and the About dialog, in its three sizes.
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    for (QSize size : {QSize(16, 16), QSize(32, 32), QSize(48, 48)})
        EXPECT_TRUE(sizes.contains(size)) << size.width();
}

struct LabelLook {
    const char* name;
    const char* text;
    unsigned int colour;   // 0x00BBGGRR
    bool bold;
};

const LabelLook kLabels[] = {
    {"lblFilename", "File Name:", 0x000000, false},
    {"lblBitrate", "Bitrate:", 0x000000, false},
    {"lblChannel", "Channels:", 0x000000, false},
    {"lblSampleRate", "Sample Rate:", 0x000000, false},
    {"lblLength", "Length:", 0x000000, false},
    {"lblBeginPos", "Begin Pos: ", 0x000000, false},
    {"lblEndPos", "End Pos:", 0x000000, false},
    {"lblSelectedLength", "Length: ", 0x000000, false},
    {"lblCurrentPos", "Current Pos: ", 0x000000, false},
    {"sb_status", "                              ", 0x000000, false},
    {"lbl_status", "Play", 0x00FFFF, true},
    {"lblAbout", "About", 0xFFFFFF, false},
};

TEST_F(SkinTest, LabelTextsFontsAndColours)
{
    for (const LabelLook& l : kLabels) {
        SCOPED_TRACE(l.name);
        auto* label = form.findChild<TLabel*>(l.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), l.text);
        const QFont font = label->font();
        EXPECT_EQ(QFontInfo(font).family(), "DejaVu Sans");
        EXPECT_EQ(font.pixelSize(), 11);
        EXPECT_EQ(font.bold(), l.bold);
        EXPECT_FALSE(font.underline());
        EXPECT_EQ(label->FontColor(), l.colour);
        const QColor drawn = label->palette().color(QPalette::WindowText);
        EXPECT_EQ(drawn, QColor(l.colour & 0xFF, (l.colour >> 8) & 0xFF, l.colour >> 16));
        // Drawn over the background picture.
        EXPECT_FALSE(label->autoFillBackground());
        // Every text fits its label.
        EXPECT_LE(QFontMetrics(font).horizontalAdvance(label->text()), label->width());
        EXPECT_LE(QFontMetrics(font).height(), label->height());
    }
}

TEST_F(SkinTest, LongTextIsCutAtTheRightEdgeOfAFixedLabel)
{
    form.lblFilename->SetCaption(QString("File Name: ") + QString(80, 'x') + ".mp3");
    EXPECT_EQ(form.lblFilename->geometry(), QRect(188, 262, 176, 13));
    form.sb_status->SetCaption("Generating /home/user/a rather long target name.amr ...");
    EXPECT_EQ(form.sb_status->pos(), QPoint(1, 400));
    EXPECT_EQ(form.sb_status->width(),
              QFontMetrics(form.sb_status->font()).horizontalAdvance(form.sb_status->text()));
}

TEST_F(SkinTest, TooltipsShowTheHintsWithTheirKeys)
{
    struct Hint {
        const char* name;
        const char* hint;
        const char* toolTip;
    };
    const Hint hints[] = {
        {"btnOpen", "", "Open (Ctrl+O)"},
        {"btnSave", "", "Save (Ctrl+S)"},
        {"btnPlay", "Play", "Play (Space)"},
        {"btnMarkStart", "Mark start", "Mark start (B)"},
        {"btnMarkEnd", "Mark end", "Mark end (E)"},
        {"btnPlaySelected", "Play the selected segment", "Play the selected segment (P)"},
        {"btnMoveLeft", "Extend left", "Extend left"},
        {"btnMoveRight", "Extend right", "Extend right"},
        {"MouseEffectImage1", "Pause", "Pause (Space)"},
        {"btnSuggest", "Suggest a ringtone", "Suggest a ringtone (S)"},
        {"btnMinimize", "", ""},
        {"btnClose", "", ""},
    };
    for (const Hint& h : hints) {
        SCOPED_TRACE(h.name);
        auto* button = form.findChild<TMouseEffectImage*>(h.name);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->Hint(), h.hint);
        EXPECT_EQ(button->toolTip(), h.toolTip);
    }
    EXPECT_FALSE(form.btnOpen->ShowHint());
    EXPECT_TRUE(form.btnSave->ShowHint());
}

// ---- pictures ---------------------------------------------------------------------------

struct ButtonPictures {
    const char* name;
    QSize size;
    PictureFormat over;
    PictureFormat down;
};

const ButtonPictures kButtons[] = {
    {"btnOpen", {108, 32}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnSave", {108, 32}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnPlay", {47, 48}, PictureFormat::Jpeg, PictureFormat::Jpeg},
    {"btnMarkStart", {36, 35}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnMarkEnd", {36, 35}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnPlaySelected", {36, 36}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnMoveLeft", {40, 40}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnMoveRight", {42, 42}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"MouseEffectImage1", {35, 35}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnSuggest", {36, 35}, PictureFormat::Jpeg, PictureFormat::Bitmap},
    {"btnMinimize", {14, 14}, PictureFormat::Bitmap, PictureFormat::Jpeg},
    {"btnClose", {14, 14}, PictureFormat::Jpeg, PictureFormat::Bitmap},
};

TEST_F(SkinTest, EveryButtonHoldsItsThreePictures)
{
    for (const ButtonPictures& b : kButtons) {
        SCOPED_TRACE(b.name);
        auto* button = form.findChild<TMouseEffectImage*>(b.name);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->RevertOnLeave());
        const TPicture& normal = button->OriginPicture();
        EXPECT_EQ(normal.Format(), PictureFormat::Jpeg);
        EXPECT_EQ(normal.Image().size(), b.size);
        EXPECT_EQ(button->Picture().Image(), normal.Image());
        EXPECT_EQ(button->OverPicture().Format(), b.over);
        EXPECT_EQ(button->OverPicture().Image().size(), b.size);
        EXPECT_EQ(button->DownPicture().Format(), b.down);
        EXPECT_EQ(button->DownPicture().Image().size(), b.size);
        // The three states look different.
        EXPECT_NE(normal.Image(), button->OverPicture().Image());
        EXPECT_NE(normal.Image(), button->DownPicture().Image());
    }
    // Play is pressed in its hover picture.
    EXPECT_EQ(form.btnPlay->DownPicture().Image(), form.btnPlay->OverPicture().Image());
}

TEST_F(SkinTest, BackgroundAndBannerPictures)
{
    EXPECT_EQ(form.imgBack->Picture().Format(), PictureFormat::Jpeg);
    EXPECT_EQ(form.imgBack->Picture().Image().size(), QSize(598, 422));
    EXPECT_EQ(form.imgAd->Picture().Format(), PictureFormat::Jpeg);
    EXPECT_EQ(form.imgAd->Picture().Image().size(), QSize(363, 179));
    // The banner keeps its control's size and is cut to its 170 rows.
    EXPECT_FALSE(form.imgAd->AutoSize());
    EXPECT_EQ(form.imgAd->size(), QSize(363, 170));
}

TEST(SkinPictures, BitmapsAreUncompressedWith32BitsPerPixel)
{
    int bitmaps = 0, doubleBitmaps = 0;
    QDirIterator it(":/skin", {"*.bmp"}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        SCOPED_TRACE(path.toStdString());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        ASSERT_GE(data.size(), 54);
        const auto* d = reinterpret_cast<const uchar*>(data.constData());
        EXPECT_EQ(data.left(2), "BM");
        EXPECT_EQ(qFromLittleEndian<quint16>(d + 28), 32);   // bits per pixel
        EXPECT_EQ(qFromLittleEndian<quint32>(d + 30), 0u);   // no compression
        const qint32 width = qFromLittleEndian<qint32>(d + 18), height = qFromLittleEndian<qint32>(d + 22);
        EXPECT_EQ(data.size(), 54 + width * std::abs(height) * 4);
        ++(path.endsWith("@2x.bmp") ? doubleBitmaps : bitmaps);
    }
    // The pressed pictures of Open, Save, seven transport buttons and close, and the
    // hover picture of minimise; each also drawn at 2x.
    EXPECT_EQ(bitmaps, 11);
    EXPECT_EQ(doubleBitmaps, 11);
}

// ---- chrome -----------------------------------------------------------------------------

TEST_F(SkinTest, HintEchoOfTheTransportButtons)
{
    EXPECT_EQ(form.lbl_status->text(), "Play");
    const std::pair<TMouseEffectImage*, const char*> transport[] = {
        {form.btnMoveLeft, "Extend left"},   {form.btnPlaySelected, "Play the selected segment"},
        {form.btnMoveRight, "Extend right"}, {form.btnMarkStart, "Mark start"},
        {form.btnMarkEnd, "Mark end"},       {form.MouseEffectImage1, "Pause"},
        {form.btnPlay, "Play"},              {form.btnSuggest, "Suggest a ringtone"},
    };
    for (const auto& [button, hint] : transport) {
        MoveOver(button);
        EXPECT_EQ(form.lbl_status->text(), hint);
        EXPECT_EQ(form.lbl_status->width(), QFontMetrics(form.lbl_status->font()).horizontalAdvance(hint));
        // Every hint fits the status display of the transport panel (391 to 582).
        EXPECT_LE(form.lbl_status->geometry().right(), 582) << hint;
    }
    // The label keeps the last hint: the background and the other buttons echo nothing.
    MoveOver(form.btnMoveLeft);
    for (QWidget* other : std::initializer_list<QWidget*>{form.imgBack, form.btnOpen, form.btnSave, form.btnMinimize,
                                                          form.btnClose, form.imgAd, form.lblFilename}) {
        MoveOver(other);
        Leave(other);
        EXPECT_EQ(form.lbl_status->text(), "Extend left") << other->objectName().toStdString();
    }
}

// ---- the suggest button -------------------------------------------------------------------

TEST_F(SkinTest, SuggestButtonRunsTheSuggestionLikeKeyS)
{
    // No file is open: the suggestion tells so in the status bar.
    ClickOn(form.btnSuggest);
    EXPECT_EQ(form.sb_status->text(), "Open a song first: the ringtone is suggested from it.");
    // A press without its release is no click.
    form.sb_status->SetCaption(QString());
    Mouse(form.btnSuggest, QEvent::MouseButtonPress, {3, 3}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(form.sb_status->text(), "");
    EXPECT_EQ(form.btnSuggest->Picture().Image(), form.btnSuggest->DownPicture().Image());
    Mouse(form.btnSuggest, QEvent::MouseButtonRelease, {3, 3}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(form.sb_status->text(), "Open a song first: the ringtone is suggested from it.");
}

// The suggest button is drawn like its neighbours: the same round base over the piece of
// the background it covers, with a mark of its own.
TEST_F(SkinTest, SuggestButtonIsARoundTransportButtonWithItsOwnMark)
{
    const QImage back = form.imgBack->Picture().Image();
    const QRect place = form.btnSuggest->geometry();
    const auto near = [](QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) <= 12 && std::abs(qGreen(a) - qGreen(b)) <= 12 &&
               std::abs(qBlue(a) - qBlue(b)) <= 12;
    };
    for (const TPicture* picture :
         {&form.btnSuggest->OriginPicture(), &form.btnSuggest->OverPicture(), &form.btnSuggest->DownPicture()}) {
        const QImage image = picture->Image();
        // Corners: the background shows through (JPEG keeps colours within a few steps).
        for (QPoint corner : {QPoint(0, 0), QPoint(image.width() - 1, 0), QPoint(0, image.height() - 1),
                              QPoint(image.width() - 1, image.height() - 1)})
            EXPECT_TRUE(near(image.pixel(corner), back.pixel(place.topLeft() + corner))) << corner.x() << "," << corner.y();
    }
    // Mark start has the same size: the same disc round the middle, another mark in it.
    const QImage suggest = form.btnSuggest->OriginPicture().Image();
    const QImage markStart = form.btnMarkStart->OriginPicture().Image();
    ASSERT_EQ(suggest.size(), markStart.size());
    const QPoint discEdge(suggest.width() / 2, 4);   // on the metal, inside the rim
    EXPECT_TRUE(near(suggest.pixel(discEdge), markStart.pixel(discEdge)));
    EXPECT_NE(suggest, markStart);
}

TEST_F(SkinTest, AboutLinkUnderlinesWhilePointedAt)
{
    MoveOver(form.lblAbout);
    EXPECT_TRUE(form.lblAbout->font().underline());
    EXPECT_EQ(form.lblAbout->FontColor(), 0x00FFFFu);
    EXPECT_EQ(form.lblAbout->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    MoveOver(form.lblAbout, {10, 5});
    EXPECT_TRUE(form.lblAbout->font().underline());
    Leave(form.lblAbout);
    EXPECT_FALSE(form.lblAbout->font().underline());
    EXPECT_EQ(form.lblAbout->FontColor(), 0xFFFFFFu);
    EXPECT_EQ(form.lblAbout->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    // The rest of the style stays as it was.
    EXPECT_FALSE(form.lblAbout->font().bold());
    EXPECT_EQ(form.lblAbout->font().pixelSize(), 11);
}

TEST_F(SkinTest, CloseButtonClosesTheWindow)
{
    ClickOn(form.btnClose);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.FRender, nullptr);
}

TEST_F(SkinTest, MinimiseButtonMinimisesTheWindow)
{
    ClickOn(form.btnMinimize);
    EXPECT_TRUE(form.windowState() & Qt::WindowMinimized);
}

// The offscreen platform has no move loop of its own, so the window follows the pointer.
class WindowDragTest : public SkinTest {
protected:
    // Presses on `surface` at `at`, moves the pointer by each step with the left button
    // held, and releases.
    void Drag(QWidget* surface, QPoint at, std::initializer_list<QPoint> steps, Qt::MouseButtons held = Qt::LeftButton)
    {
        const QPoint pressGlobal = surface->mapToGlobal(at);
        Mouse(surface, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        QPoint pointer = pressGlobal;
        for (QPoint step : steps) {
            pointer += step;
            const QPoint local = surface->mapFromGlobal(pointer);
            QMouseEvent move(QEvent::MouseMove, local, pointer, Qt::NoButton, held, Qt::NoModifier);
            QCoreApplication::sendEvent(surface, &move);
        }
        const QPoint local = surface->mapFromGlobal(pointer);
        QMouseEvent release(QEvent::MouseButtonRelease, local, pointer, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(surface, &release);
    }
};

TEST_F(WindowDragTest, DraggingTheBackgroundOrTheBannerMovesTheWindow)
{
    for (QWidget* surface : {static_cast<QWidget*>(form.imgBack), static_cast<QWidget*>(form.imgAd)}) {
        SCOPED_TRACE(surface->objectName().toStdString());
        const QPoint start = form.pos();
        Drag(surface, {200, 15}, {{4, 3}, {30, 20}, {-10, 5}});
        EXPECT_EQ(form.pos(), start + QPoint(24, 28));
    }
}

TEST_F(WindowDragTest, NoMoveWithoutTheLeftButtonHeld)
{
    const QPoint start = form.pos();
    // Press and release without moving.
    Drag(form.imgBack, {200, 15}, {});
    EXPECT_EQ(form.pos(), start);
    // Moving with the right button held.
    Drag(form.imgBack, {200, 15}, {{30, 20}}, Qt::RightButton);
    EXPECT_EQ(form.pos(), start);
    // Moving with no button.
    MoveOver(form.imgBack, {230, 35});
    EXPECT_EQ(form.pos(), start);
}

TEST_F(WindowDragTest, ButtonsAndLabelsOverTheBackgroundStartNoDrag)
{
    const QPoint start = form.pos();
    Drag(form.lblFilename, {3, 3}, {{30, 20}});
    Drag(form.btnPlay, {10, 10}, {{30, 20}});
    EXPECT_EQ(form.pos(), start);
}

// ---- the About dialog --------------------------------------------------------------------

void ExpectAboutDialog(QWidget* dialog, const QString& homepage)
{
    auto* about = qobject_cast<TAboutForm*>(dialog);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->objectName(), "AboutForm");
    EXPECT_EQ(about->windowTitle(), "About");
    EXPECT_TRUE(about->isModal());
    EXPECT_EQ(about->size(), QSize(300, 266));
    EXPECT_EQ(about->minimumSize(), about->maximumSize());
    const Qt::WindowFlags flags = about->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::FramelessWindowHint);

    EXPECT_EQ(about->Image1->geometry(), QRect(0, 0, 300, 266));
    EXPECT_EQ(about->Image1->Picture().Format(), PictureFormat::Jpeg);
    EXPECT_EQ(about->Label1->text(), "( Version 1.20 )");
    EXPECT_EQ(about->Label1->pos(), QPoint(97, 68));
    EXPECT_TRUE(about->Label1->font().bold());
    EXPECT_EQ(about->Label1->font().pixelSize(), 13);
    EXPECT_EQ(about->Label1->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    EXPECT_EQ(about->lblHomepage->text(), homepage);
    EXPECT_EQ(about->lblHomepage->pos(), QPoint(49, 165));
    EXPECT_EQ(about->Label3->pos(), QPoint(49, 188));
    EXPECT_TRUE(about->Label3->text().contains('@'));
    for (TLabel* label : {about->Label1, about->lblHomepage, about->Label3})
        EXPECT_GE(label->width(), QFontMetrics(label->font()).horizontalAdvance(label->text()));
    EXPECT_EQ(about->SpeedButton1->text(), "&Continue");
    EXPECT_EQ(about->SpeedButton1->geometry(), QRect(189, 230, 67, 20));
    EXPECT_EQ(about->SpeedButton1->palette().color(QPalette::ButtonText), QColor(128, 0, 0));
}

TEST_F(SkinTest, AboutLinkOpensANewModalDialogEachTime)
{
    const struct {
        QString homepage;
        QString shown;
    } cases[] = {
        {"", kAboutDesignedHomepage},
        {"https://ring.example/a/very/long/home/page/address", "https://ring.example/a/very/long/home/page/address"},
        {"", kAboutDesignedHomepage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.homepage.toStdString());
        AppInfo.Homepage = c.homepage;
        QPointer<QWidget> opened;
        WithModalDialog([&] { ClickOn(form.lblAbout); },
                        [&](QWidget* dialog) {
                            opened = dialog;
                            ExpectAboutDialog(dialog, c.shown);
                            // Centred over the main window.
                            EXPECT_EQ(dialog->geometry().center(), form.geometry().center());
                            EXPECT_EQ(dialog->geometry().topLeft() - form.geometry().topLeft(), QPoint(149, 78));
                            // The main window takes no input while the dialog is open.
                            EXPECT_TRUE(QApplication::activeModalWidget() == dialog);
                            qobject_cast<TAboutForm*>(dialog)->SpeedButton1->click();
                        });
        // Closed and destroyed once the click handler returns.
        EXPECT_TRUE(opened.isNull());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST(AboutDialog, ClosingEndsTheModalLoopWithTheCancelResult)
{
    AppInfo.Homepage = "https://ring.example/";
    TAboutForm about;
    QTimer::singleShot(0, [&] { about.SpeedButton1->click(); });
    EXPECT_EQ(about.exec(), QDialog::Rejected);
    EXPECT_EQ(about.lblHomepage->text(), "https://ring.example/");
    // The frame's close box has the same effect.
    QTimer::singleShot(0, [&] { about.close(); });
    EXPECT_EQ(about.exec(), QDialog::Rejected);
}

}  // namespace
