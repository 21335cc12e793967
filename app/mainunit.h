#pragma once
// The main window: every control of the skinned window under its own name, the strip
// renderer, and the start-up and close handlers. The commands of the window live beside
// the layers they drive (opening in audio/, transport in strip/, saving in export/).
#include <QScrollArea>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "controls/MouseEffectImage.h"
#include "platform/ImageControl.h"
#include "platform/Label.h"

class TMediaPlayer;
class TWaveRender;

// The temporary directory with its trailing "/".
QString GetTempDirectory();

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls, in creation order (later ones paint over earlier ones).
    TImage* imgBack = nullptr;
    TLabel* lblFilename = nullptr;
    TLabel* lblBitrate = nullptr;
    TLabel* lblChannel = nullptr;
    TLabel* lblSampleRate = nullptr;
    TLabel* lblLength = nullptr;
    TLabel* lblBeginPos = nullptr;
    TLabel* lblEndPos = nullptr;
    TLabel* lblSelectedLength = nullptr;
    TMouseEffectImage* btnOpen = nullptr;
    TMouseEffectImage* btnSave = nullptr;
    TMouseEffectImage* btnPlay = nullptr;
    TMouseEffectImage* btnMarkStart = nullptr;
    TMouseEffectImage* btnMarkEnd = nullptr;
    TMouseEffectImage* btnPlaySelected = nullptr;
    TMouseEffectImage* btnMoveLeft = nullptr;
    TMouseEffectImage* btnMoveRight = nullptr;
    TImage* imgAd = nullptr;
    TMouseEffectImage* btnMinimize = nullptr;
    TMouseEffectImage* btnClose = nullptr;
    TLabel* sb_status = nullptr;
    TMouseEffectImage* MouseEffectImage1 = nullptr;
    TLabel* lbl_status = nullptr;
    TLabel* lblAbout = nullptr;
    TLabel* lblCurrentPos = nullptr;
    QScrollArea* ScrollBoxWave = nullptr;
    TImage* imgWave = nullptr;
    TMediaPlayer* MediaPlayer1 = nullptr;
    QTimer* Timer2 = nullptr;

    // The strip renderer; lives from FormCreate until FormClose.
    std::unique_ptr<TWaveRender> FRender;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormClose(QObject* Sender);
    void ExtractTools();
    void LoadAppInfo();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    TLabel* MakeLabel(const QString& name, const QRect& geometry, const QString& text, bool autoSize = false);
    TMouseEffectImage* MakeButton(const QString& name, const QRect& geometry, const QString& hint);

    bool firstShowDone_ = false;
};
