#pragma once
// Decodes the audio of a file with the FFmpeg libraries into signed 16-bit interleaved PCM
// at a chosen sample rate and channel count. Whatever FFmpeg reads (MP3, WAV, WMA, ...) can
// be decoded. A stretch of the file is decoded exactly to the sample: decoding seeks to
// just before its start and drops the decoded samples ahead of the first wanted one, and it
// stops at the last wanted one, whatever the packet boundaries of the file are.
//
// One thread at a time may use an object; it may move between threads.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;

// A file that cannot be opened or has no decodable audio; the text is FFmpeg's own.
class TAudioDecoderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TAudioDecoder {
public:
    // Receives decoded frames (channels interleaved samples each); returns false to stop.
    using TSink = std::function<bool(const int16_t* samples, size_t frames)>;

    // Opens the file and its best audio stream; throws TAudioDecoderError.
    explicit TAudioDecoder(const std::string& path);
    ~TAudioDecoder();
    TAudioDecoder(const TAudioDecoder&) = delete;
    TAudioDecoder& operator=(const TAudioDecoder&) = delete;

    int SourceSampleRate() const { return sourceRate_; }
    int SourceChannels() const { return sourceChannels_; }
    // The length of the audio in milliseconds: the container's duration, or, where the
    // container does not tell it, the length found by decoding the whole stream.
    int64_t DurationMs() const { return durationMs_; }

    // The PCM format that DecodeRange delivers; the source's format until changed.
    void SetOutputFormat(int sampleRate, int channels);
    int OutputSampleRate() const { return outputRate_; }
    int OutputChannels() const { return outputChannels_; }

    // Decodes the time from startMs up to endMs (exclusive; at most the end of the stream)
    // and hands the PCM to sink in pieces. Returns false when the sink asked to stop.
    // Throws TAudioDecoderError when decoding cannot start.
    bool DecodeRange(int64_t startMs, int64_t endMs, const TSink& sink);

    // Converts between milliseconds and sample frames of the source's rate.
    int64_t MsToSourceFrames(int64_t ms) const;

private:
    void Close();
    void SeekToSourceFrame(int64_t frame);
    int64_t CountFramesByDecoding();
    int64_t FirstFrameTimestamp();

    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    int64_t streamStart_ = 0;  // the stream's first time stamp, in its own time base
    int64_t origin_ = 0;       // the time stamp of the first decoded sample: time 0
    int sourceRate_ = 0;
    int sourceChannels_ = 0;
    int outputRate_ = 0;
    int outputChannels_ = 0;
    int64_t durationMs_ = 0;
};
