#pragma once
// Decoded samples on their way from a source to an encoder: interleaved 32-bit float,
// full scale at ±1, one or two channels. A block only points at its samples; they stay
// valid during the call that hands the block over.
namespace av {

struct SampleBlock {
    float* samples = nullptr;   // frames × channels values, channel by channel within a frame
    int channels = 0;
    int frames = 0;
};

}  // namespace av
