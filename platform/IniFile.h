#pragma once
// Reads one value from an INI file with the rules of a private-profile reader:
// sections and keys match without regard to (ASCII) case, blanks around keys and values
// are trimmed, a value enclosed in a matching pair of quotes loses them, lines starting
// with ';' are comments, the first matching section and key win, and the value is cut
// to 2047 characters. The default comes back when the file, section or key is missing;
// a key that is present but empty gives an empty value.
#include <string>

constexpr std::size_t kProfileValueLimit = 2047;

std::string ReadProfileString(const std::string& iniPath, const std::string& section, const std::string& key,
                              const std::string& defaultValue);
