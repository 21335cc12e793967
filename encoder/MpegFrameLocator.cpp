#include "encoder/MpegFrameLocator.h"

#include "encoder/MpegFileReader.h"
#include "media/MpegHeader.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace av {

namespace {

// A jump reads a few frames: small reads. A walk to the end of the audio reads on and on.
constexpr std::size_t kJumpChunkBytes = 2048;
constexpr std::size_t kTailChunkBytes = 64 * 1024;
constexpr std::size_t kWalkChunkBytes = 256 * 1024;

// A place in the stream is taken for a frame when this many headers follow one another
// from it (fewer when the audio ends after them).
constexpr int kChainHeaders = 4;
// A walk that starts where a sync was found may begin on bytes inside a frame that look
// like a header and whose length ends on a real frame: from there on it follows the real
// frames. Its first frames are therefore not trusted: a wrong position past them needs
// more than kChainHeaders false headers in a row.
constexpr int kUntrustedFrames = kChainHeaders;
// The longest Layer III frame (MPEG 1, 320 kbit/s at 32000 Hz, padded; MPEG 2.5, 160
// kbit/s at 8000 Hz): a sync is found within two of them or there is junk.
constexpr std::int64_t kLongestFrameBytes = 1441;
constexpr std::int64_t kSyncSearchBytes = 2 * kLongestFrameBytes;
// How many times counting from the end may land after the frame and start again earlier.
constexpr int kAttempts = 8;

// Header fields that stay the same in every frame of a stream: sync, version, layer,
// protection, sample rate, copyright, original, emphasis. (Bit rate, padding and the
// stereo coding change from frame to frame.)
constexpr std::uint32_t kFixedFields = 0xFFFF0C0Fu;
// Sync, version, layer and sample rate.
constexpr std::uint32_t kStreamKind = 0xFFFE0C00u;

constexpr std::int64_t kId3v1Bytes = 128;
constexpr std::int64_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeHasHeader = 1u << 31;
constexpr std::uint32_t kApeIsHeader = 1u << 29;
constexpr std::int64_t kLyrics3v2EndBytes = 15;  // six digits of size, then "LYRICS200"

std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

bool Starts(const std::uint8_t* p, const char* text) { return std::memcmp(p, text, std::strlen(text)) == 0; }

struct Layout {
    std::int64_t first = 0;     // first audio frame
    std::int64_t audioEnd = 0;  // just after the last audio frame
    media::MpegHeader header{0};  // of the first audio frame
    LameTag tag;
};

// Where the audio ends: the file's size less the tags that may close it, each read from
// its own size field. Nothing when a tag is there that cannot be measured (Lyrics3 v1,
// damaged size fields).
std::optional<std::int64_t> FindAudioEnd(MpegFileReader& file, std::int64_t first)
{
    std::int64_t end = file.size();
    // One read of the file's last bytes holds the tags of most files.
    file.At(std::max(first, end - std::int64_t(kJumpChunkBytes)), 0);
    bool id3v1 = false;
    for (;;) {
        const std::uint8_t* p = nullptr;
        if (!id3v1 && end - kId3v1Bytes >= first && (p = file.At(end - kId3v1Bytes, 3)) && Starts(p, "TAG")) {
            end -= kId3v1Bytes;
            id3v1 = true;
            continue;
        }
        if (end - kApeFooterBytes >= first && (p = file.At(end - kApeFooterBytes, kApeFooterBytes)) &&
            Starts(p, "APETAGEX")) {
            const std::int64_t size = LittleEndian32(p + 12);   // items and footer
            const std::uint32_t flags = LittleEndian32(p + 20);
            const std::int64_t whole = size + ((flags & kApeHasHeader) ? kApeFooterBytes : 0);
            if ((flags & kApeIsHeader) || size < kApeFooterBytes || whole > end - first)
                return std::nullopt;
            end -= whole;
            continue;
        }
        if (end - kLyrics3v2EndBytes >= first && (p = file.At(end - kLyrics3v2EndBytes, kLyrics3v2EndBytes)) &&
            Starts(p + 6, "LYRICS200")) {
            std::int64_t size = 0;
            for (int i = 0; i < 6; ++i) {
                if (p[i] < '0' || p[i] > '9')
                    return std::nullopt;
                size = size * 10 + (p[i] - '0');
            }
            const std::int64_t begin = end - kLyrics3v2EndBytes - size;
            const std::uint8_t* mark = begin >= first ? file.At(begin, 11) : nullptr;
            if (!mark || !Starts(mark, "LYRICSBEGIN"))
                return std::nullopt;
            end = begin;
            continue;
        }
        if (end - 9 >= first && (p = file.At(end - 9, 9)) && Starts(p, "LYRICSEND"))
            return std::nullopt;  // Lyrics3 v1: no size to measure it by
        return end;
    }
}

bool IsMono(std::uint32_t word) { return ((word >> 6) & 3u) == 3u; }

bool SameStream(std::uint32_t a, std::uint32_t b) { return ((a ^ b) & kFixedFields) == 0 && IsMono(a) == IsMono(b); }

std::optional<Layout> StudyLayout(MpegFileReader& file, std::int64_t firstFrame)
{
    Layout layout;
    layout.first = firstFrame;
    const std::uint8_t* bytes = file.At(firstFrame, media::MpegHeader::kBytes);
    if (!bytes)
        return std::nullopt;
    layout.header = media::MpegHeader::fromBytes(bytes);
    if (!layout.header.isValid() || layout.header.layer() != 3)
        return std::nullopt;
    auto tag = ReadLameTag(file, firstFrame);
    if (!tag || tag->frames <= 0 || tag->position < 0)
        return std::nullopt;
    layout.tag = *tag;
    const std::uint8_t* xing = file.At(tag->position, media::MpegHeader::kBytes);
    // The Xing frame's other fields (channel mode, original) may differ from the audio's.
    if (!xing || ((media::MpegHeader::fromBytes(xing).word() ^ layout.header.word()) & kStreamKind) != 0)
        return std::nullopt;
    auto end = FindAudioEnd(file, firstFrame);
    if (!end || *end <= firstFrame)
        return std::nullopt;
    layout.audioEnd = *end;
    // The walk stops at the same place: the end of the file or a closing tag's mark.
    if (layout.audioEnd < file.size()) {
        const std::int64_t remaining = file.size() - layout.audioEnd;
        const std::uint8_t* mark = file.At(layout.audioEnd, std::min<std::int64_t>(remaining, 8));
        if (!mark || !IsClosingTag(mark, remaining))
            return std::nullopt;
    }
    // The Xing frame's byte count covers it and the audio: a file that has grown or
    // shrunk since it was written does not match.
    if (tag->bytes >= 0 && tag->bytes != layout.audioEnd - tag->position)
        return std::nullopt;
    return layout;
}

// The header of a frame of the stream at pos, or nothing.
std::optional<media::MpegHeader> HeaderAt(MpegFileReader& file, const Layout& layout, std::int64_t pos)
{
    if (pos < layout.first || pos + media::MpegHeader::kBytes > layout.audioEnd)
        return std::nullopt;
    const std::uint8_t* p = file.At(pos, media::MpegHeader::kBytes);
    if (!p)
        return std::nullopt;
    const media::MpegHeader header = media::MpegHeader::fromBytes(p);
    if (!header.isValid() || !SameStream(header.word(), layout.header.word()))
        return std::nullopt;
    return header;
}

// Whether kChainHeaders frames of the stream follow one another from pos, or fewer that
// end exactly at the end of the audio. bitRateIndex >= 0: each frame must have it.
bool ChainAt(MpegFileReader& file, const Layout& layout, std::int64_t pos, int bitRateIndex)
{
    for (int i = 0; i < kChainHeaders; ++i) {
        if (pos == layout.audioEnd)
            return i > 0;
        auto header = HeaderAt(file, layout, pos);
        if (!header || (bitRateIndex >= 0 && int(header->bitRateIndex()) != bitRateIndex))
            return false;
        pos += header->frameBytes();
        if (pos > layout.audioEnd)
            return false;
    }
    return true;
}

MpegFrameSearch Found(std::int64_t position)
{
    MpegFrameSearch search;
    search.result = MpegFrameSearch::Found;
    search.position = position;
    return search;
}

MpegFrameSearch PastTheEnd()
{
    MpegFrameSearch search;
    search.result = MpegFrameSearch::PastTheEnd;
    return search;
}

// A constant-rate stream: every frame has the first frame's bit rate, so a frame holds
// avg = samples / 8 · bit rate / sample rate bytes on average (a fraction, kept exactly as
// num / den), as L = floor(avg) bytes or L + 1 with the padding slot. An encoder pads a
// frame when the bytes written so far would fall behind k · avg (the standard's rule,
// which LAME follows), so frame k starts less than one byte from
//     e(k) = first + k · avg.
// Frames j ≠ k start at least avg - 1 bytes from e(k), so the only frame start within
// e(k) ± 2 is frame k's. This holds when the bytes from the first frame on are N frames of
// the stream and nothing else; the Xing frame's count N proves it for the length:
//     |(audioEnd - first) - N · avg| < 1,
// since N frames end less than a byte from e(N), while any bytes put in or taken out
// shift the end by that much (a whole number of frames as well, which a check against
// the frame count alone would miss). Bytes shifted in front of frame k but not at the end
// are seen at e(k): no frame starts there. So the locator takes the one place within
// e(k) ± 2 where a chain of frames of the stream's bit rate starts, and only when it lies
// less than a byte from e(k). What it cannot see are changes that keep every length it
// checks: bytes written over in place before frame k, or bytes put in before frame k and
// as many taken out between it and the end (see MpegLocateOptions::walkBytes).
class ConstantRate {
public:
    ConstantRate(MpegFileReader& file, const Layout& layout)
        : file_(file), layout_(layout), num_(std::int64_t(layout.header.samplesPerFrame()) / 8 *
                                             layout.header.bitRateKbps() * 1000),
          den_(layout.header.sampleRateHz())
    {
    }

