#include "encoder/CommandLine.h"

#include "encoder/TimeText.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace av {

const char* const kUsage =
    "Usage: av -i SOURCE [-ss HH:MM:SS] [-t HH:MM:SS] [-f mp3|amr|ipod|ogg] "
    "[-acodec mp3|amr_nb|aac|libvorbis] [-ab KBIT/S] [-ac CHANNELS] [-ar HZ] [-fade MS] [-loudness LUFS] TARGET";

namespace {

constexpr double kMaxBitRateKbps = 10000;
constexpr int kMaxChannels = 8;
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxFadeMs = 60000;
constexpr double kQuietestLoudness = -70;   // the absolute gate of a loudness measurement

// Each encoder with the one container that holds it.
struct Pairing {
    Codec codec;
    Container container;
    const char* codecName;
    const char* containerName;
    const char* extension;   // the target's extension that asks for them
};
constexpr Pairing kPairings[] = {
    {Codec::Mp3, Container::Mp3, "mp3", "mp3", ".mp3"},
    {Codec::AmrNb, Container::Amr, "amr_nb", "amr", ".amr"},
    {Codec::Aac, Container::Ipod, "aac", "ipod", ".m4r"},
    {Codec::Vorbis, Container::Ogg, "libvorbis", "ogg", ".ogg"},
};

const Pairing& PairingOf(Codec codec)
{
    for (const Pairing& p : kPairings)
        if (p.codec == codec)
            return p;
    return kPairings[0];
}

const Pairing& PairingOf(Container container)
{
    for (const Pairing& p : kPairings)
        if (p.container == container)
            return p;
    return kPairings[0];
}

std::int64_t ReadTime(const std::string& option, const std::string& value)
{
    auto seconds = ParseTimeText(value);
    if (!seconds)
        throw ToolError("Bad time text " + Quoted(value) + " for " + option + ": expected HH:MM:SS");
    return *seconds;
}

// A positive decimal number: digits with an optional fraction ("64", "12.2").
std::optional<double> ReadPositiveNumber(const std::string& text, double maximum)
{
    if (text.empty() || text.size() > 16)
        return std::nullopt;
    bool seenDigit = false, seenPoint = false;
    for (char c : text) {
        if (c == '.' && !seenPoint)
            seenPoint = true;
        else if (c >= '0' && c <= '9')
            seenDigit = true;
        else
            return std::nullopt;
    }
    if (!seenDigit)
        return std::nullopt;
    double value = std::stod(text);
    if (value <= 0 || value > maximum)
        return std::nullopt;
    return value;
}

std::optional<int> ReadPositiveInteger(const std::string& text, int maximum)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int value = std::stoi(text);
    if (value <= 0 || value > maximum)
        return std::nullopt;
    return value;
}

// A loudness in LUFS: a negative decimal number ("-14", "-23.5") above the absolute gate.
std::optional<double> ReadLoudness(const std::string& text)
{
    if (text.size() < 2 || text[0] != '-')
        return std::nullopt;
    const auto magnitude = ReadPositiveNumber(text.substr(1), -kQuietestLoudness);
    if (!magnitude)
        return std::nullopt;
    return -*magnitude;
}

std::string LowerExtension(const std::string& path)
{
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

}  // namespace

const char* CodecName(Codec codec) { return PairingOf(codec).codecName; }
const char* ContainerName(Container container) { return PairingOf(container).containerName; }

Request ParseCommandLine(const std::vector<std::string>& args)
{
    if (args.empty())
        throw ToolError(kUsage);

    Request request;
    request.target = args.back();
    std::optional<std::string> source;
    std::optional<Codec> codec;
    std::optional<Container> container;
    std::set<std::string> seen;

    const std::size_t optionsEnd = args.size() - 1;
    for (std::size_t i = 0; i < optionsEnd; i += 2) {
        const std::string& option = args[i];
        static const std::set<std::string> known = {"-i",  "-ss", "-t",  "-f",   "-acodec",
                                                    "-ab", "-ac", "-ar", "-fade", "-loudness"};
        if (!known.count(option)) {
            if (!option.empty() && option[0] == '-')
                throw ToolError("Unknown option " + option);
            throw ToolError("Unexpected argument " + Quoted(option) + ": options come before the target file");
        }
        if (i + 1 >= optionsEnd)
            throw ToolError("Missing value for " + option);
        if (!seen.insert(option).second)
            throw ToolError("Option " + option + " is given twice");
        const std::string& value = args[i + 1];

        if (option == "-i") {
            source = value;
        } else if (option == "-ss") {
            request.startSeconds = ReadTime(option, value);
        } else if (option == "-t") {
            request.lengthSeconds = ReadTime(option, value);
        } else if (option == "-f") {
            for (const Pairing& p : kPairings)
                if (value == p.containerName)
                    container = p.container;
            if (!container)
                throw ToolError("Unknown container " + Quoted(value) + " for -f: expected mp3, amr, ipod or ogg");
        } else if (option == "-acodec") {
            for (const Pairing& p : kPairings)
                if (value == p.codecName)
                    codec = p.codec;
            if (!codec)
                throw ToolError("Unknown encoder " + Quoted(value) +
                                " for -acodec: expected mp3, amr_nb, aac or libvorbis");
        } else if (option == "-ab") {
            request.bitRateKbps = ReadPositiveNumber(value, kMaxBitRateKbps);
            if (!request.bitRateKbps)
                throw ToolError("Bad bit rate " + Quoted(value) + " for -ab: expected kbit/s, such as 64");
        } else if (option == "-ac") {
            request.channels = ReadPositiveInteger(value, kMaxChannels);
            if (!request.channels)
                throw ToolError("Bad channel count " + Quoted(value) + " for -ac: expected 1 or 2");
        } else if (option == "-ar") {
            request.sampleRate = ReadPositiveInteger(value, kMaxSampleRate);
            if (!request.sampleRate)
                throw ToolError("Bad sample rate " + Quoted(value) + " for -ar: expected Hz, such as 8000");
        } else if (option == "-fade") {
            request.fadeMs = ReadPositiveInteger(value, kMaxFadeMs);
            if (!request.fadeMs)
                throw ToolError("Bad fade " + Quoted(value) + " for -fade: expected milliseconds, such as 500");
        } else if (option == "-loudness") {
            request.loudnessLufs = ReadLoudness(value);
            if (!request.loudnessLufs)
                throw ToolError("Bad loudness " + Quoted(value) + " for -loudness: expected LUFS, such as -14");
        }
    }

    if (!source)
        throw ToolError("No source file given: expected -i SOURCE");
    if (source->empty())
        throw ToolError("No source file given: the path after -i is empty");
    request.source = *source;
    if (request.target.empty())
        throw ToolError("No target file given: the last argument is empty");

    // The encoder follows -acodec, else the container, else the target's extension;
    // the container follows -f, else the encoder.
    if (!codec) {
        if (container)
            codec = PairingOf(*container).codec;
        for (const Pairing& p : kPairings)
            if (!codec && LowerExtension(request.target) == p.extension)
                codec = p.codec;
        if (!codec)
            throw ToolError("No encoder given: expected -acodec mp3, amr_nb, aac or libvorbis");
    }
    if (!container)
        container = PairingOf(*codec).container;
    if (PairingOf(*container).codec != *codec)
        throw ToolError(std::string("The ") + ContainerName(*container) + " container cannot hold " +
                        CodecName(*codec) + " audio");
    request.codec = *codec;
    request.container = *container;
    return request;
}

}  // namespace av
