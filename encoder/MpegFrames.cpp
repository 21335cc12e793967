#include "encoder/MpegFrames.h"

#include "encoder/MpegFileReader.h"
#include "media/MpegHeader.h"

#include <algorithm>

namespace av {

namespace {

constexpr int kBitsPerKbit = 1000;
// MpegFrameHeader::version by the header's version code; the reserved code (0 here) makes
// no valid header.
constexpr int kVersionNumbers[4] = {25, 0, 20, 10};

// The walk reads the file in large sequential pieces (see MpegFileReader).
constexpr std::size_t kWalkChunkBytes = 256 * 1024;
// The tags before the audio are read by their headers: small reads.
constexpr std::size_t kTagChunkBytes = 4096;

}  // namespace

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const std::uint8_t* p)
{
    const media::MpegHeader header = media::MpegHeader::fromBytes(p);
    if (!header.isValid())
        return std::nullopt;
    MpegFrameHeader h;
    h.version = kVersionNumbers[std::size_t(header.version())];
    h.layer = header.layer();
    h.bitRate = header.bitRateKbps() * kBitsPerKbit;
    h.sampleRate = header.sampleRateHz();
    h.frameBytes = header.frameBytes();
    h.samples = header.samplesPerFrame();
    return h;
}

bool IsClosingTag(const std::uint8_t* p, std::int64_t remaining)
{
    auto startsWith = [&](const char* text, std::int64_t length) {
        return remaining >= length && std::equal(text, text + length, p);
    };
    return (remaining == 128 && startsWith("TAG", 3)) || startsWith("APETAGEX", 8) ||
           startsWith("LYRICS", 6);
}

std::optional<LameTag> ParseLameTag(const std::uint8_t* p, std::int64_t frameBytes)
{
    const media::MpegHeader header = media::MpegHeader::fromBytes(p);
    if (!header.isValid() || header.layer() != 3 || frameBytes < media::MpegHeader::kBytes)
        return std::nullopt;
    // The tag follows the frame header and the side information.
    std::int64_t pos = media::MpegHeader::kBytes + header.sideInfoBytes();
    auto has = [&](std::int64_t bytes) { return pos + bytes <= frameBytes; };
    auto bigEndian32 = [&](std::int64_t at) {
        return (std::uint32_t(p[at]) << 24) | (std::uint32_t(p[at + 1]) << 16) |
               (std::uint32_t(p[at + 2]) << 8) | std::uint32_t(p[at + 3]);
    };
    if (!has(8) || (!std::equal(p + pos, p + pos + 4, "Xing") && !std::equal(p + pos, p + pos + 4, "Info")))
        return std::nullopt;
    const std::uint32_t flags = bigEndian32(pos + 4);
    pos += 8;
    constexpr std::uint32_t kFrames = 1, kBytes = 2, kToc = 4, kQuality = 8;
    if (!(flags & kFrames) || !has(4))
        return std::nullopt;
    LameTag tag;
    tag.constantRate = std::equal(p + pos - 8, p + pos - 4, "Info");
    tag.frames = bigEndian32(pos);
    pos += 4;
    if ((flags & kBytes) && has(4)) {
        tag.bytes = bigEndian32(pos);
        pos += 4;
    }
    if ((flags & kToc) && has(100)) {
        std::copy(p + pos, p + pos + 100, tag.toc.begin());
        tag.hasToc = true;
        pos += 100;
    }
    if (flags & kQuality)
        pos += 4;
    // LAME extension: a nine-byte encoder name, then revision, low-pass, replay gain
    // (8), flags, bit rate, and three bytes of 12-bit delay and 12-bit padding.
    constexpr std::int64_t kDelayOffset = 9 + 1 + 1 + 8 + 1 + 1;
    if (!has(kDelayOffset + 3))
        return std::nullopt;
    const std::uint8_t* name = p + pos;
    if (!std::equal(name, name + 4, "LAME") && !std::equal(name, name + 4, "Lavf") &&
        !std::equal(name, name + 4, "Lavc"))
        return std::nullopt;
    const std::uint8_t* delays = p + pos + kDelayOffset;
    tag.encoderDelay = (delays[0] << 4) | (delays[1] >> 4);
    tag.endPadding = ((delays[1] & 0x0F) << 8) | delays[2];
    return tag;
}

std::optional<LameTag> ReadLameTag(const std::string& path, std::int64_t firstAudioFrame)
{
    MpegFileReader file(path, kTagChunkBytes);
    return ReadLameTag(file, firstAudioFrame);
}

std::optional<LameTag> ReadLameTag(MpegFileReader& file, std::int64_t firstAudioFrame)
{
    std::int64_t pos = 0;
    // ID3v2: "ID3", version (2), flags (1), size (4 bytes of 7 bits), plus a footer of
    // 10 bytes when flag 0x10 is set.
    for (;;) {
        const std::uint8_t* tag = file.At(pos, 10);
        if (!tag || !std::equal(tag, tag + 3, "ID3"))
            break;
        const std::uint8_t* s = tag + 6;
        if ((s[0] | s[1] | s[2] | s[3]) & 0x80)
            return std::nullopt;
        const std::int64_t size = (std::int64_t(s[0]) << 21) | (s[1] << 14) | (s[2] << 7) | s[3];
        pos += 10 + size + ((tag[5] & 0x10) ? 10 : 0);
    }
    const std::uint8_t* bytes = file.At(pos, media::MpegHeader::kBytes);
    auto header = bytes ? ParseMpegFrameHeader(bytes) : std::nullopt;
    if (!header || pos + header->frameBytes != firstAudioFrame)
        return std::nullopt;
    const std::uint8_t* frame = file.At(pos, header->frameBytes);
    auto tag = frame ? ParseLameTag(frame, header->frameBytes) : std::nullopt;
    if (tag)
        tag->position = pos;
    return tag;
}

MpegFrameSearch FindMpegFrame(const std::string& path, std::int64_t firstFrame,
                              std::int64_t frameCount)
{
    MpegFileReader file(path, kWalkChunkBytes);
    return FindMpegFrame(file, firstFrame, frameCount);
}

MpegFrameSearch FindMpegFrame(MpegFileReader& file, std::int64_t firstFrame, std::int64_t frameCount)
{
    MpegFrameSearch search;
    if (file.size() == 0 || firstFrame < 0 || frameCount < 0)
        return search;
    std::int64_t pos = firstFrame;
    std::optional<MpegFrameHeader> first;
    constexpr std::int64_t kLongestTagMark = 8;  // "APETAGEX"
    for (std::int64_t n = 0;; ++n) {
        const std::int64_t remaining = file.size() - pos;
        const std::uint8_t* bytes = file.At(pos, std::min(remaining, kLongestTagMark));
        if (remaining < media::MpegHeader::kBytes || !bytes || IsClosingTag(bytes, remaining)) {
            if (first && remaining >= 0)
                search.result = MpegFrameSearch::PastTheEnd;
            return search;
        }
        auto header = ParseMpegFrameHeader(bytes);
        if (!header)
            return search;
        if (!first)
            first = header;
        else if (header->version != first->version || header->layer != first->layer ||
                 header->sampleRate != first->sampleRate)
            return search;
        if (n == frameCount) {
            search.result = MpegFrameSearch::Found;
            search.position = pos;
            return search;
        }
        pos += header->frameBytes;
    }
}

}  // namespace av
