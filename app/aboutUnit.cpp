#include "app/aboutUnit.h"

#include <QPushButton>
#include <QShowEvent>

#include "app/Skin.h"
#include "app/appDefine.h"
#include "platform/ErrorHandler.h"

namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 266;
// 10 points at 96 dots per inch.
constexpr int kVersionFontPixels = 13;
// 0x00BBGGRR colours.
constexpr unsigned int kPurple = 0x800080;
constexpr unsigned int kBlack = 0x000000;
const QColor kMaroon(128, 0, 0);

TLabel* MakeLabel(QWidget* parent, const char* name, int left, int top, const QString& text)
{
    auto* label = new TLabel(parent);
    label->setObjectName(name);
    label->move(left, top);
    label->SetCaption(text);
    // The width follows the text, so that an address of any length shows whole.
    label->SetAutoSize(true);
    label->SetFontColor(kBlack);
    return label;
}

}  // namespace

TAboutForm::TAboutForm(QWidget* parent)
    // A standard frame with a system menu and a minimise box, and no maximise box.
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName("AboutForm");
    setWindowTitle("About");
    setWindowIcon(SkinIcon());
    setFont(SkinFont(kSkinFontPixels));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Button));
    setPalette(colours);
    setFixedSize(kClientWidth, kClientHeight);

    Image1 = new TImage(this);
    Image1->setObjectName("Image1");
    Image1->SetAutoSize(true);
    Image1->SetPicture(SkinPicture("AboutBack.jpg"));

    Label1 = MakeLabel(this, "Label1", 97, 68, kAboutVersionText);
    Label1->setFont(SkinFont(kVersionFontPixels, true));
    Label1->SetFontColor(kPurple);
    lblHomepage = MakeLabel(this, "lblHomepage", 49, 165, kAboutDesignedHomepage);
    Label3 = MakeLabel(this, "Label3", 49, 188, kAboutSupportAddress);

    // A flat button over the plate drawn in the background picture; C is its access key.
    SpeedButton1 = new QPushButton("&Continue", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setGeometry(189, 230, 67, 20);
    SpeedButton1->setFlat(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setAutoDefault(false);
    SpeedButton1->setFont(SkinFont(kSkinFontPixels));
    QPalette buttonColours = SpeedButton1->palette();
    buttonColours.setColor(QPalette::ButtonText, kMaroon);
    SpeedButton1->setPalette(buttonColours);
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { RunHandler([&] { SpeedButton1Click(SpeedButton1); }); });
    CentreOver(parent);
}

void TAboutForm::CentreOver(QWidget* parent)
{
    if (!parent)
        return;
    // The dialog's own area (without the frame a window manager adds) goes exactly over
    // the middle of the window's; a position given here also keeps the window manager
    // from placing the dialog where it likes.
    const QRect over = parent->window()->geometry();
    setGeometry(QRect(over.topLeft() + QPoint((over.width() - width()) / 2, (over.height() - height()) / 2), size()));
}

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The window system's own show events (a restore from minimised) are no showing.
    if (!event->spontaneous())
        RunHandler([&] { FormShow(this); });
}

void TAboutForm::FormShow(QObject*)
{
    if (!AppInfo.Homepage.isEmpty())
        lblHomepage->SetCaption(AppInfo.Homepage);
}

void TAboutForm::SpeedButton1Click(QObject*)
{
    // Closing a modal dialog ends its loop with the cancel result.
    close();
}
