#pragma once
// The target side of av: converts the selected samples to the encoder's rate, channel
// count and sample format, encodes them (LAME MP3 at a constant bit rate, OpenCORE
// AMR narrow-band, FFmpeg's AAC-LC or libvorbis) and writes the stream into the
// temporary target file: an MP3 stream with a Xing/LAME header that tells players the
// exact length, an AMR file, an MPEG-4 audio file whose edit list skips the AAC
// encoder's delay, or an Ogg Vorbis file.
#include "encoder/CommandLine.h"
#include "encoder/FfmpegPtr.h"
#include "encoder/LevelShape.h"
#include "encoder/OutputChoice.h"
#include "encoder/SampleGuard.h"

#include <cstdint>
#include <memory>
#include <string>

namespace av {

class TargetFile;

class SegmentEncoder {
public:
    // Opens the encoder and writes the container's header into target's file. Every
    // sample is shaped by shape (gain and fades) just before it is encoded.
    SegmentEncoder(const OutputSettings& settings, TargetFile& target, const LevelShape& shape = {});
    ~SegmentEncoder();
    SegmentEncoder(const SegmentEncoder&) = delete;
    SegmentEncoder& operator=(const SegmentEncoder&) = delete;

    // Takes count samples of block from offset.
    void Write(const AVFrame& block, int offset, int count);

    // Encodes what is left and completes the file (the Xing header is filled in here).
    void Finish();

private:
    struct Output;

    void StartResampler(const AVFrame& block);
    void DrainResampler();
    void PushConverted(int inputSamples, const std::uint8_t** input);
    void EncodeFromFifo(bool finalBlock);
    void SendToEncoder(AVFrame* block);
    void Check(int rc);

    OutputSettings settings_;
    TargetFile& target_;
    LevelShape shape_;
    std::unique_ptr<Output> output_;  // the muxer and its file callbacks
    CodecPtr encoder_;
    ResamplerPtr resampler_;
    SampleGuard sampleGuard_;
    FifoPtr fifo_;
    FramePtr encoderBlock_;
    PacketPtr packet_;
    std::int64_t samplesEncoded_ = 0;
    // The output's length that the input's samples make at the output's rate; the
    // resampler's tail beyond it is left out of the AAC and Vorbis outputs.
    double inputLength_ = 0;
    // The input format the resampler was made for; a change midway makes a new one.
    int inRate_ = 0;
    int inFormat_ = -1;
    AVChannelLayout inLayout_{};
};

}  // namespace av
