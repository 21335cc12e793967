#pragma once
// Helpers for tests that run the real av program: its two command lines, WAV files
// written byte by byte, the files a folder holds and what an output decodes to.
#include "support/Fixtures.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace avrun {

inline fixtures::ToolResult RunAv(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {AV_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return fixtures::RunTool(argv);
}

inline std::vector<std::string> Mp3Line(const std::string& source, const std::string& start,
                                        const std::string& length, const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-acodec", "mp3", "-ab", "64", "-ac", "2", target};
}

inline std::vector<std::string> AmrLine(const std::string& source, const std::string& start,
                                        const std::string& length, const std::string& target)
{
    return {"-i", source, "-ss", start, "-t", length, "-f", "amr", "-acodec", "amr_nb",
            "-ab", "32", "-ac", "1", "-ar", "8000", target};
}

// The names in a folder, sorted: a test compares them with what should be there.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

template <typename Value>
void AppendLittleEndian(std::string& bytes, Value value)
{
    unsigned char raw[sizeof(Value)];
    std::memcpy(raw, &value, sizeof raw);   // the machines we build on are little-endian
    bytes.append(reinterpret_cast<const char*>(raw), sizeof raw);
}

// A canonical WAV header (RIFF, "fmt " of 16 bytes, "data") for dataBytes of samples.
// formatTag 1 is integer PCM, 3 IEEE float.
inline std::string WavHeader(std::uint16_t formatTag, std::uint16_t bitsPerSample, std::uint32_t sampleRate,
                             std::uint16_t channels, std::uint32_t dataBytes)
{
    const std::uint16_t blockAlign = std::uint16_t(channels * bitsPerSample / 8);
    std::string bytes = "RIFF";
    AppendLittleEndian<std::uint32_t>(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    AppendLittleEndian<std::uint32_t>(bytes, 16);
    AppendLittleEndian<std::uint16_t>(bytes, formatTag);
    AppendLittleEndian<std::uint16_t>(bytes, channels);
    AppendLittleEndian<std::uint32_t>(bytes, sampleRate);
    AppendLittleEndian<std::uint32_t>(bytes, std::uint32_t(std::uint64_t(sampleRate) * blockAlign));
    AppendLittleEndian<std::uint16_t>(bytes, blockAlign);
    AppendLittleEndian<std::uint16_t>(bytes, bitsPerSample);
    bytes += "data";
    AppendLittleEndian<std::uint32_t>(bytes, dataBytes);
    return bytes;
}

// The output decoded by ffmpeg to 16-bit samples (all channels, interleaved).
inline std::vector<std::int16_t> DecodeToSamples(const std::string& path)
{
    const std::string raw = path + ".raw";
    std::vector<std::int16_t> samples;
    if (!fixtures::Ffmpeg({"-i", path, "-f", "s16le", "-c:a", "pcm_s16le", raw}))
        return samples;
    const std::string bytes = fixtures::ReadFile(raw);
    std::filesystem::remove(raw);
    samples.resize(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

}  // namespace avrun