    bool LengthMatches() const
    {
        const std::int64_t drift = (layout_.audioEnd - layout_.first) * den_ - layout_.tag.frames * num_;
        return drift > -den_ && drift < den_;
    }

    MpegFrameSearch Locate(std::int64_t k)
    {
        if (!LengthMatches())
            return {};
        const std::int64_t frames = layout_.tag.frames;
        if (k < frames)
            return LandOn(k);
        // Past the end when the last frame ends where the audio does.
        const MpegFrameSearch last = LandOn(frames - 1);
        if (last.result != MpegFrameSearch::Found)
            return {};
        auto header = HeaderAt(file_, layout_, last.position);
        return header && last.position + header->frameBytes() == layout_.audioEnd ? PastTheEnd() : MpegFrameSearch{};
    }

private:
    MpegFrameSearch LandOn(std::int64_t k)
    {
        const std::int64_t exact = layout_.first * den_ + k * num_;  // e(k) · den
        const std::int64_t nearest = (exact + den_ / 2) / den_;
        const int bitRateIndex = int(layout_.header.bitRateIndex());
        std::int64_t found = -1;
        int chains = 0;
        for (std::int64_t pos = nearest - 2; pos <= nearest + 2; ++pos) {
            if (ChainAt(file_, layout_, pos, bitRateIndex)) {
                found = pos;
                ++chains;
            }
        }
        const std::int64_t off = found * den_ - exact;
        if (chains != 1 || off <= -den_ || off >= den_)
            return {};
        return Found(found);
    }

