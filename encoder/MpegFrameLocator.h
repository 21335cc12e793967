#pragma once
// Finding the byte position of frame n of an MP3 stream (counted from its first audio
// frame) without reading the file up to it, with the same answer as the walk over every
// header (FindMpegFrame) or none.
//
// The file's layout is read first: the Xing/Info frame that LAME and FFmpeg write before
// the audio (frame count, byte count, table of contents) and where the audio ends (the
// file's size less the closing tags: ID3v1, APEv2, Lyrics3). Then:
//  - a constant-rate stream (an "Info" frame) has frame n at a position that follows from
//    n and the bytes per frame: the locator reads the few frames there;
//  - any other stream with a Xing frame is counted from the end: the locator syncs to the
//    frames a little before frame n and walks to the end of the audio, which the frame
//    count places exactly (frames in the first half are walked to from the start);
//  - without a Xing frame, or when anything it reads disagrees with the layout, it does
//    not answer (Unknown), and the caller walks (FindMpegFrame).
//
// What it trusts without reading: that the bytes between the first audio frame and the
// part it reads are the frames the Xing frame counts. Bytes put in or taken out there
// change the audio's length and are seen; bytes overwritten in place (same length) can
// only be seen by reading them. So frames that lie less than MpegLocateOptions::walkBytes
// after the first audio frame (songs of a few minutes) are found by the full walk, which
// reads them all and sees such damage; the jumps serve long files.
#include "encoder/MpegFrames.h"

#include <cstdint>
#include <string>

namespace av {

enum class MpegLocateMethod {
    None,          // the file's layout gives no way to jump (no Xing frame, no byte
                   // count, closing tags it does not know): the answer is Unknown
    Walk,          // stepped over every header from the first audio frame: the answer is
                   // FindMpegFrame's (an Unknown need not be walked again)
    ConstantRate,  // jumped to the frame's place in a constant-rate stream
    FromTheEnd     // counted the frames from before frame n to the end of the audio
};

struct MpegLocateOptions {
    // A frame that lies at most this many bytes after the first audio frame is found by
    // the walk from the start (about four minutes at 128 kbit/s; a few milliseconds).
    std::int64_t walkBytes = std::int64_t(4) << 20;
};

// What locating a frame cost and how it was found.
struct MpegLocateReport {
    MpegLocateMethod method = MpegLocateMethod::None;
    std::int64_t bytesRead = 0;  // bytes read from the file
    int reads = 0;               // read calls
};

// The frame frameNumber of the stream whose first audio frame (after any ID3v2 tag and
// the Xing frame) lies at byte position firstFrame. Found, PastTheEnd and their position
// are those of FindMpegFrame(path, firstFrame, frameNumber). Unknown: the locator cannot
// be sure; unless report->method is Walk, the caller walks with FindMpegFrame.
MpegFrameSearch LocateMpegFrame(const std::string& path, std::int64_t firstFrame, std::int64_t frameNumber,
                                MpegLocateReport* report = nullptr, const MpegLocateOptions& options = {});

}  // namespace av
