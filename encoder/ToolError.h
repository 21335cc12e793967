#pragma once
// The one kind of failure that av reports: a single line for the user, printed on
// standard error before the program exits with a non-zero status.
#include <stdexcept>
#include <string>

namespace av {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message) : std::runtime_error(message) {}
};

// Quotes a path or argument for a message: "like this".
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace av
