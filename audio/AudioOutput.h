#pragma once
// Where the media player's PCM goes: the sound device through Qt Multimedia's QAudioSink
// (in a module loaded on the first playback through a device, audio/SoundDevice.h), or,
// where there is no sound device, a null output that takes the audio at the speed a
// device would play it. Both read signed 16-bit interleaved PCM from a PcmQueue and tell
// how much of it has been heard, so the player's positions, modes and end of playback
// behave the same with either. Main thread only.
#include <QElapsedTimer>
#include <QObject>
#include <cstdint>
#include <memory>

class PcmQueue;
class SoundDevice;

class AudioOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts taking PCM of the given format from the queue; expectedFrames is how much the
    // queue will deliver in all (a hint). Returns false when the output cannot play.
    virtual bool Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames) = 0;
    // Stops at once; the audio still held is dropped.
    virtual void Stop() = 0;
    // Sample frames heard since Start.
    virtual int64_t PlayedFrames() = 0;
    // True once the queue has ended and all its audio has been heard.
    virtual bool Finished() = 0;
    // True when the output broke down while playing (the sound server went away).
    virtual bool Failed() { return false; }
};

// Plays nothing and takes the audio in real time, measured with a monotonic clock. When
// the queue runs dry before its end (decoding fell behind), the clock waits for it, as a
// device's position would.
class NullAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    using AudioOutput::AudioOutput;
    bool Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames) override;
    void Stop() override;
    int64_t PlayedFrames() override;
    bool Finished() override;

private:
    void CatchUp();

    PcmQueue* queue_ = nullptr;
    int sampleRate_ = 0;
    int frameBytes_ = 0;
    QElapsedTimer clock_;
    int64_t consumedFrames_ = 0;
    int64_t stalledNs_ = 0;  // time the queue was empty before its end; not heard
};

// Plays through a QAudioSink on the system's sound output, pulling from the queue.
class DeviceAudioOutput : public AudioOutput {
    Q_OBJECT
public:
    // The default sound output (or the first) for 16-bit PCM at sampleRate and channels,
    // which become the device's preferred rate and channels when it cannot take them; null
    // when there is no sound output, none takes either format, or the sound module cannot
    // be loaded (the reason on standard error, once).
    static std::unique_ptr<DeviceAudioOutput> Open(int& sampleRate, int& channels, QObject* parent = nullptr);
    ~DeviceAudioOutput() override;
    bool Start(PcmQueue* queue, int sampleRate, int channels, int64_t expectedFrames) override;
    void Stop() override;
    int64_t PlayedFrames() override;
    bool Finished() override;
    bool Failed() override;

private:
    DeviceAudioOutput(std::unique_ptr<SoundDevice> device, QObject* parent);

    std::unique_ptr<SoundDevice> device_;
};
