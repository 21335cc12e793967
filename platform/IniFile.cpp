#include "platform/IniFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

std::string Trim(const std::string& text)
{
    const auto isBlank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && isBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Unquote(const std::string& value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

std::string ReadProfileString(const std::string& iniPath, const std::string& section, const std::string& key,
                              const std::string& defaultValue)
{
    std::ifstream in(iniPath, std::ios::binary);
    if (!in)
        return defaultValue.substr(0, kProfileValueLimit);
    std::string line;
    bool inSection = false;
    bool firstLine = true;
    while (std::getline(in, line)) {
        if (firstLine && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        firstLine = false;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';')
            continue;
        if (trimmed[0] == '[') {
            const auto close = trimmed.find(']');
            const std::string name = Trim(trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            if (inSection)
                break;   // the first matching section has ended without the key
            inSection = SameIgnoringCase(name, section);
            continue;
        }
        if (!inSection)
            continue;
        const auto equals = trimmed.find('=');
        if (equals == std::string::npos)
            continue;
        if (SameIgnoringCase(Trim(trimmed.substr(0, equals)), key))
            return Unquote(Trim(trimmed.substr(equals + 1))).substr(0, kProfileValueLimit);
    }
    return defaultValue.substr(0, kProfileValueLimit);
}
