#pragma once
// Recognises a plain MPEG 1/2/2.5 Layer III stream, the kind that the native MP3 source
// (Mp3Source.h) reads: any ID3v2 tags, then either a Xing/Info frame with a LAME tag or
// no such frame at all, then consecutive frame headers that agree in version, layer,
// sample rate and channel count. Anything else (junk before the first frame, a VBRI
// frame, an Info frame without the LAME tag, Layer I or II, free format, a change of
// sample rate or channels) is not recognised, and the file is left to the FFmpeg source.
#include "encoder/FileWindow.h"
#include "encoder/MpegFrames.h"
#include "encoder/Selection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace av {

struct Mp3Layout {
    std::int64_t firstAudioFrame = 0;   // byte position of the first audio frame
    int sampleRate = 0;
    int channels = 0;                   // 1 or 2
    int samplesPerFrame = 0;
    std::uint32_t fixedHeaderBits = 0;  // the header bits every frame must share (see SameStream)
    // Samples that decoding from the start removes: with a LAME tag its encoder delay
    // plus the decoder's own 529 samples, as FFmpeg removes them; else none.
    std::int64_t delay = 0;
    // Where the LAME tag's end padding begins on the timeline; kToTheEnd without a tag.
    std::int64_t endSample = Selection::kToTheEnd;
    // The audio frames that the LAME tag counts; 0 without a tag.
    std::int64_t tagFrames = 0;
    // The length as the LAME tag tells it, else as the first frame's bit rate estimates it.
    std::int64_t lengthSamples = 0;
};

// Looks at the start of a file (through window) and tells its layout, or nothing.
std::optional<Mp3Layout> RecognisePlainMp3(FileWindow& window);

// Whether the frame header word belongs to the stream of layout: a valid Layer III
// header of the same version, sample rate and channel count.
bool SameStream(const Mp3Layout& layout, std::uint32_t headerWord);

// Whether the bytes at pos (remaining to the end of the file) close the stream: the
// file's end, an ID3v1, APEv2 or Lyrics3 tag.
bool StreamEndsAt(FileWindow& window, std::int64_t pos);

// Finds the byte position of frame number frameCount counted from the frame at byte
// position firstFrame. The one place that locates a frame, so that the way it is done
// can change without touching its callers.
MpegFrameSearch LocateFrame(const std::string& path, std::int64_t firstFrame, std::int64_t frameCount);

}  // namespace av
