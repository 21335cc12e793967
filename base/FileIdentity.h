#pragma once
// Whether two paths lead to one file, however they are spelt.
#include <string>

namespace base {

// True when both paths exist and name the same file (same device and inode), following
// symbolic links: "s.mp3", "./s.mp3", a hard link and a symbolic link to it are all the
// same file. False when either does not exist or cannot be looked up.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace base
