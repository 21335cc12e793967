// The sound device output and the choice of device, built as a module of its own that
// the program loads on the first playback through a device (audio/SoundDevice.h).
#include "audio/SoundDevice.h"

#include "audio/AudioBuffer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <type_traits>

namespace {

// The sink's view of the queue: a sequential device that hands out whole frames and
// reports its end once the queue has ended and been emptied. The sound server's own thread
// may ask atEnd(), which the queue answers under its lock.
class PcmQueueDevice : public QIODevice {
public:
    PcmQueueDevice(PcmQueue* queue, int frameBytes, qint64 expectedBytes, QObject* parent)
        : QIODevice(parent), queue_(queue), frameBytes_(frameBytes), expectedBytes_(expectedBytes)
    {
    }

    bool isSequential() const override { return true; }
    // The whole length of what will come, so that the sink does not wait to prebuffer more
    // than a short stretch will ever hold.
    qint64 size() const override { return expectedBytes_; }
    qint64 bytesAvailable() const override { return qint64(queue_->Available()) + QIODevice::bytesAvailable(); }
    bool atEnd() const override { return queue_->Drained(); }
    int64_t ConsumedFrames() const { return consumedBytes_ / frameBytes_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 whole = maxSize - maxSize % frameBytes_;
        const size_t got = queue_->Pop(reinterpret_cast<uint8_t*>(data), size_t(whole));
        consumedBytes_ += qint64(got);
        return qint64(got);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    PcmQueue* queue_;
    int frameBytes_;
    qint64 expectedBytes_;
    qint64 consumedBytes_ = 0;
};

// Plays through a QAudioSink on the given device, pulling from the queue.
class DeviceSound : public QObject, public SoundDevice {
public:
    explicit DeviceSound(const QAudioDevice& device) : device_(device) {}
    ~DeviceSound() override { Stop(); }
    bool Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames) override;
    void Stop() override;
    int64_t PlayedFrames() override;
    bool Finished() override;
    bool Failed() override;

private:
    QAudioDevice device_;
    PcmQueue* queue_ = nullptr;
    QAudioSink* sink_ = nullptr;
    PcmQueueDevice* source_ = nullptr;
    int sampleRate_ = 0;
    bool failed_ = false;
};

bool DeviceSound::Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames)
{
    Stop();
    queue_ = queue;
    sampleRate_ = sampleRate;
    failed_ = false;
    const int frameBytes = channels * int(sizeof(int16_t));

    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(channels);
    format.setSampleFormat(QAudioFormat::Int16);

    source_ = new PcmQueueDevice(queue, frameBytes, expectedFrames * frameBytes, this);
    source_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    // The sink stops asking once it finds the queue empty; the decoding thread's next bytes
    // wake it again through readyRead, delivered on this object's thread.
    PcmQueueDevice* source = source_;
    queue->SetStarvedCallback([source] {
        QMetaObject::invokeMethod(source, [source] { emit source->readyRead(); }, Qt::QueuedConnection);
    });

    sink_ = new QAudioSink(device_, format, this);
    sink_->setBufferSize(qsizetype(format.bytesForDuration(qint64(kDeviceBufferMs) * 1000)));
    sink_->start(source_);
    if (sink_->state() == QAudio::StoppedState || sink_->error() == QAudio::OpenError ||
        sink_->error() == QAudio::FatalError) {
        Stop();
        return false;
    }
    return true;
}

void DeviceSound::Stop()
{
    if (queue_)
        queue_->SetStarvedCallback(nullptr);
    queue_ = nullptr;
    QAudioSink* sink = sink_;
    PcmQueueDevice* source = source_;
    sink_ = nullptr;
    source_ = nullptr;
    if (sink) {
        sink->stop();
        delete sink;
    }
    delete source;
}

int64_t DeviceSound::PlayedFrames()
{
    if (!sink_ || !source_)
        return 0;
    // What the sink reports as processed is what the server has played out, less its
    // latency; it can never be more than was handed to the sink.
    const int64_t heard = sink_->processedUSecs() * sampleRate_ / 1000000;
    return std::min(heard, source_->ConsumedFrames());
}

bool DeviceSound::Finished()
{
    if (!sink_ || !queue_)
        return false;
    return queue_->Drained() && PlayedFrames() >= source_->ConsumedFrames();
}

bool DeviceSound::Failed()
{
    if (sink_ && sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError)
        failed_ = true;
    return failed_;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) SoundDevice* TallowickOpenSoundDevice(int* sampleRate, int* channels)
{
    if (QMediaDevices::audioOutputs().isEmpty())
        return nullptr;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        device = QMediaDevices::audioOutputs().first();
    QAudioFormat format;
    format.setSampleFormat(QAudioFormat::Int16);
    format.setSampleRate(*sampleRate);
    format.setChannelCount(*channels);
    if (!device.isFormatSupported(format)) {
        // The device cannot take the file's own rate or channels: the decoder converts
        // to what the device prefers.
        const QAudioFormat preferred = device.preferredFormat();
        format.setSampleRate(preferred.sampleRate());
        format.setChannelCount(preferred.channelCount());
    }
    if (!device.isFormatSupported(format))
        return nullptr;
    *sampleRate = format.sampleRate();
    *channels = format.channelCount();
    return new DeviceSound(device);
}

// The program calls it through OpenSoundDeviceFunction: the two must agree.
static_assert(std::is_same_v<decltype(&TallowickOpenSoundDevice), OpenSoundDeviceFunction>);
