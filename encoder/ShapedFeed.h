#pragma once
// Hands the converted samples to a FrameEncoder, each shaped by LevelShape (gain and
// fades) and limited to full scale just before it is encoded, as SegmentEncoder does for
// the FFmpeg encoders. The last fade's samples are held back until the end is known, so
// that the fade ends on the output's last sample.
#include "encoder/FrameEncoder.h"
#include "encoder/LevelShape.h"

#include <cstdint>
#include <vector>

namespace av {

class ShapedFeed {
public:
    ShapedFeed(FrameEncoder& encoder, const LevelShape& shape, int channels);

    void Write(const float* interleaved, int frames);
    // Encodes the held-back rest and completes the encoder's file.
    void Finish();

private:
    void Pass(std::size_t frames, std::int64_t length);

    FrameEncoder& encoder_;
    LevelShape shape_;
    int channels_;
    std::vector<float> pending_;
    std::int64_t passed_ = 0;   // frames handed to the encoder so far
};

}  // namespace av
