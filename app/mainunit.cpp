#include "app/mainunit.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include "app/Skin.h"
#include "app/appDefine.h"
#include "audio/HookAnalysis.h"
#include "audio/LevelAnalysis.h"
#include "audio/MPGTools.h"
#include "audio/MediaPlayer.h"
#include "export/CommandLine.h"
#include "platform/ErrorHandler.h"
#include "platform/IniFile.h"
#include "platform/PrivateFolder.h"
#include "platform/TempDirectory.h"
#include "strip/LevelWave.h"
#include "strip/WaveRender.h"

namespace {

constexpr int kClientWidth = 598;
constexpr int kClientHeight = 422;
constexpr int kTimerIntervalMs = 1000;
const char* const kSilentPlaybackStatus = "No sound output found: playing silently.";


}  // namespace

QString GetTempDirectory()
{
    return QString::fromStdString(TempDirectoryFromEnvironment());
}

TMainForm::TMainForm(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName("MainForm");
    setWindowTitle(QCoreApplication::applicationName().isEmpty() ? QStringLiteral("Tallowick")
                                                                  : QCoreApplication::applicationName());
    setFixedSize(kClientWidth, kClientHeight);
    // A local audio file dropped anywhere on the window opens (app/OpenFromOutside.cpp).
    setAcceptDrops(true);
    StartReadingSkin();
    // The skin's font before the controls, so that the labels are measured once, in the
    // font they show (app/Skin.cpp sets the same font again).
    setFont(SkinFont(kSkinFontPixels));
    CreateControls();
    LoadSkin();
    ConnectChrome();
    FormCreate(this);
    ConnectHandlers();
    CreateShortcuts();
    MakeButtonsReachable();
}

TMainForm::~TMainForm()
{
    // The strip goes before the controls do; its view lets go of it first.
    imgWave->SetStrip(nullptr);
}

TLabel* TMainForm::MakeLabel(const QString& name, const QRect& geometry, const QString& text, bool autoSize)
{
    auto* label = new TLabel(this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->SetCaption(text);
    label->SetAutoSize(autoSize);
    return label;
}

TMouseEffectImage* TMainForm::MakeButton(const QString& name, const QRect& geometry, const QString& hint)
{
    auto* button = new TMouseEffectImage(this);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->SetHint(hint);
    return button;
}

void TMainForm::CreateControls()
{
    imgBack = new TImage(this);
    imgBack->setObjectName("imgBack");
    imgBack->setGeometry(0, 0, kClientWidth, kClientHeight);
    imgBack->SetAutoSize(true);

    lblFilename = MakeLabel("lblFilename", {188, 262, 176, 13}, "File Name:");
    lblBitrate = MakeLabel("lblBitrate", {188, 282, 176, 16}, "Bitrate:");
    lblChannel = MakeLabel("lblChannel", {188, 304, 176, 13}, "Channels:");
    lblSampleRate = MakeLabel("lblSampleRate", {188, 324, 176, 13}, "Sample Rate:");
    lblLength = MakeLabel("lblLength", {188, 344, 176, 13}, "Length:");
    lblBeginPos = MakeLabel("lblBeginPos", {393, 262, 175, 13}, "Begin Pos: ");
    lblEndPos = MakeLabel("lblEndPos", {393, 282, 175, 16}, "End Pos:");
    lblSelectedLength = MakeLabel("lblSelectedLength", {393, 304, 175, 13}, "Length: ");

    btnOpen = MakeButton("btnOpen", {26, 254, 108, 32}, QString());
    btnOpen->SetShowHint(false);
    btnSave = MakeButton("btnSave", {26, 303, 108, 32}, QString());
    btnPlay = MakeButton("btnPlay", {454, 97, 47, 48}, "Play");
    btnMarkStart = MakeButton("btnMarkStart", {414, 105, 36, 35}, "Mark start");
    btnMarkEnd = MakeButton("btnMarkEnd", {500, 104, 36, 35}, "Mark end");
    btnPlaySelected = MakeButton("btnPlaySelected", {458, 60, 36, 36}, "Play the selected segment");
    btnMoveLeft = MakeButton("btnMoveLeft", {408, 51, 40, 40}, "Extend left");
    btnMoveRight = MakeButton("btnMoveRight", {503, 51, 42, 42}, "Extend right");

    imgAd = new TImage(this);
    imgAd->setObjectName("imgAd");
    imgAd->setGeometry(13, 38, 363, 170);

    btnMinimize = MakeButton("btnMinimize", {549, 8, 14, 14}, QString());
    btnClose = MakeButton("btnClose", {572, 8, 14, 14}, QString());
    sb_status = MakeLabel("sb_status", {1, 400, 90, 13}, QString(30, ' '), true);
    MouseEffectImage1 = MakeButton("MouseEffectImage1", {458, 144, 35, 35}, "Pause");
    btnSuggest = MakeButton("btnSuggest", {414, 144, 36, 35}, "Suggest a ringtone");
    lbl_status = MakeLabel("lbl_status", {395, 186, 25, 13}, "Play", true);
    lblAbout = MakeLabel("lblAbout", {60, 367, 28, 13}, "About", true);
    lblCurrentPos = MakeLabel("lblCurrentPos", {393, 324, 175, 13}, "Current Pos: ");

    ScrollBoxWave = new QScrollArea(this);
    ScrollBoxWave->setObjectName("ScrollBoxWave");
    ScrollBoxWave->setGeometry(13, 37, 363, 171);
    ScrollBoxWave->setFrameStyle(QFrame::Box | QFrame::Plain);
    ScrollBoxWave->setLineWidth(1);
    ScrollBoxWave->setWidgetResizable(false);
    ScrollBoxWave->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBoxWave->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    imgWave = new StripView;
    imgWave->setObjectName("imgWave");
    imgWave->setGeometry(0, 0, 276, 152);
    ScrollBoxWave->setWidget(imgWave);
    ScrollBoxWave->hide();

    MediaPlayer1 = new TMediaPlayer(this);
    MediaPlayer1->setObjectName("MediaPlayer1");
    MediaPlayer1->setGeometry(191, 368, 253, 30);
    MediaPlayer1->hide();

    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setInterval(kTimerIntervalMs);
}

void TMainForm::ConnectHandlers()
{
    // Each handler runs under the default error handler, so that an error it raises is
    // shown in the error box and never unwinds through the toolkit.
    const auto onClick = [this](TImage* control, void (TMainForm::*handler)(QObject*)) {
        connect(control, &TImage::Click, this, [this, control, handler] { RunHandler([&] { (this->*handler)(control); }); });
    };
    onClick(btnPlay, &TMainForm::btnPlayClick);
    onClick(MouseEffectImage1, &TMainForm::MouseEffectImage1Click);
    onClick(btnPlaySelected, &TMainForm::btnPlaySelectedClick);
    onClick(btnMarkStart, &TMainForm::btnMarkStartClick);
    onClick(btnMarkEnd, &TMainForm::btnMarkEndClick);
    onClick(btnMoveLeft, &TMainForm::btnMoveLeftClick);
    onClick(btnMoveRight, &TMainForm::btnMoveRightClick);
    onClick(btnSave, &TMainForm::btnSaveClick);
    onClick(btnOpen, &TMainForm::btnOpenClick);
    connect(imgWave, &TImage::MouseUp, this, [this](Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
        RunHandler([&] { imgWaveMouseUp(imgWave, button, shift, x, y); });
    });
    // Without a sound device the player keeps time in silence; the user hears of it once.
    connect(MediaPlayer1, &TMediaPlayer::PlayingSilently, this, [this] {
        if (silenceTold_)
            return;
        silenceTold_ = true;
        sb_status->SetCaption(kSilentPlaybackStatus);
    });
    connect(Timer2, &QTimer::timeout, this, [this] { RunHandler([&] { Timer2Timer(Timer2); }); });
    Timer2->start();
    // The idle handler runs each time the event queue has been emptied and the loop is
    // about to wait for the next event.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        bool done = true;
        RunHandler([&] { ApplicationEvents1Idle(this, done); });
    });
}

