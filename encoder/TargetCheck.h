#pragma once
// What must hold of the target before anything is written: it is not the source itself
// (under any spelling, a hard link or a symbolic link), and it is not write-protected.
#include <string>

namespace av {

// Throws ToolError when the target may not be replaced by the ringtone.
void CheckTargetMayBeReplaced(const std::string& source, const std::string& target);

}  // namespace av
