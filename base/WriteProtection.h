#pragma once
// Whether the user has protected a file against being written.
#include <string>

namespace base {

// True when the file exists (following symbolic links) and its mode bits deny the
// current user writing: the owner's write bit when the user owns the file, else the
// group's when the user is in the file's group, else the others'. Decided from the
// mode alone, not with access(): for root access() always allows writing, yet a file
// that its owner made read-only is still meant to stay as it is.
bool IsWriteProtected(const std::string& path);

}  // namespace base
