#include "encoder/AmrNbEncoder.h"

#include "encoder/OutputChoice.h"
#include "encoder/TargetFile.h"

#include <opencore-amrnb/interf_enc.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace av {

namespace {

constexpr char kMagic[] = "#!AMR\n";
constexpr int kLongestFrameBytes = 32;
// The samples of the codec's look-ahead that FFmpeg's encoder counts as its padding.
constexpr int kLookAheadSamples = 50;

}  // namespace

AmrNbEncoder::AmrNbEncoder(const OutputSettings& settings, TargetFile& target)
    : target_(target), mode_(std::max(AmrNbMode(settings.bitRate), 0)), state_(Encoder_Interface_init(0))
{
    if (!state_)
        throw std::bad_alloc();
    frame_.reserve(kFrameSamples);
    WriteToTarget(target_, kMagic, sizeof kMagic - 1);
}

AmrNbEncoder::~AmrNbEncoder() { Encoder_Interface_exit(state_); }

void AmrNbEncoder::Encode(float* interleaved, int frames)
{
    for (int i = 0; i < frames; ++i) {
        // As FFmpeg converts float to 16 bits: scaled, rounded and clipped.
        const long value = std::lrint(double(interleaved[i]) * 32768.0);
        frame_.push_back(std::int16_t(std::clamp(value, -32768L, 32767L)));
        if (frame_.size() == std::size_t(kFrameSamples))
            EncodeFrame();
    }
}

void AmrNbEncoder::Finish()
{
    // A last frame that is mostly silence already holds the codec's look-ahead; else
    // one frame of silence follows. FFmpeg's encoder decides the same way (its initial
    // padding of 50 samples), so both write as many frames for the same samples.
    const std::size_t rest = frame_.size();
    if (rest > 0)
        EncodeFrame();
    if (rest == 0 || rest >= std::size_t(kFrameSamples - kLookAheadSamples))
        EncodeFrame();
}

void AmrNbEncoder::EncodeFrame()
{
    frame_.resize(kFrameSamples, 0);
    unsigned char out[kLongestFrameBytes + 1];
    const int bytes = Encoder_Interface_Encode(state_, Mode(mode_), frame_.data(), out, 0);
    frame_.clear();
    if (bytes > 0)
        WriteToTarget(target_, out, std::size_t(bytes));
}

}  // namespace av
