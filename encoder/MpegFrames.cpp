#include "MpegFrames.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace av {

namespace {

// Bit rates in kbit/s by [MPEG 1 or not][layer - 1][index]; index 0 is free format.
constexpr int kBitRates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

// MPEG 1 sample rates; MPEG 2 halves them and MPEG 2.5 quarters them.
constexpr int kMpeg1SampleRates[3] = {44100, 48000, 32000};

// Reads a file through one large buffer. Stepping over the frame headers of a long
// file this way costs a few milliseconds: the reads are sequential and the headers
// are then picked from memory that the processor's caches already hold (a memory
// mapping makes each header a separate cache and TLB miss, several times slower).
class BufferedFile {
public:
    explicit BufferedFile(const std::string& path) : buffer_(kBufferSize)
    {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        struct stat info;
        if (fd_ >= 0 && fstat(fd_, &info) == 0 && S_ISREG(info.st_mode))
            size_ = info.st_size;
    }
    ~BufferedFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    std::int64_t size() const { return size_; }

    // The bytes [pos, pos + want), or nullptr when the file cannot give all of them.
    const std::uint8_t* At(std::int64_t pos, std::int64_t want)
    {
        if (pos < 0 || want < 0 || pos + want > size_)
            return nullptr;
        if (pos >= start_ && pos + want <= start_ + length_)
            return buffer_.data() + (pos - start_);
        if (std::size_t(want) > buffer_.size())
            buffer_.resize(std::size_t(want));
        std::int64_t got = 0;
        while (got < std::int64_t(buffer_.size())) {
            ssize_t n = pread(fd_, buffer_.data() + got, buffer_.size() - std::size_t(got), off_t(pos + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        start_ = pos;
        length_ = got;
        return got >= want ? buffer_.data() : nullptr;
    }

private:
    static constexpr std::size_t kBufferSize = 256 * 1024;
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::int64_t start_ = -1;
    std::int64_t length_ = 0;
};

}  // namespace

std::optional<MpegFrameHeader> ParseMpegFrameHeader(const std::uint8_t* p)
{
    // Eleven sync bits, then version (2), layer (2), protection (1); bit rate (4),
    // sample rate (2), padding (1), private (1); the last byte holds channel mode etc.
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitRateIndex = p[2] >> 4;
    const int sampleRateIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        sampleRateIndex == 3)
        return std::nullopt;

    MpegFrameHeader h;
    h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
    h.layer = 4 - layerBits;
    const bool mpeg1 = h.version == 10;
    h.bitRate = kBitRates[mpeg1 ? 0 : 1][h.layer - 1][bitRateIndex] * 1000;
    h.sampleRate = kMpeg1SampleRates[sampleRateIndex] / (mpeg1 ? 1 : h.version == 20 ? 2 : 4);
    if (h.layer == 1) {
        h.samples = 384;
        h.frameBytes = (12 * h.bitRate / h.sampleRate + padding) * 4;
    } else {
        h.samples = (h.layer == 3 && !mpeg1) ? 576 : 1152;
        const int slotsPerSample8 = h.samples / 8;   // bytes per (bit/s / Hz)
        h.frameBytes = slotsPerSample8 * h.bitRate / h.sampleRate + padding;
    }
    return h;
}

namespace {

// Tags that may close an MP3 file after its last frame: ID3v1 (128 bytes, "TAG"),
// APEv2 ("APETAGEX") and Lyrics3 ("LYRICS").
bool IsClosingTag(const std::uint8_t* p, std::int64_t remaining)
{
    auto startsWith = [&](const char* text, std::int64_t length) {
        return remaining >= length && std::equal(text, text + length, p);
    };
    return (remaining == 128 && startsWith("TAG", 3)) || startsWith("APETAGEX", 8) ||
           startsWith("LYRICS", 6);
}

}  // namespace

std::optional<LameTag> ParseLameTag(const std::uint8_t* p, std::int64_t frameBytes)
{
    auto header = ParseMpegFrameHeader(p);
    if (!header || header->layer != 3 || frameBytes < 4)
        return std::nullopt;
    // The tag follows the frame header and the side information, whose size depends on
    // the version and on mono (channel mode 3) against two channels.
    const bool mono = (p[3] >> 6) == 3;
    const int sideInfo = header->version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    std::int64_t pos = 4 + sideInfo;
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
    tag.frames = bigEndian32(pos);
    pos += 4;
    if (flags & kBytes)
        pos += 4;
    if (flags & kToc)
        pos += 100;
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
    BufferedFile file(path);
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
    const std::uint8_t* bytes = file.At(pos, 4);
    auto header = bytes ? ParseMpegFrameHeader(bytes) : std::nullopt;
    if (!header || pos + header->frameBytes != firstAudioFrame)
        return std::nullopt;
    const std::uint8_t* frame = file.At(pos, header->frameBytes);
    return frame ? ParseLameTag(frame, header->frameBytes) : std::nullopt;
}

MpegFrameSearch FindMpegFrame(const std::string& path, std::int64_t firstFrame,
                              std::int64_t frameCount)
{
    MpegFrameSearch search;
    BufferedFile file(path);
    if (file.size() == 0 || firstFrame < 0 || frameCount < 0)
        return search;
    std::int64_t pos = firstFrame;
    std::optional<MpegFrameHeader> first;
    constexpr std::int64_t kLongestTagMark = 8;  // "APETAGEX"
    for (std::int64_t n = 0;; ++n) {
        const std::int64_t remaining = file.size() - pos;
        const std::uint8_t* bytes = file.At(pos, std::min(remaining, kLongestTagMark));
        if (remaining < 4 || !bytes || IsClosingTag(bytes, remaining)) {
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
