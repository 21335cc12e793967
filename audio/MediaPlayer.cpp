#include "audio/MediaPlayer.h"

#include "audio/AudioBuffer.h"
#include "audio/AudioDecoder.h"
#include "audio/AudioOutput.h"
#include "base/UniqueFd.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

// How much decoded audio may wait ahead of the output.
constexpr int kQueueMs = 500;
// How often a running playback is looked at, to take the null output's audio and to
// notice the end of playback. Readers of Mode and Position see the exact state at any time.
constexpr int kPollIntervalMs = 100;

// How long an output that has been handed all of its audio stays open, so that the sound
// server plays out what it holds (well beyond the output's own buffering).
constexpr int kLingerMs = 1000;

const char* const kNotOpenText = "No MCI device open";
const char* const kOutOfRangeText = "The specified parameter is out of range for the specified command.";

std::atomic<bool> gUseNullOutput{false};

}  // namespace

struct TMediaPlayer::Playback {
    std::unique_ptr<PcmQueue> queue;
    std::unique_ptr<AudioOutput> output;
    std::thread decoding;
    int32_t fromMs = 0;
    int32_t toMs = 0;
    int sampleRate = 0;
};

// One Open's work on its thread: the decoder it made or the text of its failure. The
// thread only touches this (shared, so that it outlives a player destroyed meanwhile).
struct TMediaPlayer::OpenJob {
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<AudioDecoder> decoder;
    std::string error;
    bool decoderReason = false;  // error is FFmpeg's reason why the file is no audio
};

TMediaPlayer::TMediaPlayer(QWidget* parent) : QWidget(parent)
{
    setVisible(false);
    // The FFmpeg libraries are loaded by the first open, which also quiets their log
    // (media/FfmpegLibraries.h): what the decoder has to say about a damaged or odd file
    // reaches the user through the player's errors.
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &TMediaPlayer::OnPollTimer);
    lingerTimer_.setSingleShot(true);
    lingerTimer_.setInterval(kLingerMs);
    connect(&lingerTimer_, &QTimer::timeout, this, &TMediaPlayer::ReleaseEndedPlayback);
}

TMediaPlayer::~TMediaPlayer()
{
    Close();
}

void TMediaPlayer::SetUseNullOutput(bool useNull)
{
    gUseNullOutput.store(useNull);
}

bool TMediaPlayer::UseNullOutput()
{
    return gUseNullOutput.load();
}

void TMediaPlayer::SetFileName(const QString& path)
{
    fileName_ = path;
}

QString TMediaPlayer::FileName() const
{
    return fileName_;
}

bool TMediaPlayer::Open()
{
    Close();
    std::unique_ptr<AudioDecoder> decoder = OpenDecoder(fileName_);
    if (!decoder)
        return false;
    TakeDecoder(std::move(decoder));
    return true;
}

bool TMediaPlayer::OpenReplacing(const QString& path)
{
    // An earlier open still waiting gives way to this one; the open file stays.
    CancelOpen();
    std::unique_ptr<AudioDecoder> decoder = OpenDecoder(path);
    if (!decoder)
        return false;
    StopPlayback();
    ReleaseEndedPlayback();
    fileName_ = path;
    lastError_.clear();
    startPosSet_ = false;
    endPosSet_ = false;
    TakeDecoder(std::move(decoder));
    return true;
}

