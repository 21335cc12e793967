#pragma once
// The user's temporary directory: $XDG_RUNTIME_DIR (the user's private runtime folder)
// where set, else $TMPDIR, else /tmp; always ending in "/".
#include <string>

// The choice itself, given the two environment values (either may be null). A value is
// passed over when it is empty, not an absolute path, or names something that exists
// but is no directory; a folder that does not exist yet is used and made later.
std::string ChooseTempDirectory(const char* xdgRuntimeDir, const char* tmpDir);

// The choice for this process's environment.
std::string TempDirectoryFromEnvironment();
