#pragma once
// Decodes the audio of a file with the FFmpeg libraries into signed 16-bit interleaved PCM
// at a chosen sample rate and channel count. Whatever FFmpeg reads (MP3, WAV, WMA, ...) can
// be decoded. A stretch of the file is decoded exactly to the sample: decoding seeks to
// just before its start and drops the decoded samples ahead of the first wanted one, and it
// stops at the last wanted one, whatever the packet boundaries of the file are. (In an MP3
// file without a table of contents, a stretch that starts more than a few megabytes past
// the packets read so far is placed by the bit rate instead, to within about a frame in a
// file of constant bit rate, so that a long file starts playing at once anywhere.)
//
// Only a regular file in an audio file format is opened, read through the descriptor
// opened for it and with bounded reading (media/SourceInput.h); opening may be broken off
// from another thread through a cancel flag.
//
// One thread at a time may use an object; it may move between threads.
#include "media/FfmpegPtr.h"
#include "media/SourceInput.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// A file that cannot be opened or has no decodable audio: the text says why, in the
// user's terms where the file was refused for what it is, else in FFmpeg's own.
// IsDecoderReason() tells that the text is FFmpeg's reason why the file's data could not
// be read as audio (not a system error such as a missing file, nor a refusal of ours).
class AudioDecoderError : public std::runtime_error {
public:
    explicit AudioDecoderError(const std::string& text, bool decoderReason = false)
        : std::runtime_error(text), decoderReason_(decoderReason)
    {
    }
    bool IsDecoderReason() const { return decoderReason_; }

private:
    bool decoderReason_;
};

class AudioDecoder {
public:
    // Receives decoded frames (channels interleaved samples each); returns false to stop.
    using Sink = std::function<bool(const int16_t* samples, size_t frames)>;

    // Opens the file and its best audio stream; throws AudioDecoderError. Setting cancel
    // (from any thread) makes a running open give up with AudioDecoderError.
    explicit AudioDecoder(const std::string& path, media::CancelFlag cancel = nullptr);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    int SourceSampleRate() const { return sourceRate_; }
    int SourceChannels() const { return sourceChannels_; }
    // The source's bit rate in bits a second, as the stream or else the container tells
    // it; 0 when neither does.
    int64_t SourceBitRate() const { return sourceBitRate_; }
    // The length of the audio in milliseconds: the container's duration, or, where the
    // container does not tell it, the length found by decoding the whole stream while
    // opening (bounded like all reading, and broken off by the cancel flag).
    int64_t DurationMs() const { return durationMs_; }

    // The PCM format that DecodeRange delivers; the source's format until changed.
    void SetOutputFormat(int sampleRate, int channels);
    int OutputSampleRate() const { return outputRate_; }
    int OutputChannels() const { return outputChannels_; }

    // Decodes the time from startMs up to endMs (exclusive; at most the end of the stream)
    // and hands the PCM to sink in pieces. Returns false when the sink asked to stop.
    // Throws AudioDecoderError when decoding cannot start.
    bool DecodeRange(int64_t startMs, int64_t endMs, const Sink& sink);

    // Converts between milliseconds and sample frames of the source's rate.
    int64_t MsToSourceFrames(int64_t ms) const;

private:
    void SeekToSourceFrame(int64_t frame);
    // Whether seeking exactly to the time stamp would read far beyond the packets seen.
    bool FarBeyondKnownPackets(int64_t ts) const;
    int64_t CountFramesByDecoding();
    int64_t FirstFrameTimestamp();

    std::unique_ptr<media::SourceFile> file_;
    std::unique_ptr<media::SourceInput> input_;  // reads file_
    media::CodecPtr codec_;
    media::PacketPtr packet_;
    media::FramePtr frame_;
    media::CancelFlag cancel_;
    int streamIndex_ = -1;
    int64_t streamStart_ = 0;  // the stream's first time stamp, in its own time base
    int64_t origin_ = 0;       // the time stamp of the first decoded sample: time 0
    int sourceRate_ = 0;
    int sourceChannels_ = 0;
    int64_t sourceBitRate_ = 0;
    int outputRate_ = 0;
    int outputChannels_ = 0;
    int64_t durationMs_ = 0;
};