    MpegFileReader& file_;
    const Layout& layout_;
    std::int64_t num_;
    std::int64_t den_;
};

// Any stream with a frame count and a byte count: the number of frames from a frame to
// the end of the audio is exact, so frame N - c lies c frames before the end. The frames
// known so far are consecutive, the last ending at the end of the audio.
class FromTheEnd {
public:
    FromTheEnd(MpegFileReader& file, const Layout& layout) : file_(file), layout_(layout) {}

    MpegFrameSearch Locate(std::int64_t k)
    {
        const std::int64_t frames = layout_.tag.frames;
        const std::int64_t target = std::min(k, frames - 1);
        std::int64_t start = Estimate(target);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (start <= layout_.first)
                return {};  // as far back as the start: that is the walk's work
            if (!CountFrom(start))
                return {};
            if (!known_.empty() && target >= knownFirst_) {
                if (k >= frames)
                    return PastTheEnd();
                return Found(known_[std::size_t(target - knownFirst_)]);
            }
            // Landed after the frame: start again earlier by the frames missing (and the
            // untrusted ones), at the bytes per frame of what has been walked, and more.
            const std::int64_t anchor = known_.empty() ? layout_.audioEnd : known_.front();
            const std::int64_t anchorIndex = known_.empty() ? frames : knownFirst_;
            const double bytesPerFrame = known_.empty() ? double(layout_.audioEnd - layout_.first) / double(frames)
                                                        : double(layout_.audioEnd - anchor) / double(frames - anchorIndex);
            const double missing = double(anchorIndex - target + kUntrustedFrames + 8);
            start = std::min(start, anchor) - std::int64_t(missing * bytesPerFrame * 1.25) - kSyncSearchBytes;
        }
        return {};
    }

private:
    // A place before frame target: the table of contents gives where each percent of the
    // frames begins, rounded down to 256ths of the byte count; without it the bytes are
    // taken as spread evenly. Then back by one 256th, the untrusted frames and a few more.
    // (In floating point: a damaged Xing frame may give counts whose products overflow.)
    std::int64_t Estimate(std::int64_t target) const
    {
        const LameTag& tag = layout_.tag;
        const double share = double(target) / double(tag.frames);
        const double bytes = double(tag.bytes);
        const std::size_t percent = std::min<std::size_t>(99, std::size_t(share * 100));
        const double at = tag.hasToc ? bytes * tag.toc[percent] / 256 : bytes * share - bytes / 100;
        const double back = bytes / 256 + double(kUntrustedFrames + 8) * bytes / double(tag.frames);
        return tag.position + std::int64_t(std::max(0.0, at - back)) - kSyncSearchBytes;
    }

