#include "encoder/CommandLine.h"

#include "encoder/TimeText.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace av {

const char* const kUsage =
    "Usage: av -i SOURCE [-ss HH:MM:SS] [-t HH:MM:SS] [-f mp3|amr] [-acodec mp3|amr_nb] "
    "[-ab KBIT/S] [-ac CHANNELS] [-ar HZ] TARGET";

namespace {

constexpr double kMaxBitRateKbps = 10000;
constexpr int kMaxChannels = 8;
constexpr int kMaxSampleRate = 768000;

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

const char* CodecName(Codec codec) { return codec == Codec::Mp3 ? "mp3" : "amr_nb"; }
const char* ContainerName(Container container) { return container == Container::Mp3 ? "mp3" : "amr"; }

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
        static const std::set<std::string> known = {"-i", "-ss", "-t", "-f", "-acodec", "-ab", "-ac", "-ar"};
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
            if (value == "mp3")
                container = Container::Mp3;
            else if (value == "amr")
                container = Container::Amr;
            else
                throw ToolError("Unknown container " + Quoted(value) + " for -f: expected mp3 or amr");
        } else if (option == "-acodec") {
            if (value == "mp3")
                codec = Codec::Mp3;
            else if (value == "amr_nb")
                codec = Codec::AmrNb;
            else
                throw ToolError("Unknown encoder " + Quoted(value) + " for -acodec: expected mp3 or amr_nb");
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
            codec = *container == Container::Amr ? Codec::AmrNb : Codec::Mp3;
        else if (LowerExtension(request.target) == ".mp3")
            codec = Codec::Mp3;
        else if (LowerExtension(request.target) == ".amr")
            codec = Codec::AmrNb;
        else
            throw ToolError("No encoder given: expected -acodec mp3 or -acodec amr_nb");
    }
    if (!container)
        container = *codec == Codec::AmrNb ? Container::Amr : Container::Mp3;
    if ((*container == Container::Amr) != (*codec == Codec::AmrNb))
        throw ToolError(std::string("The ") + ContainerName(*container) + " container cannot hold " +
                        CodecName(*codec) + " audio");
    request.codec = *codec;
    request.container = *container;
    return request;
}

}  // namespace av