std::unique_ptr<AudioDecoder> TMediaPlayer::OpenDecoder(const QString& fileName)
{
    auto job = std::make_shared<OpenJob>();
    openJob_ = job;
    const std::string path = QFile::encodeName(fileName).toStdString();
    QPointer<TMediaPlayer> self(this);
    // The thread tells that it has finished through an event file descriptor rather than
    // through Qt's event queue, and everything it made is handed over by joining it.
    const base::UniqueFd finished(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    std::thread opening([job, path, fd = finished.get()] {
        try {
            job->decoder = std::make_unique<AudioDecoder>(path, job->cancel);
        } catch (const AudioDecoderError& error) {
            job->error = error.what();
            job->decoderReason = error.IsDecoderReason();
        } catch (const std::bad_alloc&) {
            job->error = media::ErrorText(AVERROR(ENOMEM));
        }
        const std::uint64_t one = 1;
        while (fd >= 0 && write(fd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    });
    // Like the MPEG reader's scan, the wait handles the window's events; without an
    // application (or a descriptor to wake it) there are none to handle.
    if (QCoreApplication::instance() && finished.valid()) {
        QEventLoop waiting;
        QSocketNotifier notifier(finished.get(), QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &waiting, [&notifier, &waiting] {
            // Once is enough: the descriptor stays readable, and a later Open's loop may be
            // running inside this one.
            notifier.setEnabled(false);
            waiting.quit();
        });
        waiting.exec();
    }
    opening.join();

    // Closed, destroyed or overtaken by a later Open while waiting: this open gives way.
    if (!self || job->cancel->load())
        return nullptr;
    openJob_.reset();
    if (!job->decoder)
        throw EMCIDeviceError(job->error.empty() ? "Unknown error code" : job->error, job->decoderReason);
    return std::move(job->decoder);
}

void TMediaPlayer::TakeDecoder(std::unique_ptr<AudioDecoder> decoder)
{
    decoder_ = std::move(decoder);
    lengthMs_ = int32_t(std::clamp<int64_t>(decoder_->DurationMs(), 0, std::numeric_limits<int32_t>::max()));
    positionMs_ = 0;
}

void TMediaPlayer::CancelOpen()
{
    if (!openJob_)
        return;
    openJob_->cancel->store(true);
    openJob_.reset();
}

void TMediaPlayer::Close()
{
    CancelOpen();
    StopPlayback();
    decoder_.reset();
    lengthMs_ = 0;
    positionMs_ = 0;
    lastError_.clear();
}

void TMediaPlayer::SetTimeFormat(TMPTimeFormats format)
{
    timeFormat_ = format;
}

TMPTimeFormats TMediaPlayer::TimeFormat() const
{
    return timeFormat_;
}

void TMediaPlayer::SetStartPos(int32_t ms)
{
    startPos_ = ms;
    startPosSet_ = true;
}

int32_t TMediaPlayer::StartPos() const
{
    return startPos_;
}

void TMediaPlayer::SetEndPos(int32_t ms)
{
    endPos_ = ms;
    endPosSet_ = true;
}

int32_t TMediaPlayer::EndPos() const
{
    return endPos_;
}

void TMediaPlayer::RequireOpen() const
{
    if (!decoder_)
        throw EMCIDeviceError(kNotOpenText);
}

void TMediaPlayer::Play()
{
    RequireOpen();
    const bool useStart = startPosSet_;
    const bool useEnd = endPosSet_;
    startPosSet_ = false;
    endPosSet_ = false;

    int32_t from = Position();
    if (!useStart && !useEnd && from == lengthMs_)
        from = 0;  // played to the end: start again from the top
    if (useStart)
        from = startPos_;
    int32_t to = useEnd ? endPos_ : lengthMs_;
    if (from < 0 || from > lengthMs_ || to < from) {
        lastError_ = kOutOfRangeText;
        return;
    }
    to = std::min(to, lengthMs_);

    StopPlayback();
    positionMs_ = from;
    if (to == from)
        return;  // nothing to hear
    StartPlayback(from, to);
}

void TMediaPlayer::StartPlayback(int32_t fromMs, int32_t toMs)
{
    int sampleRate = decoder_->SourceSampleRate();
    int channels = decoder_->SourceChannels();
    std::unique_ptr<AudioOutput> output;
    // The device output may ask the decoder to convert to what the device prefers.
    if (!UseNullOutput())
        output = DeviceAudioOutput::Open(sampleRate, channels);
    decoder_->SetOutputFormat(sampleRate, channels);

    auto playback = std::make_unique<Playback>();
    const size_t frameBytes = size_t(channels) * sizeof(int16_t);
    playback->queue = std::make_unique<PcmQueue>(size_t(sampleRate) * kQueueMs / 1000 * frameBytes);
    playback->fromMs = fromMs;
    playback->toMs = toMs;
    playback->sampleRate = sampleRate;
    const int64_t expectedFrames = int64_t(toMs - fromMs) * sampleRate / 1000;
    if (output && !output->Start(playback->queue.get(), sampleRate, channels, expectedFrames))
        output.reset();  // the sound server refused: play silently, keeping time
    const bool silent = !output;
    if (silent) {
        output = std::make_unique<NullAudioOutput>();
        output->Start(playback->queue.get(), sampleRate, channels, expectedFrames);
    }
    playback->output = std::move(output);

    AudioDecoder* decoder = decoder_.get();
    PcmQueue* queue = playback->queue.get();
    playback->decoding = std::thread([decoder, queue, fromMs, toMs, frameBytes] {
        try {
            decoder->DecodeRange(fromMs, toMs, [queue, frameBytes](const int16_t* samples, size_t frames) {
                return queue->Push(reinterpret_cast<const uint8_t*>(samples), frames * frameBytes);
            });
        } catch (const std::exception&) {
            // Decoding broke off (damaged data, no memory): what was decoded is played and
            // playback then ends as at the end of the stretch.
        }
        queue->Finish();
    });
    playback_ = std::move(playback);
    pollTimer_.start();
    if (silent)
        emit PlayingSilently();
}

void TMediaPlayer::StopPlayback()
{
    ReleaseEndedPlayback();
    if (!playback_)
        return;
    const bool reachedEnd = PlaybackReachedEnd();
    const int32_t position = reachedEnd ? playback_->toMs : PlaybackPosition();
    // The player is stopped before the output is torn down, so that anything running while
    // the output shuts down finds a consistent player.
    std::unique_ptr<Playback> playback = std::move(playback_);
    pollTimer_.stop();
    positionMs_ = position;
    playback->queue->Cancel();
    if (playback->decoding.joinable())
        playback->decoding.join();
    if (reachedEnd) {
        // The last of the sound may still be on its way through the sound server: the
        // output is left to finish it and closed a little later.
        endedPlayback_ = std::move(playback);
        lingerTimer_.start();
    } else {
        playback->output->Stop();
    }
}

void TMediaPlayer::ReleaseEndedPlayback()
{
    lingerTimer_.stop();
    if (!endedPlayback_)
        return;
    std::unique_ptr<Playback> ended = std::move(endedPlayback_);
    ended->output->Stop();
}

bool TMediaPlayer::PlaybackReachedEnd() const
{
    return playback_->output->Finished();
}

int32_t TMediaPlayer::PlaybackPosition() const
{
    const int64_t heardMs = playback_->output->PlayedFrames() * 1000 / playback_->sampleRate;
    return int32_t(std::min<int64_t>(playback_->fromMs + heardMs, playback_->toMs));
}

void TMediaPlayer::OnPollTimer()
{
    if (playback_ && (playback_->output->Failed() || PlaybackReachedEnd()))
        StopPlayback();
}

void TMediaPlayer::Stop()
{
    RequireOpen();
    StopPlayback();
}

int32_t TMediaPlayer::Position() const
{
    if (!decoder_)
        return 0;
    if (playback_)
        return PlaybackReachedEnd() ? playback_->toMs : PlaybackPosition();
    return positionMs_;
}

void TMediaPlayer::SetPosition(int32_t ms)
{
    RequireOpen();
    if (ms < 0 || ms > lengthMs_) {
        lastError_ = kOutOfRangeText;
        return;
    }
    StopPlayback();
    positionMs_ = ms;
}

int32_t TMediaPlayer::Length() const
{
    RequireOpen();
    return lengthMs_;
}

int TMediaPlayer::SampleRate() const
{
    RequireOpen();
    return decoder_->SourceSampleRate();
}

int TMediaPlayer::Channels() const
{
    RequireOpen();
    return decoder_->SourceChannels();
}

int64_t TMediaPlayer::BitRate() const
{
    RequireOpen();
    return decoder_->SourceBitRate();
}

int32_t TMediaPlayer::Mode() const
{
    if (!decoder_)
        return ModeNotReady;
    if (playback_ && !playback_->output->Failed() && !PlaybackReachedEnd())
        return ModePlaying;
    return ModeStopped;
}

QString TMediaPlayer::LastError() const
{
    return lastError_;
}
