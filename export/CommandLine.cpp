#include "export/CommandLine.h"

#include "platform/FileExtension.h"

const char* const kMp3CommandTemplate = "av -i %s -ss %s -t %s -acodec mp3 -ab 64 -ac 2 \"%s\"";
const char* const kAmrCommandTemplate = "av -i %s -ss %s -t %s -f amr -acodec amr_nb -ab 32 -ac 1 -ar 8000 \"%s\"";
const char* const kM4rCommandTemplate = "av -i %s -ss %s -t %s -f ipod -acodec aac -ab 128 -ac 2 -ar 44100 \"%s\"";
const char* const kOggCommandTemplate =
    "av -i %s -ss %s -t %s -f ogg -acodec libvorbis -ab 128 -ac 2 -ar 44100 \"%s\"";

namespace {

constexpr const char* kSlot = "%s";
constexpr const char* kQuotedSlot = "\"%s\"";

// The tool's words for the options, in the order they are given.
std::vector<std::string> OptionWords(const ExportOptions& options)
{
    std::vector<std::string> words;
    if (options.fadeInOut)
        words.insert(words.end(), {"-fade", "500"});
    if (options.makeLoud)
        words.insert(words.end(), {"-loudness", "-14"});
    return words;
}

}  // namespace

ToolCommandLine FillCommandTemplate(const char* commandTemplate, const std::string& source, const std::string& startTime,
                                 const std::string& cutLength, const std::string& target,
                                 const ExportOptions& options)
{
    const std::string values[] = {source, startTime, cutLength, target};
    ToolCommandLine line;
    std::size_t next = 0;
    const std::vector<std::string> optionWords = OptionWords(options);
    std::string text = commandTemplate;
    // The options go before the target's slot, the template's last word.
    if (!optionWords.empty()) {
        std::string inserted;
        for (const std::string& word : optionWords)
            inserted += word + " ";
        const std::size_t lastWord = text.rfind(' ') + 1;
        text.insert(lastWord, inserted);
    }

    // The text: each "%s" replaced in order.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, kSlot) == 0 && next < 4) {
            line.text += values[next++];
            ++i;
        } else {
            line.text += text[i];
        }
    }

    // The arguments: the template's blank-separated words, a slot word (quoted or not)
    // standing for its whole value.
    next = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        const std::string word = text.substr(pos, end - pos);
        if ((word == kSlot || word == kQuotedSlot) && next < 4)
            line.arguments.push_back(values[next++]);
        else if (!word.empty())
            line.arguments.push_back(word);
        pos = end + 1;
    }
    return line;
}

const char* CommandTemplateFor(const std::string& target)
{
    if (HasExtension(target, ".mp3"))
        return kMp3CommandTemplate;
    if (HasExtension(target, ".amr"))
        return kAmrCommandTemplate;
    if (HasExtension(target, ".m4r"))
        return kM4rCommandTemplate;
    if (HasExtension(target, ".ogg"))
        return kOggCommandTemplate;
    return nullptr;
}
