#pragma once
// An encoder that av drives without the FFmpeg libraries (LameMp3Encoder, AmrNbEncoder):
// it takes interleaved float samples at the output's rate and channel count, already
// shaped and within full scale, and writes its stream into the target file.
#include <cstddef>

namespace av {

class FrameEncoder {
public:
    virtual ~FrameEncoder() = default;
    // Encodes frames samples (per channel); they may be changed in place.
    virtual void Encode(float* interleaved, int frames) = 0;
    // Encodes what is left and completes the file.
    virtual void Finish() = 0;
};

class TargetFile;

// Writes all of data at the target's current position, or throws the target's write
// failure (a full disk, a file too large) as a ToolError.
void WriteToTarget(TargetFile& target, const void* data, std::size_t bytes);

}  // namespace av