    // Syncs at or after start and walks to the first known frame (or the end of the
    // audio), then adds the trusted frames of the walk to the known ones.
    bool CountFrom(std::int64_t start)
    {
        std::int64_t pos = -1;
        for (std::int64_t at = start; at < start + kSyncSearchBytes; ++at) {
            const std::uint8_t* p = file_.At(at, 1);
            if (p && p[0] == 0xFF && ChainAt(file_, layout_, at, -1)) {
                pos = at;
                break;
            }
        }
        if (pos < 0)
            return false;  // junk: no frames here
        const std::int64_t stop = known_.empty() ? layout_.audioEnd : known_.front();
        const std::int64_t stopIndex = known_.empty() ? layout_.tag.frames : knownFirst_;
        if (pos >= stop)
            return false;
        std::vector<std::int64_t> walked;
        while (pos < stop) {
            auto header = HeaderAt(file_, layout_, pos);
            if (!header)
                return false;  // junk between the frames
            walked.push_back(pos);
            pos += header->frameBytes();
        }
        if (pos != stop)
            return false;  // stepped over the known frame: the two walks disagree
        const std::int64_t walkFirst = stopIndex - std::int64_t(walked.size());
        if (walkFirst < 0)
            return false;  // more frames than the Xing frame counts
        if (walked.size() > std::size_t(kUntrustedFrames)) {
            known_.insert(known_.begin(), walked.begin() + kUntrustedFrames, walked.end());
            knownFirst_ = walkFirst + kUntrustedFrames;
        }
        return true;
    }

    MpegFileReader& file_;
    const Layout& layout_;
    std::vector<std::int64_t> known_;  // positions of frames knownFirst_, knownFirst_ + 1, ...
    std::int64_t knownFirst_ = -1;
};

MpegFrameSearch Locate(MpegFileReader& file, std::int64_t firstFrame, std::int64_t k, MpegLocateMethod& method,
                       const MpegLocateOptions& options)
{
    method = MpegLocateMethod::None;
    if (!file.isOpen() || firstFrame < 0 || k < 0)
        return {};
    auto walk = [&] {
        method = MpegLocateMethod::Walk;
        file.SetChunkBytes(kWalkChunkBytes);
        return FindMpegFrame(file, firstFrame, k);
    };
    // A frame within the walk's budget even at the longest frames: no layout needed.
    if (k <= options.walkBytes / kLongestFrameBytes)
        return walk();
    auto layout = StudyLayout(file, firstFrame);
    if (!layout)
        return {};
    const LameTag& tag = layout->tag;
    // Where the frame lies, about: frames early in the file cost little to walk to.
    const std::int64_t before = (layout->audioEnd - layout->first) / tag.frames * std::min(k, tag.frames);
    if (before <= options.walkBytes)
        return walk();
    if (tag.constantRate) {
        method = MpegLocateMethod::ConstantRate;
        return ConstantRate(file, *layout).Locate(k);
    }
    if (tag.bytes < 0)
        return {};
    if (k < tag.frames / 2)
        return walk();  // the start is nearer
    method = MpegLocateMethod::FromTheEnd;
    file.SetChunkBytes(kTailChunkBytes);
    return FromTheEnd(file, *layout).Locate(k);
}

}  // namespace

MpegFrameSearch LocateMpegFrame(const std::string& path, std::int64_t firstFrame, std::int64_t frameNumber,
                                MpegLocateReport* report, const MpegLocateOptions& options)
{
    MpegFileReader file(path, kJumpChunkBytes);
    MpegLocateMethod method = MpegLocateMethod::None;
    const MpegFrameSearch search = Locate(file, firstFrame, frameNumber, method, options);
    if (report) {
        report->method = method;
        report->bytesRead = file.bytesRead();
        report->reads = file.reads();
    }
    return search;
}

}  // namespace av
