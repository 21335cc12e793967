#pragma once
// What the tool needs of MPEG audio frame headers (read by media/MpegHeader.h), and
// finding the byte position of the n-th frame of a stream by stepping from header to
// header.
//
// Seeking in an MP3 file by its bit rate or its Xing table only estimates where a
// time lies, and the decoder's timestamps after such a seek are that estimate. The
// number of frames before a position is exact, and each frame holds a fixed number of
// samples, so stepping over the headers (reading four bytes a frame, no decoding; about 4 ms for an hour of audio)
// places a cut on the exact sample.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace av {

class MpegFileReader;

struct MpegFrameHeader {
    int version = 0;      // 10 = MPEG 1, 20 = MPEG 2, 25 = MPEG 2.5
    int layer = 0;        // 1, 2 or 3
    int bitRate = 0;      // bit/s
    int sampleRate = 0;   // Hz
    int frameBytes = 0;   // whole frame, header included
    int samples = 0;      // samples per channel in the frame
};

// Reads the four header bytes at p. Returns nothing for a byte sequence that is not a
// frame header, and for a free-format frame (bit rate index 0), whose length the
// header does not give.
std::optional<MpegFrameHeader> ParseMpegFrameHeader(const std::uint8_t* p);

struct MpegFrameSearch {
    enum Result {
        Found,       // position is the byte position of the frame
        PastTheEnd,  // the stream ends (file end or a closing tag) before that frame
        Unknown      // a header on the way is missing or differs in version, layer or
                     // sample rate from the first (junk in the stream), or the file
                     // cannot be read: the frame cannot be found this way
    };
    Result result = Unknown;
    std::int64_t position = -1;
};

// The Xing (or "Info") frame that LAME and FFmpeg write before the audio frames: the
// stream's frame count and, in its LAME extension, the encoder delay and the padding
// at the end, in samples.
//
// LAME and FFmpeg (which encodes with LAME, or copies a stream) count the audio frames
// after the Xing frame, not the Xing frame itself, and give as the byte count the bytes
// from the start of the Xing frame to the end of the last audio frame (ID3v2 before it
// and closing tags after it left out).
struct LameTag {
    std::int64_t frames = 0;
    int encoderDelay = 0;
    int endPadding = 0;
    bool constantRate = false;       // an "Info" frame: every audio frame has one bit rate
    std::int64_t bytes = -1;         // -1 when the frame gives no byte count
    bool hasToc = false;
    // Where each percent of the frames begins, in 256ths of bytes.
    std::array<std::uint8_t, 100> toc{};
    std::int64_t position = -1;      // of the Xing frame (set by ReadLameTag)
};

// Reads the tag from a Xing/Info frame of frameBytes bytes at p. Returns nothing when
// the frame carries no frame count or no LAME extension.
std::optional<LameTag> ParseLameTag(const std::uint8_t* p, std::int64_t frameBytes);

// Finds the Xing/Info frame of a file: the first frame after any ID3v2 tag, when it
// ends exactly where the first audio frame (at byte position firstAudioFrame) begins.
std::optional<LameTag> ReadLameTag(const std::string& path, std::int64_t firstAudioFrame);
std::optional<LameTag> ReadLameTag(MpegFileReader& file, std::int64_t firstAudioFrame);

// Whether the remaining bytes at p (up to the end of the file) start a tag that closes
// an MP3 file after its last frame: ID3v1 (the last 128 bytes, "TAG"), APEv2
// ("APETAGEX") or Lyrics3 ("LYRICS"). p holds min(remaining, 8) bytes.
bool IsClosingTag(const std::uint8_t* p, std::int64_t remaining);

// Steps from the frame at byte position firstFrame over frameCount frames of the file.
MpegFrameSearch FindMpegFrame(const std::string& path, std::int64_t firstFrame,
                              std::int64_t frameCount);
// The same, through the caller's reader.
MpegFrameSearch FindMpegFrame(MpegFileReader& file, std::int64_t firstFrame, std::int64_t frameCount);

}  // namespace av
