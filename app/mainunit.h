#pragma once
// The main window: every control of the skinned window under its own name, the strip
// renderer, the start-up and close handlers, and the window's commands (opening in
// OpenCommand.cpp and, from the command line or a drop, OpenFromOutside.cpp; transport
// and selection in TransportCommands.cpp; keys in KeyboardCommands.cpp; saving in
// SaveCommand.cpp).
#include <QScrollArea>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <future>
#include <map>
#include <memory>
#include <optional>

#include "controls/MouseEffectImage.h"
#include "export/CutMp3Thread.h"
#include "platform/ImageControl.h"
#include "platform/Label.h"
#include "strip/StripView.h"

class PointerOnScreen;
class HookAnalysis;
class LevelAnalysis;
class LevelWave;
class QAction;
class TMediaPlayer;
class TMPEGAudio;
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
    StripView* imgWave = nullptr;
    TMediaPlayer* MediaPlayer1 = nullptr;
    QTimer* Timer2 = nullptr;

    // The strip renderer; lives from FormCreate until FormClose. imgWave draws it.
    std::unique_ptr<TWaveRender> FRender;

    // The path of the last file opened; the source of an export.
    QString FSourceFile;
    // The latest export request.
    QString FTargetFile;
    TCutMp3ThreadInfo FCutInfo;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormClose(QObject* Sender);
    void ExtractTools();
    void LoadAppInfo();

    // Opening a file (OpenCommand.cpp).
    void btnOpenClick(QObject* Sender);
    // Opens the file at path as the Open button does once its dialog is answered; the
    // command line and a file dropped on the window open through it too.
    void OpenPath(const QString& path);
    // Opens the file named on the command line (the arguments after the program's name),
    // if any, under the error handler (app/OpenFromOutside.cpp).
    void OpenFromArguments(const QStringList& arguments);
    // Fills the property labels and sizes the strip for the file just opened; false when
    // the examination was cancelled (a later open or the window's close), in which case
    // nothing was changed.
    bool LoadFileInfo(const QString& path);
    // Whether an open command is still examining its file.
    bool IsExaminingFile() const { return scanningReader_ != nullptr; }

    // Transport and selection (TransportCommands.cpp).
    void btnPlayClick(QObject* Sender);
    void MouseEffectImage1Click(QObject* Sender);
    void btnPlaySelectedClick(QObject* Sender);
    void btnMarkStartClick(QObject* Sender);
    void btnMarkEndClick(QObject* Sender);
    void btnMoveLeftClick(QObject* Sender);
    void btnMoveRightClick(QObject* Sender);
    void imgWaveMouseUp(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    void Timer2Timer(QObject* Sender);
    void ApplicationEvents1Idle(QObject* Sender, bool& Done);

    // The window's keys (app/KeyboardCommands.cpp): the commands the buttons lack.
    void PlayOrPause(QObject* Sender);
    void MoveCursorToStart(QObject* Sender);
    void MoveCursorToEnd(QObject* Sender);
    void MoveCursorColumnLeft(QObject* Sender);
    void MoveCursorColumnRight(QObject* Sender);
    void MoveCursorSecondLeft(QObject* Sender);
    void MoveCursorSecondRight(QObject* Sender);
    // Moves the play cursor to a column of the file, held within the file's columns; the
    // view follows it, and playback in progress goes on from it (TransportCommands.cpp).
    void MoveCursorTo(int32_t column);
    void MoveCursorBy(int32_t columns);

    // The strip's wave from the audio's levels (AudioWaveCommand.cpp).
    QAction* actShowAudioWave = nullptr;
    void CreateAudioWaveMenu();
    void ShowAudioWaveToggled(bool checked);
    // Finds the levels of the file whose strip was just sized; the strip shows them as they come.
    void StartLevelAnalysis(const QString& path);
    // Breaks off the analysis, if one runs; nothing of it reaches the strip afterwards.
    void StopLevelAnalysis();
    // The analysis of the file shown, until it is stopped (it stays after it has ended).
    const LevelAnalysis* Levels() const { return levelAnalysis_.get(); }

    // Suggesting a ringtone from the song's hook (SuggestCommand.cpp).
    QAction* actSuggest = nullptr;
    TMouseEffectImage* btnSuggest = nullptr;   // its picture button in the transport panel
    void CreateSuggestCommand();
    void SuggestClick();
    void StartHookAnalysis(const QString& path);
    void StopHookAnalysis();
    const HookAnalysis* Hook() const { return hookAnalysis_.get(); }

    // Export (SaveCommand.cpp).
    void btnSaveClick(QObject* Sender);
    // The Save button's context menu: fades and loudness, kept in the settings (SaveOptionsMenu.cpp).
    QAction* actFadeInOut = nullptr;
    QAction* actMakeLoud = nullptr;
    void CreateSaveOptionsMenu();
    ExportOptions ChosenExportOptions() const;

    // Window chrome, hint echo and the About link (app/mainchrome.cpp).
    void btnCloseClick(QObject* Sender);
    void btnMinimizeClick(QObject* Sender);
    void imgBackMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    void imgAdMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    // The hint echo: the transport button under the pointer shows its hint in lbl_status.
    void TransportButtonMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X,
                                  int Y);
    void lblAboutMouseMove(QObject* Sender, Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, int X, int Y);
    void lblAboutMouseLeave(QObject* Sender);
    void lblAboutClick(QObject* Sender);

protected:
    // A local audio file dropped on the window opens (app/OpenFromOutside.cpp).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void ConnectHandlers();
    // The window's keys and the tooltips that name them (app/KeyboardCommands.cpp).
    void CreateShortcuts();
    // Focus by Tab, names for assistive technology (app/KeyboardCommands.cpp).
    void MakeButtonsReachable();
    // Sets the play cursor; playback in progress stops and goes on from it.
    void PlaceCursor(int32_t column);
    // Starts reading the pictures the window shows first, on a thread of their own while
    // the controls are made; LoadSkin takes them (app/Skin.cpp).
    void StartReadingSkin();
    // The skin's pictures, fonts and colours (app/Skin.cpp).
    void LoadSkin();
    // The chrome handlers above (app/mainchrome.cpp).
    void ConnectChrome();
    void DragWindow(QObject* Sender, Qt::MouseButtons Buttons, int X, int Y);
    TLabel* MakeLabel(const QString& name, const QRect& geometry, const QString& text, bool autoSize = false);
    TMouseEffectImage* MakeButton(const QString& name, const QRect& geometry, const QString& hint);

    // The pictures StartReadingSkin reads, by file name.
    std::future<std::map<QString, TPicture>> firstPictures_;
    bool firstShowDone_ = false;
    // Whether the status bar has told that playback is silent (told once).
    bool silenceTold_ = false;
    // A window drag where the platform has no move loop of its own: the point of the
    // window under the pointer since the left button went down.
    std::optional<QPoint> dragGrip_;
    bool manualDrag_ = false;
    // Where on the screen the pointer was at the latest event of the background or the
    // banner (app/mainchrome.cpp).
    PointerOnScreen* pointerOnScreen_ = nullptr;
    // The reader of the innermost open command that is still scanning, if any; the
    // command clears it on every way out of its scan.
    TMPEGAudio* scanningReader_ = nullptr;
    std::unique_ptr<LevelWave> levelWave_;
    std::unique_ptr<LevelAnalysis> levelAnalysis_;
    std::unique_ptr<HookAnalysis> hookAnalysis_;
    int ringtoneSeconds_ = 30;
    std::size_t nextSuggestion_ = 0;   // the candidate the next suggestion offers
    bool suggestionWanted_ = false;    // a suggestion waits for the analysis
};
