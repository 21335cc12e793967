#include "encoder/Mp3Stream.h"

#include "encoder/MpegFrameLocator.h"

#include "media/MpegHeader.h"

#include <algorithm>

namespace av {

namespace {

// Audio frames that must follow one another before a stream counts as plain MP3. A
// shorter stream is left to FFmpeg, whose probing may see it otherwise.
constexpr int kChainFrames = 8;
// The MP3 decoder's filter bank delay, which FFmpeg adds to the LAME tag's encoder delay.
constexpr std::int64_t kDecoderDelay = 529;
// The version, layer, sample rate index and the single-channel mode bits of a header.
constexpr std::uint32_t kVersionMask = 0x3u << 19;
constexpr std::uint32_t kLayerMask = 0x3u << 17;
constexpr std::uint32_t kRateMask = 0x3u << 10;

bool StartsWith(const std::uint8_t* p, const char* text, std::size_t length)
{
    return std::equal(text, text + length, p);
}


// The position after any ID3v2 tags at the start; nothing for a damaged tag size.
std::optional<std::int64_t> SkipId3v2(FileWindow& window)
{
    std::int64_t pos = 0;
    for (;;) {
        const std::uint8_t* tag = window.At(pos, 10);
        if (!tag || !StartsWith(tag, "ID3", 3))
            return pos;
        const std::uint8_t* s = tag + 6;
        if ((s[0] | s[1] | s[2] | s[3]) & 0x80)
            return std::nullopt;
        const std::int64_t size = (std::int64_t(s[0]) << 21) | (s[1] << 14) | (s[2] << 7) | s[3];
        pos += 10 + size + ((tag[5] & 0x10) ? 10 : 0);
    }
}

std::optional<media::MpegHeader> HeaderAt(FileWindow& window, std::int64_t pos)
{
    const std::uint8_t* bytes = window.At(pos, media::MpegHeader::kBytes);
    if (!bytes)
        return std::nullopt;
    const media::MpegHeader header = media::MpegHeader::fromBytes(bytes);
    if (!header.isValid())
        return std::nullopt;
    return header;
}

}  // namespace

bool SameStream(const Mp3Layout& layout, std::uint32_t headerWord)
{
    const media::MpegHeader header(headerWord);
    const std::uint32_t fixed = kVersionMask | kLayerMask | kRateMask;
    return header.isValid() && (headerWord & fixed) == (layout.fixedHeaderBits & fixed) &&
           (header.isMono() ? 1 : 2) == layout.channels;
}

bool StreamEndsAt(FileWindow& window, std::int64_t pos)
{
    const std::int64_t remaining = window.size() - pos;
    if (remaining <= 0)
        return true;
    const std::uint8_t* p = window.At(pos, std::min<std::int64_t>(remaining, 8));
    if (!p)
        return false;
    return (remaining == 128 && remaining >= 3 && StartsWith(p, "TAG", 3)) ||
           (remaining >= 8 && StartsWith(p, "APETAGEX", 8)) || (remaining >= 6 && StartsWith(p, "LYRICS", 6));
}

std::optional<Mp3Layout> RecognisePlainMp3(FileWindow& window)
{
    const std::optional<std::int64_t> start = SkipId3v2(window);
    if (!start)
        return std::nullopt;
    const auto first = HeaderAt(window, *start);
    if (!first || first->layer() != 3)
        return std::nullopt;

    Mp3Layout layout;
    layout.sampleRate = first->sampleRateHz();
    layout.channels = first->isMono() ? 1 : 2;
    layout.samplesPerFrame = first->samplesPerFrame();
    layout.fixedHeaderBits = first->word();
    layout.firstAudioFrame = *start;

    // A Xing/Info frame is only taken with its LAME tag (FFmpeg then removes the delays
    // that the tag names); a VBRI frame or an Info frame without the tag is left to FFmpeg.
    const std::int64_t tagAt = media::MpegHeader::kBytes + first->sideInfoBytes();
    const std::uint8_t* frame = window.At(*start, first->frameBytes());
    if (!frame)
        return std::nullopt;
    constexpr std::int64_t kVbriAt = 4 + 32;
    if (first->frameBytes() >= kVbriAt + 4 && StartsWith(frame + kVbriAt, "VBRI", 4))
        return std::nullopt;
    if (first->frameBytes() >= tagAt + 4 && (StartsWith(frame + tagAt, "Xing", 4) || StartsWith(frame + tagAt, "Info", 4))) {
        const std::optional<LameTag> tag = ParseLameTag(frame, first->frameBytes());
        if (!tag || tag->frames <= 0)
            return std::nullopt;
        layout.firstAudioFrame = *start + first->frameBytes();
        layout.delay = tag->encoderDelay + kDecoderDelay;
        layout.endSample = tag->frames * layout.samplesPerFrame - tag->endPadding - tag->encoderDelay;
        layout.tagFrames = tag->frames;
        layout.lengthSamples = std::max<std::int64_t>(layout.endSample, 0);
    } else {
        const std::int64_t frames = (window.size() - *start) / std::max(first->frameBytes(), 1);
        layout.lengthSamples = frames * layout.samplesPerFrame;
    }

    // The audio frames that follow must make one stream.
    std::int64_t pos = layout.firstAudioFrame;
    for (int n = 0; n < kChainFrames; ++n) {
        const auto header = HeaderAt(window, pos);
        if (!header || !SameStream(layout, header->word()))
            return std::nullopt;
        pos += header->frameBytes();
        if (pos > window.size())
            return std::nullopt;
    }
    return layout;
}

MpegFrameSearch LocateFrame(const std::string& path, std::int64_t firstFrame, std::int64_t frameCount)
{
    // The locator answers where the file's layout proves the frame's place; where it
    // cannot, every header is stepped over (unless stepping is what it already did).
    MpegLocateReport located;
    const MpegFrameSearch search = LocateMpegFrame(path, firstFrame, frameCount, &located);
    if (search.result == MpegFrameSearch::Unknown && located.method != MpegLocateMethod::Walk)
        return FindMpegFrame(path, firstFrame, frameCount);
    return search;
}

}  // namespace av
