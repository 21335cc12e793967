#pragma once
// MP3 with LAME, linked directly: constant bit rate at the chosen rate and channel count
// (joint stereo for two channels, mono for one), no ID3 tag, and LAME's own Xing/Info
// frame with the LAME tag (encoder delay and end padding) as the first frame, so that a
// player knows the exact length. LAME reserves that frame at the start of its stream;
// once the stream is complete, the finished tag frame is written over it.
#include "encoder/FrameEncoder.h"
#include "encoder/OutputChoice.h"

#include <vector>

struct lame_global_struct;

namespace av {

class TargetFile;

class LameMp3Encoder : public FrameEncoder {
public:
    LameMp3Encoder(const OutputSettings& settings, TargetFile& target);
    ~LameMp3Encoder() override;

    void Encode(float* interleaved, int frames) override;
    void Finish() override;

private:
    void WriteOut(int bytes);

    TargetFile& target_;
    int channels_;
    lame_global_struct* lame_ = nullptr;
    std::vector<float> left_;
    std::vector<float> right_;
    std::vector<unsigned char> out_;
};

}  // namespace av
