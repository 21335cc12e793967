#pragma once
// The extension of a path: from the last dot of its file name on, dot included; empty
// when the file name has none. Extensions are compared byte for byte ("ring.MP3" is not
// an ".mp3" file).
#include <string>

inline std::string FileExtension(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}
