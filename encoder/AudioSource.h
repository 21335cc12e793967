#pragma once
// The source side of av: opens a file with the FFmpeg libraries, decodes its first
// audio stream and hands over exactly the samples of a selection.
//
// Positions are counted in samples of the source's rate on the timeline that decoding
// the stream from its beginning gives (the encoder delay that the stream declares
// already removed). To make a late cut cost no more than an early one, the source is
// first positioned shortly before the selection and only the rest is decoded:
//  - MP3: the frame that holds a point half a second before the start is found by
//    its exact frame number (encoder/MpegFrameLocator.h: from the file's layout where
//    it proves the frame's place, else by stepping over the frame headers), and the
//    stream is read on from its byte position; each frame's place on the timeline is
//    its frame number.
//  - Other formats: the demuxer seeks by time, and the first decoded block's
//    timestamp places it; later blocks follow it sample by sample.
// Whenever positioning cannot be trusted (junk in an MP3 stream, a seek that lands
// after the start or without a timestamp), the file is decoded from its beginning.
#include "encoder/FfmpegPtr.h"
#include "encoder/Selection.h"
#include "media/SourceInput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace av {

class AudioSource {
public:
    // Opens the file and its first audio stream (cover art and video are ignored). Only
    // a regular file in an audio file format is read (see media/SourceInput.h).
    // Throws ToolError when the file cannot be read, holds no audio or cannot be decoded.
    explicit AudioSource(const std::string& path);
    // The same for a file that has already been opened and checked (path is its name
    // for messages): it is read through that descriptor.
    AudioSource(std::unique_ptr<media::SourceFile> file, const std::string& path);

    int sampleRate() const { return sampleRate_; }
    // Whether ReadSelection met any audio at all: when it passed no samples, this tells
    // a selection past the end from a stream that yields nothing.
    bool metAudio() const { return metAudio_; }
    int channels() const { return channels_; }
    // The source's length in samples as its container tells it; 0 when it does not.
    std::int64_t lengthSamples() const;

    // Receives one decoded block and the part of it to take: count samples from offset.
    using Sink = std::function<void(const AVFrame& block, int offset, int count)>;

    // Decodes the selection and passes it to sink in order. Returns the number of
    // samples passed (0 when the selection starts at or after the end of the source).
    std::int64_t ReadSelection(const Selection& selection, const Sink& sink);

    // Makes the source ready for another ReadSelection, through the same descriptor
    // (a pass that measures the selection is followed by one that encodes it).
    void Rewind() { Open(); }

private:
    enum class Start { Found, PastTheEnd, Unknown };

    void Open();
    Start PositionMp3(std::int64_t sample);
    Start PositionByTime(std::int64_t sample);
    std::optional<std::int64_t> FirstBlockTimestamp();
    // Decodes from the current position; returns -1 when the positioning turned out
    // wrong and nothing has been passed on, else the number of samples passed.
    std::int64_t Decode(const Selection& selection, const Sink& sink, bool positioned);
    std::int64_t DeliverBlock(const AVFrame& block, std::int64_t begin,
                              const Selection& selection, const Sink& sink);

    std::string path_;
    std::unique_ptr<media::SourceFile> file_;
    std::unique_ptr<media::SourceInput> input_;
    CodecPtr decoder_;
    int streamIndex_ = -1;
    int sampleRate_ = 0;
    int channels_ = 0;
    bool metAudio_ = false;

    // MP3 positioning: block timestamps are set from frame numbers (in samples) and
    // shifted by the encoder delay that the stream declares.
    bool mp3FramePositions_ = false;
    std::int64_t mp3FirstFrameSample_ = 0;
    std::int64_t mp3ExpectedPos_ = -1;
    std::int64_t mp3DelaySamples_ = 0;
    int mp3FrameSamples_ = 0;
    std::int64_t mp3EndSample_ = Selection::kToTheEnd;  // where the LAME tag's padding begins

    // Other formats: the timestamp (in the stream's time base) of the first block that
    // decoding from the start gives; timeline positions count from it.
    std::int64_t timestampOrigin_ = 0;
};

}  // namespace av
