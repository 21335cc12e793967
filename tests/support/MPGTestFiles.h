#pragma once
// Byte-level MPEG audio files for the reader's tests: frame headers, Xing blocks, ID3 tags.
#include "audio/MPGTools.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mpgfiles {

struct HeaderFields {
    int version = 1;         // 1 MPEG 1, 2 MPEG 2, 3 MPEG 2.5, 0 the reserved code
    int layer = 3;           // 1..3, 0 the reserved code
    int bitRateIndex = 9;    // 9 = 128 kbit/s for MPEG 1 Layer III
    int sampleRateIndex = 0; // 0 = 44100 Hz for MPEG 1
    bool padding = false;
    bool protectionBit = true;  // stored 1: no CRC follows
    int mode = 0;            // 0 stereo, 1 joint, 2 dual, 3 single channel
    bool copyright = false;
    bool original = false;
};

inline std::uint32_t HeaderWord(const HeaderFields& h)
{
    static const std::uint32_t kVersionCode[4] = {1, 3, 2, 0};  // by version: 0->01, 1->11, 2->10, 3->00
    return 0xFFE00000u | kVersionCode[h.version] << 19 | std::uint32_t((4 - h.layer) & 3) << 17 |
           std::uint32_t(h.protectionBit) << 16 | std::uint32_t(h.bitRateIndex) << 12 |
           std::uint32_t(h.sampleRateIndex) << 10 | std::uint32_t(h.padding) << 9 |
           std::uint32_t(h.mode) << 6 | std::uint32_t(h.copyright) << 3 | std::uint32_t(h.original) << 2;
}

inline std::string BigEndian(std::uint32_t v)
{
    return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

inline std::string HeaderBytes(const HeaderFields& h) { return BigEndian(HeaderWord(h)); }

// Writes bytes at an offset of the file, growing it with zero bytes where needed.
inline void Put(std::string& file, std::size_t at, const std::string& bytes)
{
    if (file.size() < at + bytes.size())
        file.resize(at + bytes.size(), '\0');
    file.replace(at, bytes.size(), bytes);
}

// "Xing", the flags and the frame count, padded to the 120 bytes the reader takes.
inline std::string XingBlock(std::uint32_t flags, std::uint32_t frames)
{
    std::string block = "Xing" + BigEndian(flags) + BigEndian(frames);
    block.resize(120, '\0');
    return block;
}

// An ID3v1 tag; each text is written as given and the field filled up with zero bytes.
struct Tag {
    std::string title, artist, album, year = "2001", comment;
    std::uint8_t track = 0;
    std::uint8_t genre = 0;
};

std::string Id3v1(const Tag& t);

// A tag holding a title only.
inline std::string Id3v1Title(const std::string& title)
{
    Tag tag;
    tag.title = title;
    return Id3v1(tag);
}

inline std::string Id3v1(const Tag& t)
{
    std::string tag(128, '\0');
    auto field = [&](std::size_t at, std::size_t size, const std::string& text) {
        tag.replace(at, std::min(size, text.size()), text.substr(0, size));
    };
    field(0, 3, "TAG");
    field(3, 30, t.title);
    field(33, 30, t.artist);
    field(63, 30, t.album);
    field(93, 4, t.year);
    field(97, 30, t.comment);
    tag[126] = char(t.track);
    tag[127] = char(t.genre);
    return tag;
}

// An ID3v2.3 tag header with size bytes of zero padding behind it.
inline std::string Id3v2(std::uint32_t size)
{
    std::string tag = "ID3";
    tag += '\3';
    tag += '\0';
    tag += '\0';
    for (int shift = 21; shift >= 0; shift -= 7)
        tag += char((size >> shift) & 0x7F);
    tag.append(size, '\0');
    return tag;
}

// Answers the reader's error handler from a list (mrCancel once the list is used up) and
// records each call.
struct Answers {
    std::vector<std::uint16_t> answers;
    std::vector<std::string> fileNames;
    std::function<void()> onCall;

    ReadErrorHandlerFn Handler()
    {
        return [this](const TMPEGAudio& reader) -> std::uint16_t {
            fileNames.push_back(reader.FileName());
            if (onCall)
                onCall();
            const std::size_t call = fileNames.size() - 1;
            return call < answers.size() ? answers[call] : TMPEGAudio::mrCancel;
        };
    }
    int Calls() const { return int(fileNames.size()); }
};

}  // namespace mpgfiles
