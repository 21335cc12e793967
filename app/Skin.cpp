// Loads the skin into the main window: the background, the banner, the three pictures of
// every picture button, the window's font and the label colours.
#include "app/Skin.h"

#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QScrollArea>
#include <future>
#include <map>

#include "app/mainunit.h"

QFont SkinFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

namespace {

QString DoubleName(const QString& fileName)
{
    const int dot = fileName.lastIndexOf('.');
    return fileName.left(dot) + QStringLiteral("@2x") + fileName.mid(dot);
}

}  // namespace

TPicture SkinPicture(const QString& fileName)
{
    // "name@2x.jpg" beside "name.jpg": the same picture drawn at double resolution. Each
    // is read when first shown (a hover or pressed picture on the first hover or press, the
    // 2x drawing only on a screen at 200 %), so that the window shows without them.
    return TPicture::Deferred(QStringLiteral(":/skin/") + fileName, QStringLiteral(":/skin/") + DoubleName(fileName));
}

namespace {

constexpr int kIconSizes[] = {16, 32, 48};

// The program's icon, its pictures read when something first draws or asks for one: a
// window's icon is only drawn by the desktop, and reading a PNG loads and asks every
// image format plugin first. Until then it tells its sizes from what it holds.
class SkinIconEngine : public QIconEngine {
public:
    QIconEngine* clone() const override { return new SkinIconEngine; }
    QString key() const override { return QStringLiteral("SkinIconEngine"); }
    bool isNull() override { return false; }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        QList<QSize> sizes;
        if (mode == QIcon::Normal && state == QIcon::Off)
            for (int size : kIconSizes)
                sizes.append(QSize(size, size));
        return sizes;
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return Icon().pixmap(size, scale, mode, state);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

private:
    const QIcon& Icon()
    {
        if (icon_.isNull())
            for (int size : kIconSizes)
                icon_.addFile(QStringLiteral(":/skin/tallowick-%1.png").arg(size), QSize(size, size));
        return icon_;
    }

    QIcon icon_;
};

}  // namespace

QIcon SkinIcon()
{
    return QIcon(new SkinIconEngine);
}

namespace {

// 0x00BBGGRR colours of the labels.
constexpr unsigned int kBlack = 0x000000;
constexpr unsigned int kYellow = 0x00FFFF;
constexpr unsigned int kWhite = 0xFFFFFF;
// The inside of the strip's frame in the background picture.
const QColor kStripWell(0x0d, 0x13, 0x1c);

// The pictures of the first paint: the background, the banner and the buttons' normal
// pictures (their 2x drawings are read when a screen at 200 % shows them).
const char* const kFirstPictures[] = {"imgBack.jpg",         "imgAd.jpg",          "btnOpen.jpg",
                                      "btnSave.jpg",         "btnMarkStart.jpg",   "btnMarkEnd.jpg",
                                      "btnPlaySelected.jpg", "btnMoveLeft.jpg",    "btnMoveRight.jpg",
                                      "MouseEffectImage1.jpg", "btnSuggest.jpg",   "btnClose.jpg",
                                      "btnPlay.jpg",         "btnMinimize.jpg"};

// A picture read by StartReadingSkin, or else read when first shown.
TPicture TakePicture(std::map<QString, TPicture>& read, const QString& fileName)
{
    const auto found = read.find(fileName);
    if (found == read.end())
        return SkinPicture(fileName);
    TPicture picture = found->second;
    if (!picture.Empty())
        picture.SetDeferredDoubleImage(QStringLiteral(":/skin/") + DoubleName(fileName));
    return picture;
}

// Gives a button its normal, hover and pressed pictures from the files named after it.
void LoadButton(std::map<QString, TPicture>& read, TMouseEffectImage* button, const QString& over,
                const QString& down)
{
    const QString name = button->objectName();
    button->SetOriginPicture(TakePicture(read, name + ".jpg"));
    button->SetOverPicture(SkinPicture(over));
    button->SetDownPicture(SkinPicture(down));
    button->SetRevertOnLeave(false);
}

}  // namespace

void TMainForm::StartReadingSkin()
{
    firstPictures_ = std::async(std::launch::async, [] {
        std::map<QString, TPicture> read;
        for (const char* name : kFirstPictures)
            read[QString::fromLatin1(name)] = TPicture::FromFile(QStringLiteral(":/skin/") + QLatin1String(name));
        return read;
    });
}

void TMainForm::LoadSkin()
{
    std::map<QString, TPicture> read = firstPictures_.valid() ? firstPictures_.get() : std::map<QString, TPicture>();
    setWindowIcon(SkinIcon());
    // The window's own colour is the button face, all of it hidden under the background.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);
    setFont(SkinFont(kSkinFontPixels));

    imgBack->SetPicture(TakePicture(read, "imgBack.jpg"));
    // The banner is taller than its control, which cuts it to its own 170 rows.
    imgAd->SetPicture(TakePicture(read, "imgAd.jpg"));

    // Where the strip is narrower than its box, the box shows the dark well of the skin.
    QPalette well = ScrollBoxWave->viewport()->palette();
    well.setColor(ScrollBoxWave->viewport()->backgroundRole(), kStripWell);
    ScrollBoxWave->viewport()->setPalette(well);
    ScrollBoxWave->viewport()->setAutoFillBackground(true);

    for (TMouseEffectImage* button : {btnOpen, btnSave, btnMarkStart, btnMarkEnd, btnPlaySelected, btnMoveLeft,
                                      btnMoveRight, MouseEffectImage1, btnSuggest, btnClose})
        LoadButton(read, button, button->objectName() + "_over.jpg", button->objectName() + "_down.bmp");
    // Play is pressed in its hover picture; minimise has a bitmap hover picture and a
    // JPEG pressed picture.
    LoadButton(read, btnPlay, "btnPlay_over.jpg", "btnPlay_over.jpg");
    LoadButton(read, btnMinimize, "btnMinimize_over.bmp", "btnMinimize_down.jpg");

    // The property and position labels write in black on the white panels.
    for (TLabel* label : {lblFilename, lblBitrate, lblChannel, lblSampleRate, lblLength, lblBeginPos, lblEndPos,
                          lblSelectedLength, lblCurrentPos})
        label->SetFontColor(kBlack);
    sb_status->setFont(SkinFont(kSkinFontPixels));
    sb_status->SetFontColor(kBlack);
    lbl_status->setFont(SkinFont(kSkinFontPixels, true));
    lbl_status->SetFontColor(kYellow);
    lblAbout->setFont(SkinFont(kSkinFontPixels));
    lblAbout->SetFontColor(kWhite);
}
