#pragma once
// The extension of a path: from the last dot of its file name on, dot included; empty
// when the file name has none. Extensions name a kind of file without regard to case
// ("ring.MP3" is an MP3 file), so they are compared through HasExtension.
#include <string>

inline std::string FileExtension(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

// Whether the path's extension is the given one (".mp3") in any mix of ASCII case.
inline bool HasExtension(const std::string& path, const std::string& extension)
{
    const std::string own = FileExtension(path);
    if (own.size() != extension.size())
        return false;
    for (std::size_t i = 0; i < own.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(own[i]) != lower(extension[i]))
            return false;
    }
    return true;
}
