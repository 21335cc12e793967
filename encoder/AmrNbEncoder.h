#pragma once
// AMR narrow-band with OpenCORE AMR, linked directly: "#!AMR\n", then a frame for each
// 160 samples at 8000 Hz mono in the mode of the chosen bit rate. The last frame is
// filled with silence, and a silent frame follows it unless that last frame already
// held enough silence for the codec's look-ahead, so that the file holds as many frames
// as FFmpeg's encoder writes for the same samples.
#include "encoder/FrameEncoder.h"
#include "encoder/OutputChoice.h"

#include <cstdint>
#include <vector>

namespace av {

class TargetFile;

class AmrNbEncoder : public FrameEncoder {
public:
    static constexpr int kFrameSamples = 160;

    AmrNbEncoder(const OutputSettings& settings, TargetFile& target);
    ~AmrNbEncoder() override;

    void Encode(float* interleaved, int frames) override;
    void Finish() override;

private:
    void EncodeFrame();

    TargetFile& target_;
    int mode_;
    void* state_ = nullptr;
    std::vector<std::int16_t> frame_;
};

}  // namespace av
