#pragma once
// A plain byte-by-byte scan over a file held in memory: one byte read and one header test
// per step, a pump count at every position that is a multiple of 300. The reader's
// buffered scan that jumps between possible header starts must come to the same outcome.
// Header fields come from TMPEGAudio::DecodeHeader, which has its own tests.
#include "audio/MPGTools.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace mpgreference {

struct HeaderInfo {
    bool valid = false;  // valid apart from the file length (which is > 5 here)
    std::uint16_t frameLength = 0;
    bool errorProt = false;
    std::uint8_t version = 0;
    std::uint8_t mode = 0;
};

inline HeaderInfo Decode(TMPEGAudio& decoder, std::uint32_t word)
{
    decoder.DecodeHeader(word);
    HeaderInfo info;
    info.valid = decoder.Version() != 0 && decoder.Layer() != 0 && decoder.SampleRate() > 0 &&
                 decoder.BitRate() > 0;
    info.frameLength = decoder.FrameLength();
    info.errorProt = decoder.ErrorProt();
    info.version = decoder.Version();
    info.mode = decoder.Mode();
    return info;
}

struct Outcome {
    std::int32_t result = 0;          // as Load returns it without an error handler
    std::int64_t firstFramePos = 0;
    bool paired = false;              // a pair was accepted (the data hold its second header)
    std::uint32_t secondHeader = 0;
    bool xing = false;                // "Xing" was seen (BitRate -1)
    std::uint32_t xingFrames = 0;
    long pumps = 0;                   // pump points passed, one per multiple of 300
};

inline std::uint32_t Word(const std::string& bytes, std::int64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline Outcome Scan(const std::string& bytes)
{
    Outcome out;
    const std::int64_t length = std::int64_t(bytes.size());
    if (length <= 5)
        return out;
    TMPEGAudio decoder;  // header fields only: its Length stays 0
    auto Decode = [&decoder](std::uint32_t word) { return mpgreference::Decode(decoder, word); };
    auto readable = [&](std::int64_t at, std::int64_t count) { return at + count <= length; };
    std::int64_t pos = 0;
    for (;;) {
        if (!readable(pos, 4)) {
            out.result = -1;
            return out;
        }
        std::uint32_t window = Word(bytes, pos);
        pos += 4;
        HeaderInfo first = Decode(window);
        while (!first.valid) {
            if (pos == length)
                break;
            window = window << 8 | static_cast<unsigned char>(bytes[std::size_t(pos)]);
            ++pos;
            if (pos % 300 == 0)
                ++out.pumps;
            first = Decode(window);
        }
        out.firstFramePos = pos - 4;
        if (first.valid && length - out.firstFramePos - first.frameLength + 2 * (first.errorProt ? 1 : 0) > 0) {
            const std::int64_t at = out.firstFramePos + first.frameLength;
            if (!readable(at, 4)) {
                out.result = -1;
                return out;
            }
            const std::uint32_t second = Word(bytes, at);
            const HeaderInfo info = Decode(second);
            if (!info.valid) {
                pos = out.firstFramePos + 1;
                out.result = -1;
            } else {
                out.paired = true;
                out.secondHeader = second;
                const bool mono = info.mode == 3;
                const std::int64_t offset = info.version == 1 ? (mono ? 21 : 36) : (mono ? 13 : 21);
                const std::int64_t xingAt = out.firstFramePos + offset;
                if (!readable(xingAt, 4)) {
                    out.result = -1;
                    return out;
                }
                if (std::memcmp(bytes.data() + xingAt, "Xing", 4) == 0) {
                    out.xing = true;
                    if (!readable(xingAt + 4, 116)) {
                        out.result = -1;
                        return out;
                    }
                    const std::uint32_t flags = Word(bytes, xingAt + 4);
                    out.xingFrames = (flags & 1) ? Word(bytes, xingAt + 8) : 0;
                    if (out.xingFrames == 0) {
                        out.result = -1;
                        return out;
                    }
                }
                out.result = 0;
                return out;
            }
        } else {
            out.firstFramePos = length + 1;
            out.result = -1;
        }
        if (pos >= length)
            return out;
    }
}

}  // namespace mpgreference
