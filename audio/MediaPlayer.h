#pragma once
// The window's media player control, `MediaPlayer1`: an invisible control driven from code
// that opens one audio file at a time and plays stretches of it. All times are
// milliseconds.
//
// A file is decoded with the FFmpeg libraries on a thread of its own into a bounded queue
// of about half a second of PCM, and played through Qt Multimedia's QAudioSink on the
// default sound device. Where the machine has no sound device, or SetUseNullOutput(true)
// asks for it, a null output takes the audio at real-time speed instead, so positions,
// modes and the end of playback behave the same.
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <stdexcept>

class AudioDecoder;
class AudioOutput;
class PcmQueue;

// The error a media player request raises; its text is the one shown to the user.
// IsDecoderReason() tells that the text is the FFmpeg libraries' own reason why the file
// could not be read as audio ("Invalid data found when processing input"), which a window
// puts into words of its own.
class EMCIDeviceError : public std::runtime_error {
public:
    explicit EMCIDeviceError(const std::string& text, bool decoderReason = false)
        : std::runtime_error(text), decoderReason_(decoderReason)
    {
    }
    bool IsDecoderReason() const { return decoderReason_; }

private:
    bool decoderReason_;
};

enum class TMPTimeFormats { Milliseconds };

class TMediaPlayer : public QWidget {
    Q_OBJECT
public:
    // The player's states as Mode() reports them.
    enum : int32_t {
        ModeNotReady = 0,
        ModeStopped = 1,
        ModePlaying = 2,
        ModeRecording = 3,
        ModeSeeking = 4,
        ModePaused = 5,
        ModeOpen = 6,
    };

    explicit TMediaPlayer(QWidget* parent = nullptr);
    ~TMediaPlayer() override;  // closes an open file

    // The file that the next Open opens.
    void SetFileName(const QString& path);
    QString FileName() const;

    // Closes the open file, if any, then opens FileName(). Raises EMCIDeviceError with the
    // decoder's text for what went wrong (or "Unknown error code"); the player then has no
    // file open. After a successful Open the mode is 1 (stopped) and the position 0.
    //
    // The file is opened and examined on a thread of its own while this call keeps
    // handling the window's events, so a slow or hostile file never freezes the window.
    // Those events may close or destroy the player, start another Open or call
    // CancelOpen: the open is then broken off and Open returns false without raising,
    // with no file open, and without touching the player again if it was destroyed (the
    // caller must then not touch it either). Returns true when the file is open.
    bool Open();
    // Opens path in a fresh decoder while the file that is open (if any) stays open,
    // named and playable; only once the new file has opened does the player stop, take it
    // and its name, and return true (mode 1, position 0). A failure raises EMCIDeviceError
    // as Open does and a broken-off open returns false: either way the player, its file
    // and FileName() stay as they were.
    bool OpenReplacing(const QString& path);
    // Breaks off an Open that is running (see Open); changes nothing else. Never raises.
    void CancelOpen();
    // Closes the open file, if any, and breaks off a running Open; playback stops. Never
    // raises.
    void Close();

    // Only milliseconds exist; never raises, with or without an open file.
    void SetTimeFormat(TMPTimeFormats format);
    TMPTimeFormats TimeFormat() const;

    // Where the next Play starts and ends; each is used by the next Play only.
    void SetStartPos(int32_t ms);
    int32_t StartPos() const;
    void SetEndPos(int32_t ms);
    int32_t EndPos() const;

    // Starts playback and returns at once: from StartPos when it was set since the last
    // Play, else from Position (from 0 when neither StartPos nor EndPos was set and
    // Position equals Length); to EndPos when set, else to the end. A start outside
    // 0..Length or an end before the start is refused: nothing changes and LastError()
    // tells why; an end beyond Length ends at Length.
    void Play();
    // Stops playback; the position stays where it was heard last; mode 1.
    void Stop();

    // While playing, the position heard from the sound output; otherwise where playback
    // stopped or the last seek put it. 0 without an open file; never raises.
    int32_t Position() const;
    // Seeks: playback stops (mode 1) and the position becomes ms. A position outside
    // 0..Length is refused: nothing changes and LastError() tells why.
    void SetPosition(int32_t ms);
    int32_t Length() const;
    // The open file's own sample rate (Hz), channel count and bit rate (bits a second; 0
    // when the file does not tell it). Raise without an open file, as Length does.
    int SampleRate() const;
    int Channels() const;
    int64_t BitRate() const;
    // 0 without an open file, 1 stopped, 2 playing (see the Mode... constants).
    int32_t Mode() const;

    // The text of the last refused request since the last Open; empty when none was.
    QString LastError() const;

    // Plays into the null output even where a sound device exists (as tests do). Applies to
    // the Play calls made afterwards, in every player of the process.
    static void SetUseNullOutput(bool useNull);
    static bool UseNullOutput();

signals:
    // A playback has started on the null output (no sound device, the sound server
    // refused, or the null output was asked for): it keeps time but nothing is heard.
    void PlayingSilently();

private:
    struct Playback;
    struct OpenJob;

    // Opens path on a thread of its own while handling the window's events (see Open).
    // Returns the decoder, or null when the open was broken off (the player may then be
    // destroyed: nothing of it is touched); raises EMCIDeviceError when it failed.
    std::unique_ptr<AudioDecoder> OpenDecoder(const QString& path);
    // Makes the opened decoder the player's file: stopped at position 0.
    void TakeDecoder(std::unique_ptr<AudioDecoder> decoder);
    void RequireOpen() const;
    void StartPlayback(int32_t fromMs, int32_t toMs);
    // Ends the current playback, if any, leaving the position where it was heard last (or
    // at the end when playback had reached it).
    void StopPlayback();
    // The state of a running playback, asked of its output.
    bool PlaybackReachedEnd() const;
    int32_t PlaybackPosition() const;
    void OnPollTimer();
    void ReleaseEndedPlayback();

    QString fileName_;
    std::unique_ptr<AudioDecoder> decoder_;  // set while a file is open
    std::shared_ptr<OpenJob> openJob_;       // set while an Open waits for its thread
    int32_t lengthMs_ = 0;
    int32_t positionMs_ = 0;
    int32_t startPos_ = 0;
    int32_t endPos_ = 0;
    bool startPosSet_ = false;
    bool endPosSet_ = false;
    TMPTimeFormats timeFormat_ = TMPTimeFormats::Milliseconds;
    QString lastError_;
    std::unique_ptr<Playback> playback_;  // set from Play until playback ends
    std::unique_ptr<Playback> endedPlayback_;  // played to its end; its output finishing
    QTimer pollTimer_;
    QTimer lingerTimer_;
};