void TMainForm::FormCreate(QObject*)
{
    // No device is open yet, so this changes nothing; playback sets it again.
    MediaPlayer1->SetTimeFormat(TMPTimeFormats::Milliseconds);
    // No canvas: imgWave draws the columns it shows from the renderer in its paint event.
    FRender = std::make_unique<TWaveRender>(nullptr, imgWave->width(), imgWave->height());
    imgWave->SetStrip(FRender.get());
    CreateAudioWaveMenu();
    CreateSuggestCommand();
    CreateSaveOptionsMenu();
    LoadAppInfo();
    IsConverting = false;
    MediaPlayer1->SetTimeFormat(TMPTimeFormats::Milliseconds);
    WorkDir = GetTempDirectory() + kWorkFolderName + "/";
    WorkDirTrusted = MakePrivateFolder(WorkDir.toStdString());
    ExtractTools();
}

void TMainForm::ExtractTools()
{
    // A folder that someone else could change is never written into (nor run from later).
    if (!WorkDirTrusted)
        return;
    ExtractResourceToFile(kToolResourceType, kToolResourceName, WorkDir + kToolFileName);
}

void TMainForm::LoadAppInfo()
{
    const QString iniPath = QCoreApplication::applicationDirPath() + "/config.ini";
    AppInfo.Homepage = QString::fromStdString(
        ReadProfileString(iniPath.toStdString(), "ApplicationInfo", "Homepage", kDefaultHomepage));
}

void TMainForm::FormShow(QObject*)
{
    LoadAppInfo();
}

void TMainForm::FormClose(QObject*)
{
    // An open or a scan in progress ends at once; its command then changes nothing.
    MediaPlayer1->CancelOpen();
    if (scanningReader_)
        scanningReader_->Cancel();
    StopLevelAnalysis();
    StopHookAnalysis();
    Timer2->stop();
    imgWave->SetStrip(nullptr);
    levelWave_.reset();
    FRender.reset();
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring a minimised window shows it again; only the first showing counts.
    if (firstShowDone_)
        return;
    firstShowDone_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    FormShow(this);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose(this);
    event->accept();
}
